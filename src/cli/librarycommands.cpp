// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarycommands.h"

#include "importcommands.h"
#include "library/libraryimport.h"
#include "library/musiclibrary.h"
#include "model/tagcatalogue.h"
#include "reviewprinter.h"
#include "support/namedexception.h"
#include "support/textutils.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <functional>
#include <unistd.h>
#include <utility>

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
  refresh [--playlist NAME]   read the files of the library's tracks (or a playlist's) again
  tracks [--playlist NAME] [--columns TAG,...] [--json]
                              list the library's tracks, or a playlist's
  playlists [--json]          list the playlists
  playlist-create NAME        make an empty playlist and print its id
  playlist-add NAME ID...     append tracks to a playlist
  playlist-remove NAME ID...  take tracks out of a playlist
  playlist-rename OLD NEW     rename a playlist
  playlist-delete NAME        delete a playlist (its tracks stay)
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

// The catalogue's keys a track listing can show, "location" last; the cover is a picture, not a column.
QStringList listableKeys()
{
    QStringList keys = TagCatalogue::build().allTags;
    keys.removeAll(QStringLiteral("cover"));
    keys << QStringLiteral("location");
    return keys;
}

// The key the person meant: a key in any letter case, its display name, or "title".
std::optional<QString> listableKey(const QString &word)
{
    const TagCatalogue catalogue = TagCatalogue::build();
    const QString wanted = word.trimmed().compare(QLatin1String("title"), Qt::CaseInsensitive) == 0
                               ? QStringLiteral("name")
                               : word.trimmed();
    for (const QString &key : listableKeys()) {
        const QString display = catalogue.allReadableTags.value(catalogue.allTags.indexOf(key));
        if (key.compare(wanted, Qt::CaseInsensitive) == 0 ||
            (!display.isEmpty() && display.compare(wanted, Qt::CaseInsensitive) == 0))
            return key;
    }
    return std::nullopt;
}

const QStringList defaultColumns = {"artist", "name", "album", "location"};

// In JSON every listable column is there, under its key ("title" for the name).
// The rows are read and printed a page at a time: a library of a million
// tracks as one document would hold every value several times over.
void printTracks(MusicLibrary &library, const QList<TrackRef> &refs, bool json, QTextStream &out,
                 const QStringList &columns = defaultColumns)
{
    const QStringList keys = json ? listableKeys() : columns;
    constexpr qsizetype page = 4096;
    if (json)
        out << '[';
    for (qsizetype first = 0; first < refs.size(); first += page) {
        const QList<QVariantList> rows = library.propertyRows(refs.mid(first, page), keys);
        for (qsizetype r = 0; r < rows.size(); ++r) {
            const qsizetype i = first + r;
            if (!json) {
                out << refs[i].trackId;
                for (qsizetype k = 0; k < keys.size(); ++k)
                    out << '\t' << oneLine(rows[r].value(k));
                out << '\n';
                continue;
            }
            QJsonObject track{{"id", refs[i].trackId}};
            for (qsizetype k = 0; k < keys.size(); ++k) {
                const QVariant value = rows[r].value(k);
                const bool absent = !value.isValid() || value.isNull() ||
                                    (keys[k] == QLatin1String("location") && value.toString().isEmpty());
                track.insert(keys[k] == QLatin1String("name") ? QStringLiteral("title") : keys[k],
                             absent ? QJsonValue() : QJsonValue::fromVariant(value));
            }
            // The element as an indented array prints it: one level deeper.
            QString text;
            QTextStream element(&text);
            cli::printJson(element, QJsonDocument(track));
            element.flush();
            text.chop(1);
            text.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
            out << (i == 0 ? "\n    " : ",\n    ") << text;
        }
    }
    if (json)
        out << "\n]\n";
}

// Splits off the options a command knows; anything else starting with "--" is bad usage.
struct Parsed {
    QStringList words;
    bool json = false;
    QString playlist;
    QString columns;
    bool ok = true;
    QString problem;
};

Parsed parse(const QStringList &args, bool allowJson, bool allowPlaylist, bool allowColumns = false)
{
    Parsed p;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (allowJson && a == "--json") {
            p.json = true;
        } else if (allowColumns && a == "--columns") {
            if (i + 1 >= args.size()) {
                p.ok = false;
                p.problem = "--columns needs a list of tags";
                return p;
            }
            p.columns = args[++i];
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
    if (summary.updated > 0)
        out << summary.changed << " of the " << summary.updated << " tracks already in the library took new values from their files.\n";
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

// The tracks of the playlist --playlist names, else the whole library's.
std::optional<QList<TrackRef>> tracksAsked(MusicLibrary &library, const Parsed &p, QTextStream &err)
{
    if (p.playlist.isNull())
        return library.allTracks();
    const std::optional<Playlist> playlist = namedPlaylist(library, p.playlist, err);
    if (!playlist)
        return std::nullopt;
    return library.tracksOf(playlist->id);
}

ExitCode runRefresh(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, true);
    if (!p.ok || !p.words.isEmpty())
        return badUsage(p, err);
    const std::optional<QList<TrackRef>> tracks = tracksAsked(open(), p, err);
    if (!tracks)
        return ExitCode::Failed;
    const QList<TrackRef> &refs = *tracks;
    const bool onTerminal = ::isatty(STDERR_FILENO);
    const libraryimport::RefreshSummary summary = libraryimport::refresh(open(), refs, [&](int done, int total) {
        if (onTerminal)
            err << "\rRefreshing " << done << '/' << total << "\u2026" << Qt::flush;
    });
    if (onTerminal && !refs.isEmpty())
        err << '\n';
    for (const libraryimport::Failure &failure : summary.failures)
        err << "unreadable " << oneLine(failure.path) << ": " << oneLine(failure.reason) << '\n';
    out << libraryimport::describe(summary) << '\n';
    return summary.failures.isEmpty() ? ExitCode::Success : ExitCode::Failed;
}

ExitCode runTracks(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    Parsed p = parse(args, true, true, true);
    if (!p.ok || !p.words.isEmpty())
        return badUsage(p, err);
    QStringList columns = defaultColumns;
    if (!p.columns.isNull()) {
        columns.clear();
        for (const QString &word : p.columns.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const std::optional<QString> key = listableKey(word);
            if (!key) {
                p.problem = QStringLiteral("\"%1\" is not a column; the columns are: %2")
                                .arg(word.trimmed(), listableKeys().join(QStringLiteral(", ")));
                return badUsage(p, err);
            }
            columns << *key;
        }
        if (columns.isEmpty()) {
            p.problem = QStringLiteral("--columns needs a list of tags");
            return badUsage(p, err);
        }
    }
    const std::optional<QList<TrackRef>> refs = tracksAsked(open(), p, err);
    if (!refs)
        return ExitCode::Failed;
    printTracks(open(), *refs, p.json, out, columns);
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

// The first playlist of that name that is not smart: the one the tools edit.
std::optional<Playlist> editablePlaylist(MusicLibrary &library, const QString &name)
{
    for (const Playlist &playlist : library.userPlaylists())
        if (!playlist.smart && playlist.name == name)
            return playlist;
    return std::nullopt;
}

ExitCode runPlaylistCreate(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, false);
    if (!p.ok || p.words.size() != 1)
        return badUsage(p, err);
    // Tools and menus find an editable playlist by its name: a second one would never be reached.
    if (editablePlaylist(open(), p.words.first())) {
        err << "quavertin-cli: there is already a playlist named \"" << p.words.first() << "\"\n";
        return ExitCode::Failed;
    }
    out << open().createPlaylist(p.words.first()) << '\n';
    return ExitCode::Success;
}

ExitCode runPlaylistDelete(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, false);
    if (!p.ok || p.words.size() != 1)
        return badUsage(p, err);
    const std::optional<Playlist> playlist = namedPlaylist(open(), p.words.first(), err);
    if (!playlist)
        return ExitCode::Failed;
    open().deletePlaylist(playlist->id);
    out << "Deleted the playlist \"" << playlist->name << "\"; its tracks stay in the library.\n";
    return ExitCode::Success;
}

ExitCode runPlaylistRename(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, false);
    if (!p.ok || p.words.size() != 2)
        return badUsage(p, err);
    const std::optional<Playlist> playlist = namedPlaylist(open(), p.words.first(), err);
    if (!playlist)
        return ExitCode::Failed;
    const QString &name = p.words.at(1);
    const std::optional<Playlist> namesake = editablePlaylist(open(), name);
    if (!playlist->smart && namesake && namesake->id != playlist->id) {
        err << "quavertin-cli: there is already a playlist named \"" << name << "\"\n";
        return ExitCode::Failed;
    }
    open().renamePlaylist(playlist->id, name);
    out << "Renamed the playlist \"" << playlist->name << "\" to \"" << name << "\".\n";
    return ExitCode::Success;
}

// The arguments NAME ID... of playlist-add and playlist-remove: the playlist
// and the track ids, or the exit status in *failure after telling what is wrong.
std::optional<std::pair<Playlist, QList<qint64>>> playlistAndTracks(const LibraryOpener &open, const QStringList &args,
                                                                    QTextStream &err, ExitCode *failure)
{
    const Parsed p = parse(args, false, false);
    std::optional<QList<qint64>> ids;
    if (!p.ok || p.words.size() < 2 || !(ids = trackIds(p.words.mid(1), err))) {
        *failure = badUsage(p, err);
        return std::nullopt;
    }
    const std::optional<Playlist> playlist = namedPlaylist(open(), p.words.first(), err);
    if (!playlist) {
        *failure = ExitCode::Failed;
        return std::nullopt;
    }
    return std::pair{*playlist, *ids};
}

ExitCode runPlaylistRemove(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    ExitCode failure = ExitCode::Success;
    const auto given = playlistAndTracks(open, args, err, &failure);
    if (!given)
        return failure;
    const auto &[playlist, ids] = *given;
    if (playlist.smart) {
        err << "quavertin-cli: \"" << playlist.name << "\" is a smart playlist; its rule decides what it holds\n";
        return ExitCode::Failed;
    }
    QList<TrackRef> entries;
    QSet<qint64> found;
    for (const TrackRef &ref : open().tracksOf(playlist.id))
        if (ids.contains(ref.trackId)) {
            entries << ref;
            found.insert(ref.trackId);
        }
    open().deleteTracks(entries);
    out << "Removed " << found.size() << " tracks from \"" << playlist.name << "\".\n";
    if (found.size() < QSet<qint64>(ids.cbegin(), ids.cend()).size()) {
        err << "quavertin-cli: some of the tracks were not in \"" << playlist.name << "\"\n";
        return ExitCode::Failed;
    }
    return ExitCode::Success;
}

ExitCode runPlaylistAdd(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    ExitCode failure = ExitCode::Success;
    const auto given = playlistAndTracks(open, args, err, &failure);
    if (!given)
        return failure;
    const auto &[playlist, ids] = *given;
    open().addToPlaylist(playlist.id, ids);
    out << "Added " << ids.size() << " tracks to \"" << playlist.name << "\".\n";
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
     "updated, not added twice: its tracks take the file's values (play counts, ratings and\n"
     "playlists stay), and the count of those that changed is shown. Files that cannot be read\n"
     "are named on standard error and skipped.\n",
     runImport},
    {"import-player", cli::importPlayerHelp, cli::runImportPlayer},
    {"import-playlist", cli::importPlaylistHelp, cli::runImportPlaylist},
    {"refresh",
     "usage: quavertin-cli library refresh [--playlist NAME]\n\n"
     "Reads the file of every track of the library (or of the first playlist of that name) again\n"
     "and updates the tracks whose values differ from their files', as an import would; play\n"
     "counts, ratings and playlists stay. Prints how many tracks changed, were unchanged, or are\n"
     "dead (no file). Files that cannot be read are named on standard error; the status is then 1.\n",
     runRefresh},
    {"tracks",
     "usage: quavertin-cli library tracks [--playlist NAME] [--columns TAG,...] [--json]\n\n"
     "One line per track: id, artist, title, album, location (empty when the file is gone),\n"
     "separated by tabs. With --playlist, the tracks of the first playlist of that name in order.\n"
     "--columns shows the id and these tags instead (keys or display names: year,trackNumber,genre).\n"
     "--json gives every tag of the catalogue but the cover, and the location.\n",
     runTracks},
    {"playlists",
     "usage: quavertin-cli library playlists [--json]\n\n"
     "One line per playlist in the library's order: id, name, smart or plain, number of tracks.\n",
     runPlaylists},
    {"playlist-create",
     "usage: quavertin-cli library playlist-create NAME\n\n"
     "Makes an empty playlist and prints its id. A name that a plain playlist has already is refused.\n",
     runPlaylistCreate},
    {"playlist-add",
     "usage: quavertin-cli library playlist-add NAME ID...\n\n"
     "Appends the tracks (ids as `tracks` lists them) to the first playlist of that name.\n",
     runPlaylistAdd},
    {"playlist-remove",
     "usage: quavertin-cli library playlist-remove NAME ID...\n\n"
     "Takes every entry of these tracks out of the first playlist of that name; the tracks stay in\n"
     "the library. Exits 1 when some of them were not in the playlist.\n",
     runPlaylistRemove},
    {"playlist-rename",
     "usage: quavertin-cli library playlist-rename OLD NEW\n\n"
     "Gives the first playlist named OLD the name NEW, unless another playlist has that name.\n",
     runPlaylistRename},
    {"playlist-delete",
     "usage: quavertin-cli library playlist-delete NAME\n\n"
     "Deletes the first playlist of that name; its tracks stay in the library.\n",
     runPlaylistDelete},
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
