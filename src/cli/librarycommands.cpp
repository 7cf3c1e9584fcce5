// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarycommands.h"

#include "importcommands.h"
#include "library/libraryactions.h"
#include "files/ratingconventions.h"
#include "library/musiclibrary.h"
#include "model/tagcatalogue.h"
#include "reviewprinter.h"
#include "support/namedexception.h"
#include "support/textutils.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
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
  import-playlist FILE [--name NAME] [--base DIR]
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

// A value as printJson writes it inside an indented document. The common
// values (integers, texts of printable characters) are written directly: a
// listing of a million tracks would otherwise spend most of its time making
// and printing one document per track. Any other goes through printJson.
void appendJsonValue(QString &json, const QVariant &value)
{
    if (value.typeId() == QMetaType::LongLong) {
        json += QString::number(value.toLongLong());
        return;
    }
    if (value.typeId() == QMetaType::QString) {
        const QString &text = *static_cast<const QString *>(value.constData());
        const bool plain = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            const char16_t u = c.unicode();
            return u >= 0x20 && u != u'"' && u != u'\\' &&
                   (u < 0x7f || (u >= 0xa0 && !c.isSurrogate() && !text::isControlOrBidi(u)));
        });
        if (plain) {
            json += QLatin1Char('"');
            json += text;
            json += QLatin1Char('"');
            return;
        }
    }
    QString element;
    QTextStream stream(&element);
    cli::printJson(stream, QJsonDocument(QJsonArray{QJsonValue::fromVariant(value)}));
    stream.flush();
    // "[\n    VALUE\n]\n": the value alone.
    json += QStringView(element).sliced(6, element.size() - 6 - 3);
}

// In JSON every listable column is there, under its key ("title" for the name),
// in the order a JSON object keeps its keys.
// The rows are read a page at a time inside one read transaction and written
// in small pieces: a library of a million tracks as one document would hold
// every value several times over.
void printTracks(const MusicLibrary &library, const std::optional<qint64> &playlistId, bool json, QTextStream &out,
                 const QStringList &columns = defaultColumns)
{
    const QStringList keys = json ? listableKeys() : columns;
    // Where each key's value goes in a printed object, by its printed name.
    QList<std::pair<QString, qsizetype>> fields;
    fields.append({QStringLiteral("id"), -1});
    for (qsizetype k = 0; k < keys.size(); ++k)
        fields.append({keys[k] == QLatin1String("name") ? QStringLiteral("title") : keys[k], k});
    std::sort(fields.begin(), fields.end());
    const qsizetype location = keys.indexOf(QLatin1String("location"));
    std::optional<MusicLibrary::TrackPager> pager;
    if (playlistId)
        pager.emplace(library, *playlistId, keys);
    else
        pager.emplace(library, MusicLibrary::TrackPager::WholeLibrary{}, keys);
    constexpr qsizetype page = 4096;
    // Handed to the stream whenever it holds this much, and reused.
    constexpr qsizetype piece = 1 << 15;
    QString text;
    text.reserve(piece + 4096);
    if (json)
        text += QLatin1Char('[');
    qsizetype i = 0;
    for (TrackRows rows = pager->next(page); !rows.refs.isEmpty(); rows = pager->next(page)) {
        for (qsizetype r = 0; r < rows.refs.size(); ++r, ++i) {
            const QVariantList &row = rows.rows.at(r);
            if (!json) {
                text += QString::number(rows.refs[r].trackId);
                for (qsizetype k = 0; k < keys.size(); ++k) {
                    text += QLatin1Char('\t');
                    text += oneLine(row.at(k));
                }
                text += QLatin1Char('\n');
            } else {
                text += QLatin1String(i == 0 ? "\n    {" : ",\n    {");
                for (qsizetype f = 0; f < fields.size(); ++f) {
                    const auto &[name, k] = fields[f];
                    text += QLatin1String(f == 0 ? "\n        \"" : ",\n        \"");
                    text += name;
                    text += QLatin1String("\": ");
                    if (k < 0) {
                        text += QString::number(rows.refs[r].trackId);
                        continue;
                    }
                    const QVariant &value = row.at(k);
                    const bool absent =
                        !value.isValid() || value.isNull() || (k == location && value.toString().isEmpty());
                    if (absent)
                        text += QLatin1String("null");
                    else
                        appendJsonValue(text, value);
                }
                text += QLatin1String("\n    }");
            }
            if (text.size() >= piece) {
                out << text;
                text.truncate(0);
            }
        }
    }
    if (json)
        text += QLatin1String("\n]\n");
    out << text;
}

// Splits off the options a command knows; anything else starting with "--" is bad usage.
struct Parsed {
    QStringList words;
    bool json = false;
    QString playlist;
    QString columns;
    QString ratingProfile; // null when not given
    bool ok = true;
    QString problem;
};

Parsed parse(const QStringList &args, bool allowJson, bool allowPlaylist, bool allowColumns = false,
             bool allowProfile = false)
{
    Parsed p;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (allowProfile && a == "--rating-profile") {
            const std::optional<QString> profile =
                i + 1 < args.size() ? ratingconventions::profileNamed(args[++i]) : std::nullopt;
            if (!profile) {
                p.ok = false;
                p.problem = QStringLiteral("--rating-profile needs one of %1")
                                .arg(ratingconventions::profileNames().join(QStringLiteral(", ")));
                return p;
            }
            p.ratingProfile = *profile;
        } else if (allowJson && a == "--json") {
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

// The profile asked for, else the person's saved one.
QString ratingProfile(const Parsed &p)
{
    return p.ratingProfile.isNull() ? ratingconventions::savedProfile() : p.ratingProfile;
}

// Where the files and the library disagree on ratings and play counts, and
// the fields that were passed over.
void printRatingReport(const QList<Disagreement> &disagreements, const QList<libraryimport::Failure> &ignored,
                       QTextStream &out)
{
    if (!disagreements.isEmpty()) {
        out << libraryimport::disagreementHeading(disagreements) << '\n';
        for (const QString &row : libraryimport::disagreementRows(disagreements))
            out << "  " << oneLine(row) << '\n';
    }
    for (const libraryimport::Failure &line : ignored)
        out << "passed over in " << oneLine(line.path) << ": " << oneLine(line.reason) << '\n';
}

ExitCode runImport(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, false, false, true);
    if (!p.ok || p.words.size() != 1)
        return badUsage(p, err);
    const QString folder = p.words.first();
    // Listed before the library is opened: a mistyped folder, or one without
    // music, leaves no library file behind.
    const auto listed = libraryactions::listFolder(folder);
    if (!listed.ok())
        return cli::failed(*listed.problem, err);
    const bool onTerminal = ::isatty(STDERR_FILENO);
    const auto progress = [&](int done, int total) {
        if (onTerminal)
            err << "\rImporting " << done << '/' << total << "\u2026" << Qt::flush;
    };
    libraryactions::Result<libraryimport::Summary> imported;
    imported.value.failures = listed.value.unlisted;
    if (!listed.value.paths.isEmpty())
        imported = libraryactions::importListed(open(), listed.value, progress, ratingProfile(p));
    if (!imported.ok())
        return cli::failed(*imported.problem, err);
    const libraryimport::Summary &summary = imported.value;
    if (onTerminal && summary.found > 0)
        err << '\n';
    for (const libraryimport::Failure &failure : summary.failures)
        err << "skipped " << oneLine(failure.path) << ": " << oneLine(failure.reason) << '\n';
    out << "Imported " << summary.added + summary.updated << " of " << summary.found << " music files ("
        << summary.added << " new, " << summary.updated << " updated, " << summary.failures.size() << " skipped).\n";
    if (summary.updated > 0)
        out << summary.changed << " of the " << summary.updated << " tracks already in the library took new values from their files.\n";
    printRatingReport(summary.disagreements, summary.ignored, out);
    if (summary.found == 0)
        err << "quavertin-cli: no music files found in " << folder << '\n';
    return summary.found > 0 && summary.added + summary.updated > 0 ? ExitCode::Success : ExitCode::Failed;
}

// The tracks of the playlist --playlist names, else the whole library's.
// The playlist asked for, or nothing for the whole library; false after telling why there is none.
bool playlistAsked(MusicLibrary &library, const Parsed &p, std::optional<qint64> &id, QTextStream &err)
{
    if (p.playlist.isNull())
        return true;
    const libraryactions::Result<Playlist> playlist = libraryactions::findPlaylist(library, p.playlist);
    if (!playlist.ok()) {
        cli::failed(*playlist.problem, err);
        return false;
    }
    id = playlist.value.id;
    return true;
}

ExitCode runRefresh(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, true, false, true);
    if (!p.ok || !p.words.isEmpty())
        return badUsage(p, err);
    const bool onTerminal = ::isatty(STDERR_FILENO);
    bool reported = false;
    std::optional<libraryactions::PlaylistChoice> playlist;
    if (!p.playlist.isNull())
        playlist = p.playlist;
    const auto refreshed = libraryactions::refresh(open(), playlist, [&](int done, int total) {
        if (onTerminal)
            err << "\rRefreshing " << done << '/' << total << "\u2026" << Qt::flush;
        reported = true;
    }, ratingProfile(p));
    if (onTerminal && reported)
        err << '\n';
    if (!refreshed.ok())
        return cli::failed(*refreshed.problem, err);
    const libraryimport::RefreshSummary &summary = refreshed.value;
    for (const libraryimport::Failure &failure : summary.failures)
        err << "unreadable " << oneLine(failure.path) << ": " << oneLine(failure.reason) << '\n';
    out << libraryimport::describe(summary) << '\n';
    printRatingReport(summary.disagreements, summary.ignored, out);
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
    std::optional<qint64> playlist;
    if (!playlistAsked(open(), p, playlist, err))
        return ExitCode::Failed;
    printTracks(open(), playlist, p.json, out, columns);
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
    const auto created = libraryactions::createPlaylist(open(), p.words.first());
    if (!created.ok())
        return cli::failed(*created.problem, err);
    out << created.value.id << '\n';
    return ExitCode::Success;
}

ExitCode runPlaylistDelete(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, false);
    if (!p.ok || p.words.size() != 1)
        return badUsage(p, err);
    const auto deleted = libraryactions::deletePlaylist(open(), p.words.first());
    if (!deleted.ok())
        return cli::failed(*deleted.problem, err);
    out << "Deleted the playlist \"" << deleted.value.name << "\"; its tracks stay in the library.\n";
    return ExitCode::Success;
}

ExitCode runPlaylistRename(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, false, false);
    if (!p.ok || p.words.size() != 2)
        return badUsage(p, err);
    const auto renamed = libraryactions::renamePlaylist(open(), p.words.first(), p.words.at(1));
    if (!renamed.ok())
        return cli::failed(*renamed.problem, err);
    out << "Renamed the playlist \"" << p.words.first() << "\" to \"" << renamed.value.name << "\".\n";
    return ExitCode::Success;
}

// The arguments NAME ID... of playlist-add and playlist-remove: the playlist's
// name and the track ids, or nothing after telling what is wrong.
std::optional<std::pair<QString, QList<qint64>>> playlistAndTracks(const QStringList &args, QTextStream &err)
{
    const Parsed p = parse(args, false, false);
    std::optional<QList<qint64>> ids;
    if (!p.ok || p.words.size() < 2 || !(ids = trackIds(p.words.mid(1), err))) {
        badUsage(p, err);
        return std::nullopt;
    }
    return std::pair{p.words.first(), *ids};
}

ExitCode runPlaylistRemove(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const auto given = playlistAndTracks(args, err);
    if (!given)
        return ExitCode::BadUsage;
    const auto removed = libraryactions::removeFromPlaylist(open(), given->first, given->second);
    if (!removed.ok())
        return cli::failed(*removed.problem, err);
    const libraryactions::PlaylistEdit &edit = removed.value;
    out << "Removed " << edit.tracks << " tracks from \"" << edit.playlist.name << "\".\n";
    if (edit.absent > 0) {
        err << "quavertin-cli: some of the tracks were not in \"" << edit.playlist.name << "\"\n";
        return ExitCode::Failed;
    }
    return ExitCode::Success;
}

ExitCode runPlaylistAdd(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const auto given = playlistAndTracks(args, err);
    if (!given)
        return ExitCode::BadUsage;
    const auto added = libraryactions::addToPlaylist(open(), given->first, given->second);
    if (!added.ok())
        return cli::failed(*added.problem, err);
    out << "Added " << added.value.tracks << " tracks to \"" << added.value.playlist.name << "\".\n";
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
    const auto selected = libraryactions::select(open(), *ids);
    if (!selected.ok())
        return cli::failed(*selected.problem, err);
    out << "Selected " << selected.value << " tracks.\n";
    return ExitCode::Success;
}

ExitCode runSelection(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const Parsed p = parse(args, true, false);
    if (!p.ok || !p.words.isEmpty())
        return badUsage(p, err);
    printTracks(open(), qint64(0), p.json, out);
    return ExitCode::Success;
}

// A new track takes the rating and play count of its file; one already
// stored keeps its own, and the report lists where its changed file differs.
#define RATING_PROFILE_HELP                                                                                    \
    "\nA new track takes its file's rating and play count, read from every player's fields; a track\n"      \
    "already stored keeps its own, and the tracks whose changed files hold other values are listed\n"       \
    "(file -> library). --rating-profile names the player whose fields win (wmp, musicbee, mediamonkey,\n"   \
    "winamp, picard, quodlibet, fmps, rating); without it the saved RatingProfile setting, then FMPS,\n"    \
    "then the surest POPM frame.\n"

const Command commands[] = {
    {"import",
     "usage: quavertin-cli library import DIR [--rating-profile NAME]\n\n"
     "Reads every music file below DIR (mp3 aac m4a ogg flac mpc spx wv tta wav aiff mp4 asf opus\n"
     "wma, in any letter case) and stores its tags in the library. A file already in the library is\n"
     "updated, not added twice: its tracks take the file's values (play counts, ratings and\n"
     "playlists stay), and the count of those that changed is shown. Files that cannot be read\n"
     "are named on standard error and skipped.\n"
     RATING_PROFILE_HELP,
     runImport},
    {"import-player", cli::importPlayerHelp, cli::runImportPlayer},
    {"import-playlist", cli::importPlaylistHelp, cli::runImportPlaylist},
    {"refresh",
     "usage: quavertin-cli library refresh [--playlist NAME] [--rating-profile NAME]\n\n"
     "Reads the file of every track of the library (or of the first playlist of that name) again\n"
     "and updates the tracks whose values differ from their files', as an import would; play\n"
     "counts, ratings and playlists stay. Prints how many tracks changed, were unchanged, or are\n"
     "dead (no file). Files that cannot be read are named on standard error; the status is then 1.\n"
     RATING_PROFILE_HELP,
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
     "Makes an empty playlist and prints its id. A blank name, or one that a plain playlist has\n"
     "already, is refused.\n",
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
     "Gives the first playlist named OLD the name NEW, unless NEW is blank or another plain\n"
     "playlist has that name.\n",
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
        return cli::failed({false, e.name(), e.reason()}, err);
    }
}
