// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarycommands.h"

#include "importcommands.h"
#include "library/libraryimport.h"
#include "library/musiclibrary.h"
#include "reviewprinter.h"
#include "support/namedexception.h"
#include "support/textutils.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <unistd.h>

namespace {

const char *const libraryHelp = R"(usage: quavertin-cli [--library FILE] library COMMAND [arguments]

Looks after the music library (default $XDG_DATA_HOME/Quavertin/library.sqlite,
or $QUAVERTIN_LIBRARY, or the FILE given).

commands:
  import DIR                  add every music file below DIR, or update it when known
  import-player KIND [PATH]   bring over a player's library: rhythmbox, strawberry,
                              clementine or beets (its files are only read)
  import-playlist FILE [--name NAME]
                              make a playlist from an M3U, M3U8, PLS or XSPF file
  tracks [--playlist NAME] [--json]
                              list the library's tracks, or a playlist's
  playlists [--json]          list the playlists
  playlist-create NAME        make an empty playlist and print its id
  playlist-add NAME ID...     append tracks to a playlist
  select ID...                make these tracks the library's selection
  selection [--json]          list the selected tracks

`quavertin-cli library COMMAND --help` tells more about one command.
)";

// Opens the library on first use, so that bad usage leaves no library file behind.
using LibraryOpener = std::function<MusicLibrary &()>;

struct Command {
    const char *name;
    const char *help;
    std::function<ExitCode(const LibraryOpener &, const QStringList &, QTextStream &, QTextStream &)> run;
};

// A track's text fields on one line: tabs and line breaks inside would split
// it, and other controls could drive the terminal.
QString oneLine(const QVariant &value)
{
    QString s = value.toString();
    for (QChar &c : s) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text::escapedControls(s, text::ControlStyle::Terminal);
}

void printTracks(MusicLibrary &library, const QList<TrackRef> &refs, bool json, QTextStream &out)
{
    enum { Artist, Title, Album, Location };
    const QList<QVariantList> rows = library.propertyRows(refs, {"artist", "name", "album", "location"});
    if (json) {
        QJsonArray tracks;
        for (qsizetype i = 0; i < refs.size(); ++i) {
            const QVariantList &row = rows[i];
            const QString location = row[Location].toString();
            tracks.append(QJsonObject{{"id", refs[i].trackId},
                                      {"artist", QJsonValue::fromVariant(row[Artist])},
                                      {"title", QJsonValue::fromVariant(row[Title])},
                                      {"album", QJsonValue::fromVariant(row[Album])},
                                      {"location", location.isNull() ? QJsonValue() : QJsonValue(location)}});
        }
        cli::printJson(out, QJsonDocument(tracks));
        return;
    }
    for (qsizetype i = 0; i < refs.size(); ++i) {
        const QVariantList &row = rows[i];
        out << refs[i].trackId << '\t' << oneLine(row[Artist]) << '\t' << oneLine(row[Title]) << '\t'
            << oneLine(row[Album]) << '\t' << oneLine(row[Location]) << '\n';
    }
}

// Splits off the options a command knows; anything else starting with "--" is bad usage.
struct Parsed {
    QStringList words;
    bool json = false;
    QString playlist;
    bool ok = true;
    QString problem;
};

Parsed parse(const QStringList &args, bool allowJson, bool allowPlaylist)
{
    Parsed p;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (allowJson && a == "--json") {
            p.json = true;
        } else if (allowPlaylist && a == "--playlist") {
            if (i + 1 >= args.size()) {
                p.ok = false;
                p.problem = "--playlist needs a playlist name";
                return p;
            }
            p.playlist = args[++i];
        } else if (a.startsWith("--") && a.size() > 2) {
            p.ok = false;
            p.problem = QStringLiteral("unknown option %1").arg(a);
            return p;
        } else if (a == "--") {
            p.words += args.mid(i + 1);
            return p;
        } else {
            p.words.append(a);
        }
    }
    return p;
}

// Track ids as given on the command line; nothing when one is not a number.
std::optional<QList<qint64>> trackIds(const QStringList &words, QTextStream &err)
{
    QList<qint64> ids;
    for (const QString &w : words) {
        bool ok = false;
        const qint64 id = w.toLongLong(&ok);
        if (!ok || id <= 0) {
            err << "quavertin-cli: \"" << w << "\" is not a track id\n";
            return std::nullopt;
        }
        ids.append(id);
    }
    return ids;
}

ExitCode badUsage(const Parsed &p, QTextStream &err)
{
    if (!p.problem.isEmpty())
        err << "quavertin-cli: " << p.problem << '\n';
    return ExitCode::BadUsage;
}

ExitCode usage(QTextStream &err, const QString &problem, const char *help)
{
    err << "quavertin-cli: " << problem << "\n\n" << help;
    return ExitCode::BadUsage;
}

ExitCode runImport(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, false);
    if (!p.ok || p.words.size() != 1)
        return badUsage(p, err);
    const QString folder = p.words.first();
    if (!QFileInfo(folder).isDir()) {
        err << "quavertin-cli: " << folder << " is not a folder\n";
        return ExitCode::Failed;
    }
    const bool onTerminal = ::isatty(STDERR_FILENO);
    const auto progress = [&](int done, int total) {
        if (onTerminal)
            err << "\rImporting " << done << '/' << total << "\u2026" << Qt::flush;
    };
    const libraryimport::Summary summary = libraryimport::importFolder(open(), folder, progress);
    if (onTerminal && summary.found > 0)
        err << '\n';
    for (const libraryimport::Failure &failure : summary.failures)
        err << "skipped " << oneLine(failure.path) << ": " << oneLine(failure.reason) << '\n';
    out << "Imported " << summary.added + summary.updated << " of " << summary.found << " music files ("
        << summary.added << " new, " << summary.updated << " updated, " << summary.failures.size() << " skipped).\n";
    if (summary.found == 0)
        err << "quavertin-cli: no music files found in " << folder << '\n';
    return summary.found > 0 && summary.added + summary.updated > 0 ? ExitCode::Success : ExitCode::Failed;
}

std::optional<Playlist> namedPlaylist(MusicLibrary &library, const QString &name, QTextStream &err)
{
    std::optional<Playlist> playlist = library.playlistNamed(name);
    if (!playlist)
        err << "quavertin-cli: there is no playlist named \"" << name << "\"\n";
    return playlist;
}

ExitCode runTracks(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, true, true);
    if (!p.ok || !p.words.isEmpty())
        return badUsage(p, err);
    QList<TrackRef> refs;
    if (p.playlist.isNull()) {
        refs = open().allTracks();
    } else {
        const std::optional<Playlist> playlist = namedPlaylist(open(), p.playlist, err);
        if (!playlist)
            return ExitCode::Failed;
        refs = open().tracksOf(playlist->id);
    }
    printTracks(open(), refs, p.json, out);
    return ExitCode::Success;
}

ExitCode runPlaylists(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, true, false);
    if (!p.ok || !p.words.isEmpty())
        return badUsage(p, err);
    QJsonArray list;
    for (const Playlist &playlist : open().userPlaylists()) {
        const qsizetype count = open().tracksOf(playlist.id).size();
        if (p.json)
            list.append(QJsonObject{{"id", playlist.id}, {"name", playlist.name}, {"smart", playlist.smart},
                                    {"tracks", count}});
        else
            out << playlist.id << '\t' << oneLine(playlist.name) << '\t' << (playlist.smart ? "smart" : "plain") << '\t'
                << count << '\n';
    }
    if (p.json)
        cli::printJson(out, QJsonDocument(list));
    return ExitCode::Success;
}

ExitCode runPlaylistCreate(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, false);
    if (!p.ok || p.words.size() != 1)
        return badUsage(p, err);
    out << open().createPlaylist(p.words.first()) << '\n';
    return ExitCode::Success;
}

ExitCode runPlaylistAdd(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, false);
    if (!p.ok || p.words.size() < 2)
        return badUsage(p, err);
    const std::optional<QList<qint64>> ids = trackIds(p.words.mid(1), err);
    if (!ids)
        return badUsage(p, err);
    const std::optional<Playlist> playlist = namedPlaylist(open(), p.words.first(), err);
    if (!playlist)
        return ExitCode::Failed;
    open().addToPlaylist(playlist->id, *ids);
    out << "Added " << ids->size() << " tracks to \"" << playlist->name << "\".\n";
    return ExitCode::Success;
}

ExitCode runSelect(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, false);
    if (!p.ok)
        return badUsage(p, err);
    const std::optional<QList<qint64>> ids = trackIds(p.words, err);
    if (!ids)
        return badUsage(p, err);
    open().setSelection(*ids);
    out << "Selected " << ids->size() << " tracks.\n";
    return ExitCode::Success;
}

ExitCode runSelection(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, true, false);
    if (!p.ok || !p.words.isEmpty())
        return badUsage(p, err);
    printTracks(open(), open().selection(), p.json, out);
    return ExitCode::Success;
}

const Command commands[] = {
    {"import",
     "usage: quavertin-cli library import DIR\n\n"
     "Reads every music file below DIR (mp3 aac m4a ogg flac mpc spx wv tta wav aiff mp4 asf, in\n"
     "any letter case) and stores its tags in the library. A file already in the library is\n"
     "updated, not added twice. Files that cannot be read are named on standard error and skipped.\n",
     runImport},
    {"import-player", cli::importPlayerHelp, cli::runImportPlayer},
    {"import-playlist", cli::importPlaylistHelp, cli::runImportPlaylist},
    {"tracks",
     "usage: quavertin-cli library tracks [--playlist NAME] [--json]\n\n"
     "One line per track: id, artist, title, album, location (empty when the file is gone),\n"
     "separated by tabs. With --playlist, the tracks of the first playlist of that name in order.\n",
     runTracks},
    {"playlists",
     "usage: quavertin-cli library playlists [--json]\n\n"
     "One line per playlist in the library's order: id, name, smart or plain, number of tracks.\n",
     runPlaylists},
    {"playlist-create",
     "usage: quavertin-cli library playlist-create NAME\n\nMakes an empty playlist and prints its id.\n",
     runPlaylistCreate},
    {"playlist-add",
     "usage: quavertin-cli library playlist-add NAME ID...\n\n"
     "Appends the tracks (ids as `tracks` lists them) to the first playlist of that name.\n",
     runPlaylistAdd},
    {"select",
     "usage: quavertin-cli library select ID...\n\n"
     "Makes these tracks the library's selection, in this order; without ids the selection is cleared.\n",
     runSelect},
    {"selection",
     "usage: quavertin-cli library selection [--json]\n\nLists the selected tracks as `tracks` does.\n",
     runSelection},
};

} // namespace

ExitCode runLibraryCommand(const QStringList &arguments, const QString &libraryPath, QTextStream &out,
                           QTextStream &err)
{
    QStringList args = arguments;
    QString path = libraryPath;
    if (args.size() >= 2 && args.first() == "--library") {
        path = args.at(1);
        args = args.mid(2);
    }
    if (args.isEmpty())
        return usage(err, "library needs a command", libraryHelp);
    if (args.first() == "--help" || args.first() == "-h" || args.first() == "help") {
        out << libraryHelp;
        return ExitCode::Success;
    }
    const Command *command = nullptr;
    for (const Command &c : commands) {
        if (args.first() == QLatin1StringView(c.name))
            command = &c;
    }
    if (!command)
        return usage(err, QStringLiteral("unknown library command \"%1\"").arg(args.first()), libraryHelp);
    const QStringList rest = args.mid(1);
    if (rest.contains("--help") || rest.contains("-h")) {
        out << command->help;
        return ExitCode::Success;
    }
    try {
        std::optional<MusicLibrary> library;
        const LibraryOpener open = [&]() -> MusicLibrary & {
            if (!library)
                library.emplace(path.isEmpty() ? MusicLibrary::defaultPath() : path);
            return *library;
        };
        const ExitCode code = command->run(open, rest, out, err);
        if (code == ExitCode::BadUsage)
            err << "quavertin-cli: wrong arguments for library " << command->name << "\n\n" << command->help;
        return code;
    } catch (const NamedException &e) {
        err << "quavertin-cli: " << text::escapedControls(e.description(), text::ControlStyle::Terminal, true) << '\n';
        return ExitCode::Failed;
    }
}
