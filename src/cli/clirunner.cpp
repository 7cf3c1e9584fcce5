// SPDX-License-Identifier: GPL-3.0-or-later
#include "clirunner.h"

#include "app/appdelegate.h"
#include "buildinfo.h"
#include "completion.h"
#include "historycommand.h"
#include "terminalport.h"
#include "toolcommands.h"
#include "toolcontext.h"
#include "operations/choices.h"

#include <QDir>
#include <QFileInfo>

namespace cli {
namespace {

void printUsage(QTextStream &out)
{
    out << "Usage: quavertin-cli [--library FILE] [--playlist NAME | --folder DIR | --selection] TOOL [options]\n"
           "       quavertin-cli [--library FILE] library COMMAND [options]\n"
           "\n"
           "Batch-edits the tags of music: a tool collects the changes, shows them for\n"
           "review and applies the checked ones after asking.\n"
           "\n"
           "Source of the tracks (the library's first playlist when none is given):\n"
           "  --playlist NAME   the library playlist of that name\n"
           "  --folder DIR      every music file below the folder\n"
           "  --selection       the tracks selected in the library\n"
           "  --library FILE    the library file (default: $QUAVERTIN_LIBRARY, else\n"
           "                    $XDG_DATA_HOME/Quavertin/library.sqlite)\n"
           "  --version         show the version and stop\n"
           "\n"
           "Tools:\n";
    for (const ToolCommand &tool : toolCommands())
        out << "  " << tool.name.leftJustified(16) << tool.summary << '\n';
    out << "\n"
           "  library         manage the library: quavertin-cli library --help\n"
           "  history         list the runs that changed something: quavertin-cli history --help\n"
           "  completion      print the bash or zsh completion script\n"
           "\n"
           "Every tool answers --help. Exit status: 0 done, 1 the tool refused, found\n"
           "nothing, could not run on its input (a folder, file or playlist that is not\n"
           "there), or the changes were not applied, 2 bad usage.\n";
}

struct GlobalOptions {
    QString library;
    std::optional<QString> playlist;
    std::optional<QString> folder;
    bool selection = false;
    QString command;
    QStringList rest;
};

// Global options stand before the command; everything after it belongs to the command.
std::optional<QString> parseGlobal(const QStringList &args, GlobalOptions &options)
{
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args.at(i);
        QString value;
        bool inlineValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            value = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
            arg = arg.left(arg.indexOf(QLatin1Char('=')));
            inlineValue = true;
        }
        auto takeValue = [&]() -> std::optional<QString> {
            if (inlineValue)
                return value;
            if (i + 1 >= args.size())
                return std::nullopt;
            return args.at(++i);
        };
        if (arg == QLatin1String("--library") || arg == QLatin1String("--playlist") ||
            arg == QLatin1String("--folder")) {
            const auto v = takeValue();
            if (!v || v->isEmpty())
                return QStringLiteral("%1 wants a value").arg(arg);
            if (arg == QLatin1String("--library"))
                options.library = *v;
            else if (arg == QLatin1String("--playlist"))
                options.playlist = *v;
            else
                options.folder = *v;
        } else if (arg == QLatin1String("--selection") && !inlineValue) {
            options.selection = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.command = QStringLiteral("--help");
            return std::nullopt;
        } else if (arg == QLatin1String("--version") && !inlineValue) {
            options.command = QStringLiteral("--version");
            return std::nullopt;
        } else if (arg.startsWith(QLatin1Char('-'))) {
            return QStringLiteral("unknown option '%1'").arg(args.at(i));
        } else {
            options.command = arg;
            options.rest = args.mid(i + 1);
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace

ExitCode runMain(const QStringList &args, QTextStream &out, QTextStream &err, FILE *in, bool interactive,
            bool showProgress)
{
    GlobalOptions options;
    if (const auto error = parseGlobal(args, options)) {
        err << "quavertin-cli: " << *error << "\nTry 'quavertin-cli --help'.\n";
        return ExitCode::BadUsage;
    }
    if (options.command == QLatin1String("--version")) {
        out << "quavertin-cli " << buildinfo::shortVersionString << " (build " << buildinfo::bundleVersion << ")\n";
        return ExitCode::Success;
    }
    if (options.command.isEmpty() || options.command == QLatin1String("--help")) {
        printUsage(options.command.isEmpty() ? err : out);
        return options.command.isEmpty() ? ExitCode::BadUsage : ExitCode::Success;
    }
    if (int(options.playlist.has_value()) + int(options.folder.has_value()) + int(options.selection) > 1) {
        err << "quavertin-cli: choose one source: --playlist, --folder or --selection\n";
        return ExitCode::BadUsage;
    }

    if (options.command == QLatin1String("completion"))
        return runCompletion(options.rest, out, err);

    if (options.command == QLatin1String("library")) {
        if (options.playlist || options.folder || options.selection) {
            err << "quavertin-cli: library commands take no source option\n";
            return ExitCode::BadUsage;
        }
        return runLibraryCommand(options.rest, options.library, out, err);
    }

    if (options.command == QLatin1String("history")) {
        if (options.playlist || options.folder || options.selection) {
            err << "quavertin-cli: history takes no source option\n";
            return ExitCode::BadUsage;
        }
        return runHistoryCommand(options.rest, options.library.isEmpty()
                                                   ? QString()
                                                   : QFileInfo(options.library).absoluteFilePath(),
                                 out, err);
    }

    const ToolCommand *tool = nullptr;
    for (const ToolCommand &candidate : toolCommands())
        if (candidate.name == options.command)
            tool = &candidate;
    if (!tool) {
        err << "quavertin-cli: unknown tool '" << options.command << "'\nTry 'quavertin-cli --help'.\n";
        return ExitCode::BadUsage;
    }

    TerminalPort port(in, stderr);
    port.setInteractive(interactive);
    port.setShowProgress(showProgress);

    AppDelegate app(port);
    port.setProgressSource([&app] { return app.currentProgressTitle() + QLatin1Char(' ') + app.currentProgressDetail(); });
    ToolContext context(app, port, options.rest, out, err);
    // The library is opened, and the source looked for, only once the tool's
    // arguments are known to ask for a run: --help and bad usage never meet
    // a missing or broken library. A source that is not there is input the
    // tool cannot run on (1), as for a folder `library import` cannot find.
    context.whenParsed([&]() -> std::optional<ExitCode> {
        app.setLibraryPath(options.library.isEmpty() ? QString() : QFileInfo(options.library).absoluteFilePath());
        app.applicationDidFinishLaunching();
        if (options.playlist) {
            const int index = static_cast<int>(app.playlists().indexOf(*options.playlist));
            if (index < 0) {
                err << "quavertin-cli: the library has no playlist named '" << *options.playlist << "'\n";
                return ExitCode::Failed;
            }
            app.setSelectedMethod(choices::PlaylistSource);
            app.setSelectedPlaylist(index);
        } else if (options.folder) {
            const QFileInfo folder(*options.folder);
            if (!folder.isDir()) {
                err << "quavertin-cli: '" << *options.folder
                    << (folder.exists() ? "' is not a folder\n" : "' is not a folder: it does not exist\n");
                return ExitCode::Failed;
            }
            port.setFolder(folder.absoluteFilePath());
            app.pathSelected(folder.absoluteFilePath());
        } else if (options.selection) {
            app.setSelectedMethod(choices::SelectionSource);
        }
        return std::nullopt;
    });
    return tool->run(context);
}

} // namespace cli
