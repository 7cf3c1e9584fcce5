// SPDX-License-Identifier: GPL-3.0-or-later
#include "completion.h"

#include "clirunner.h"
#include "library/playerimport.h"
#include "model/tagcatalogue.h"
#include "toolcommands.h"

#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace cli {

namespace {

// What follows an option on the command line.
struct Option {
    QString name;     // with its dashes
    QString value;    // FILE, DIR, NAME, a|b|c, or empty for a flag
};

// A command that completes its own options: a tool, or "library SUB".
struct Completed {
    QString name;
    QList<Option> options;
    QString positional; // what its words are: "DIR", "FILE", "KIND", "WORDS:a b", or empty for none
};

// The options a help text names, read from the text itself, so the
// completion knows exactly what --help tells and nothing else.
QList<Option> optionsIn(const QString &help)
{
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])(--[a-z][a-z0-9-]*)(?:[ =](<[^>\\s]+>|[A-Z]{2,}\\b))?"));
    // Options stand in the usage line and at the start of the lines that
    // describe them; the prose between may mention other commands' options.
    static const QRegularExpression optionLines(QStringLiteral("^(?:[Uu]sage:.*|\\s+-.*)$"),
                                                QRegularExpression::MultilineOption);
    QString lines;
    for (auto it = optionLines.globalMatch(help); it.hasNext();)
        lines += it.next().captured(0) + QLatin1Char('\n');
    QList<Option> options;
    QStringList seen;
    for (auto it = option.globalMatch(lines); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (seen.contains(m.captured(1)))
            continue;
        seen.append(m.captured(1));
        QString value = m.captured(2);
        if (value.startsWith(u'<'))
            value = value.mid(1, value.size() - 2);
        options.append({m.captured(1), value});
    }
    return options;
}

QString capture(const std::function<void(QTextStream &, QTextStream &)> &run)
{
    QString out, err;
    QTextStream o(&out), e(&err);
    run(o, e);
    o.flush();
    return out;
}

struct Model {
    QList<Option> global;
    QStringList tools;
    QList<Completed> commands; // tools by name, library subcommands as "library/SUB"
    QStringList librarySubcommands;
};

Model buildModel()
{
    Model model;
    // Tool help needs a library to start the controller against; a throw-away one.
    QTemporaryDir scratch;
    const QString library = scratch.path() + QLatin1String("/library.sqlite");
    const QString usage = capture([](QTextStream &o, QTextStream &e) { runMain({"--help"}, o, e, stdin, false, false); });
    model.global = optionsIn(usage.left(usage.indexOf(QLatin1String("Tools:"))));
    for (const ToolCommand &tool : toolCommands()) {
        model.tools.append(tool.name);
        const QString help = capture([&](QTextStream &o, QTextStream &e) {
            runMain({"--library", library, tool.name, "--help"}, o, e, stdin, false, false);
        });
        // A tool whose usage ends in words to choose from (mpd pull|push) completes them.
        static const QRegularExpression words(QStringLiteral(" \\[options\\] ([a-z]+(?:\\|[a-z]+)+)$"),
                                              QRegularExpression::MultilineOption);
        const QRegularExpressionMatch chosen = words.match(help.section(QLatin1Char('\n'), 0, 0));
        const QString positional =
            chosen.hasMatch() ? QStringLiteral("WORDS:") + chosen.captured(1).replace(u'|', u' ') : QString();
        model.commands.append({tool.name, optionsIn(help), positional});
    }
    model.tools.append(QStringLiteral("library"));
    model.tools.append(QStringLiteral("history"));
    model.commands.append({QStringLiteral("history"), {{QStringLiteral("--json"), {}}}, {}});
    model.tools.append(QStringLiteral("completion"));
    model.commands.append({QStringLiteral("completion"), {}, QStringLiteral("SHELL")});
    const QString libraryHelp = capture([&](QTextStream &o, QTextStream &e) { runLibraryCommand({"--help"}, library, o, e); });
    static const QRegularExpression subcommand(QStringLiteral("^  ([a-z][a-z-]+)(?: |$)"), QRegularExpression::MultilineOption);
    const QString listed = libraryHelp.mid(libraryHelp.indexOf(QLatin1String("commands:")));
    for (auto it = subcommand.globalMatch(listed); it.hasNext();) {
        const QString name = it.next().captured(1);
        const QString help = capture([&](QTextStream &o, QTextStream &e) { runLibraryCommand({name, "--help"}, library, o, e); });
        const QString usageLine = help.section(QLatin1Char('\n'), 0, 0);
        QString positional;
        for (const char *kind : {"KIND", "DIR", "FILE"})
            if (usageLine.contains(QRegularExpression(QStringLiteral("library %1 (\\[--[a-z-]+ [A-Z]+\\] )*%2").arg(name, kind))))
                positional = QLatin1String(kind);
        // The playlist commands name an existing playlist first (OLD for a rename).
        if (name.startsWith(QLatin1String("playlist-")) &&
            usageLine.contains(QRegularExpression(QStringLiteral("library %1 (NAME|OLD)\\b").arg(name))))
            positional = QStringLiteral("PLAYLIST");
        model.librarySubcommands.append(name);
        model.commands.append({QStringLiteral("library/") + name, optionsIn(help), positional});
    }
    return model;
}

// Whether an option names a library playlist: its names are offered, read
// from the library when completing.
bool namesPlaylist(const Option &option)
{
    return option.value == QLatin1String("NAME") &&
           (option.name == QLatin1String("--playlist") || option.name == QLatin1String("--target"));
}

// The tag keys a --tag or a --match names.
QStringList tagKeys()
{
    QStringList keys = TagCatalogue::build().allTags;
    keys.removeAll(QStringLiteral("cover"));
    return keys;
}

QString words(const QList<Option> &options)
{
    QStringList names;
    for (const Option &o : options)
        names.append(o.name);
    return names.join(u' ');
}

// Options with a value, as shell case patterns by what the value is.
QString valueCases(const QList<Option> &options, const char *files, const char *dirs, const char *choices)
{
    QStringList fileOptions, dirOptions, other;
    QString text;
    for (const Option &o : options) {
        if (o.value == QLatin1String("FILE"))
            fileOptions.append(o.name);
        else if (o.value == QLatin1String("DIR"))
            dirOptions.append(o.name);
        else if (namesPlaylist(o))
            text += QStringLiteral("        %1) _quavertin_cli_playlists; return 0 ;;\n").arg(o.name);
        else if (o.value.contains(u'|'))
            text += QStringLiteral("        %1) %2 ;;\n").arg(o.name, QString(QLatin1String(choices)).arg(o.value.split(u'|').join(u' ')));
        else if (o.value == QLatin1String("TAG"))
            text += QStringLiteral("        %1) %2 ;;\n").arg(o.name, QString(QLatin1String(choices)).arg(tagKeys().join(u' ')));
        else if (o.value == QLatin1String("KEY=REGEX"))
            text += QStringLiteral("        %1) %2 ;;\n")
                        .arg(o.name, QString(QLatin1String(choices)).arg(tagKeys().join(QLatin1String("= ")) + u'='));
        else if (!o.value.isEmpty())
            other.append(o.name);
    }
    if (!fileOptions.isEmpty())
        text += QStringLiteral("        %1) %2 ;;\n").arg(fileOptions.join(u'|'), QLatin1String(files));
    if (!dirOptions.isEmpty())
        text += QStringLiteral("        %1) %2 ;;\n").arg(dirOptions.join(u'|'), QLatin1String(dirs));
    if (!other.isEmpty())
        text += QStringLiteral("        %1) return 0 ;;\n").arg(other.join(u'|'));
    return text;
}

QString globalWithValue(const Model &model)
{
    QStringList names;
    for (const Option &o : model.global)
        if (!o.value.isEmpty())
            names.append(o.name);
    return names.join(u'|');
}

// The shared body: finds the command and the library subcommand among the
// words before the cursor, then offers what fits there. Only the primitives
// to offer words, files and folders differ between the shells.
QString script(const Model &model, bool zsh)
{
    const char *offer = zsh ? "compadd -- %1" : "COMPREPLY=($(compgen -W \"%1\" -- \"$cur\"))";
    const char *files = zsh ? "_files; return 0" : "COMPREPLY=($(compgen -f -- \"$cur\")); return 0";
    const char *dirs = zsh ? "_files -/; return 0" : "COMPREPLY=($(compgen -d -- \"$cur\")); return 0";
    const QString choices = QString(QLatin1String(offer)) + QLatin1String("; return 0");
    const QString offerOf = QLatin1String(offer);
    QString s;
    if (zsh)
        s += QLatin1String("#compdef quavertin-cli\n");
    s += QLatin1String("# Completion for quavertin-cli, made by `quavertin-cli completion ") + (zsh ? "zsh" : "bash") +
         QLatin1String("` from the\n# options its --help shows.\n\n");
    // The playlists of the library the command line names (else the default
    // one), as `library playlists` lists them: the name is the second column.
    if (zsh)
        s += QLatin1String("_quavertin_cli_playlists() {\n"
                           "    local -a names\n"
                           "    names=(\"${(@f)$(quavertin-cli ${library:+--library \"$library\"} library playlists "
                           "2>/dev/null | cut -f2)}\")\n"
                           "    compadd -- \"${names[@]}\"\n"
                           "}\n\n");
    else
        s += QLatin1String("_quavertin_cli_playlists() {\n"
                           "    local name; local -a names\n"
                           "    mapfile -t names < <(quavertin-cli ${library:+--library \"$library\"} library playlists "
                           "2>/dev/null | cut -f2)\n"
                           "    for name in \"${names[@]}\"; do\n"
                           "        [[ -n $name && $name == \"$cur\"* ]] && COMPREPLY+=(\"$(printf '%q' \"$name\")\")\n"
                           "    done\n"
                           "}\n\n");
    s += QLatin1String("_quavertin_cli() {\n");
    if (zsh)
        s += QLatin1String("    local -a all; all=(\"${words[@]:1:$((CURRENT-2))}\")\n"
                           "    local cur=\"${words[CURRENT]}\" prev=\"${words[CURRENT-1]}\"\n");
    else
        s += QLatin1String("    local -a all; all=(\"${COMP_WORDS[@]:1:$((COMP_CWORD-1))}\")\n"
                           "    local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
                           "    COMPREPLY=()\n");
    s += QStringLiteral("    local command=\"\" sub=\"\" positional=0 skip=0 library=\"\" prev_w=\"\" w\n"
                        "    for w in \"${all[@]}\"; do\n"
                        "        if ((skip)); then skip=0; [[ $prev_w == --library ]] && library=$w; continue; fi\n"
                        "        prev_w=$w\n"
                        "        case \"$w\" in\n"
                        "            %1) [[ -z $command ]] && skip=1 ;;\n"
                        "            -*) ;;\n"
                        "            *) if [[ -z $command ]]; then command=$w\n"
                        "               elif [[ $command == library && -z $sub ]]; then sub=$w\n"
                        "               else positional=$((positional + 1)); fi ;;\n"
                        "        esac\n"
                        "    done\n")
             .arg(globalWithValue(model));
    // The value of the option before the cursor.
    s += QLatin1String("    if [[ -z $command ]]; then\n        case \"$prev\" in\n") +
         valueCases(model.global, files, dirs, choices.toLatin1().constData()) +
         QLatin1String("        esac\n") +
         QStringLiteral("        %1\n        return 0\n    fi\n")
             .arg(offerOf.arg(words(model.global) + QLatin1Char(' ') + model.tools.join(u' ')));
    s += QStringLiteral("    if [[ $command == library && -z $sub ]]; then\n        %1\n        return 0\n    fi\n")
             .arg(offerOf.arg(model.librarySubcommands.join(u' ') + QLatin1String(" --help")));
    s += QLatin1String("    case \"$command/$sub\" in\n");
    for (const Completed &c : model.commands) {
        const QString pattern = c.name.contains(u'/') ? c.name : c.name + QLatin1Char('/');
        s += QStringLiteral("    %1)\n        case \"$prev\" in\n").arg(pattern) +
             valueCases(c.options, files, dirs, choices.toLatin1().constData()) + QLatin1String("        esac\n");
        QString positional;
        if (c.positional == QLatin1String("SHELL"))
            positional = QStringLiteral("((positional == 0)) && { %1; return 0; }\n        ").arg(offerOf.arg("bash zsh"));
        else if (c.positional == QLatin1String("KIND"))
            positional = QStringLiteral("((positional == 0)) && [[ $cur != -* ]] && { %1; return 0; }\n        "
                                        "[[ $cur != -* ]] && { %2; }\n        ")
                             .arg(offerOf.arg(playerimport::playerNames().join(u' ')), QLatin1String(files));
        else if (c.positional.startsWith(QLatin1String("WORDS:")))
            positional = QStringLiteral("((positional == 0)) && [[ $cur != -* ]] && { %1; return 0; }\n        ")
                             .arg(offerOf.arg(c.positional.mid(6)));
        else if (c.positional == QLatin1String("PLAYLIST"))
            positional = QStringLiteral("((positional == 0)) && [[ $cur != -* ]] && { _quavertin_cli_playlists; return 0; }\n        ");
        else if (c.positional == QLatin1String("DIR"))
            positional = QStringLiteral("[[ $cur != -* ]] && { %1 }\n        ").arg(QLatin1String(dirs) + QLatin1Char(';'));
        else if (c.positional == QLatin1String("FILE"))
            positional = QStringLiteral("[[ $cur != -* ]] && { %1 }\n        ").arg(QLatin1String(files) + QLatin1Char(';'));
        s += QLatin1String("        ") + positional + offerOf.arg(words(c.options)) + QLatin1String(" ;;\n");
    }
    s += QLatin1String("    esac\n    return 0\n}\n\n");
    s += zsh ? QLatin1String("_quavertin_cli \"$@\"\n") : QLatin1String("complete -F _quavertin_cli quavertin-cli\n");
    return s;
}

} // namespace

const char *const completionHelp = "usage: quavertin-cli completion bash|zsh\n\n"
                                   "Prints the shell completion script for quavertin-cli: every tool, library\n"
                                   "command and option, as their --help shows them.\n";

ExitCode runCompletion(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        out << completionHelp;
        return ExitCode::Success;
    }
    if (args.size() != 1 || (args[0] != QLatin1String("bash") && args[0] != QLatin1String("zsh"))) {
        err << "quavertin-cli: completion wants the shell: bash or zsh\n\n" << completionHelp;
        return ExitCode::BadUsage;
    }
    out << script(buildModel(), args[0] == QLatin1String("zsh"));
    return ExitCode::Success;
}

} // namespace cli
