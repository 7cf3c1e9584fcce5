// SPDX-License-Identifier: GPL-3.0-or-later
#include "importcommands.h"

#include "planprinter.h"
#include "support/textutils.h"

#include <unistd.h>

namespace cli {

const char *const importPlayerHelp =
    "usage: quavertin-cli library import-player KIND [PATH]\n\n"
    "Brings a music player's library over: its tracks (tags read from the files), play counts,\n"
    "skip counts, ratings (on the 0-100 scale) and static playlists in their order. Smart and\n"
    "automatic playlists are named and skipped, and so are a player's playlist entries whose file\n"
    "is gone. A track already in the library (same path) is updated, never added twice; a\n"
    "playlist brought over before is brought up to date, one made in the library never touched.\n"
    "The player's files are only read, never written.\n\n"
    "KIND and where its library is read from when PATH is not given:\n"
    "  rhythmbox    $XDG_DATA_HOME/rhythmbox/ (rhythmdb.xml and playlists.xml)\n"
    "  strawberry   $XDG_DATA_HOME/strawberry/strawberry/strawberry.db\n"
    "  clementine   ~/.config/Clementine/clementine.db\n"
    "  beets        the \"library\" of its config.yaml ($BEETSDIR or ~/.config/beets), with the\n"
    "               playlist plugin's playlists; PATH may be the database, config.yaml or its folder\n";

const char *const importPlaylistHelp =
    "usage: quavertin-cli library import-playlist FILE [--name NAME] [--base DIR]\n\n"
    "Makes a library playlist from an M3U, M3U8, PLS or XSPF file, in the file's order. Relative\n"
    "paths are read from the playlist's folder, or from DIR with --base (a music folder that\n"
    "another program wrote them against), and file:// addresses decoded. Files not yet in the\n"
    "library are imported first; entries whose file does not exist are named and left out, and\n"
    "when none is left no playlist is made (exit status 1). The playlist is named NAME, else the\n"
    "title the file gives, else the file's name.\n";

namespace {

bool wantsValue(const QStringList &args, qsizetype i, QTextStream &err)
{
    if (i + 1 < args.size())
        return true;
    err << "quavertin-cli: " << args[i] << " wants a value\n";
    return false;
}

std::function<void(int, int)> terminalProgress(QTextStream &err)
{
    if (!::isatty(STDERR_FILENO))
        return {};
    return [&err](int done, int total) { err << "\rImporting " << done << '/' << total << "\u2026" << Qt::flush; };
}

} // namespace

ExitCode failed(const libraryactions::Problem &problem, QTextStream &err)
{
    err << "quavertin-cli: " << text::escapedControls(problem.description(), text::ControlStyle::Terminal, true) << '\n';
    return ExitCode::Failed;
}

ExitCode runImportPlayer(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList words;
    for (const QString &a : args) {
        if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
            err << "quavertin-cli: unknown option " << a << '\n';
            return ExitCode::BadUsage;
        }
        words.append(a);
    }
    if (words.isEmpty() || words.size() > 2)
        return ExitCode::BadUsage;
    const std::optional<playerimport::Player> player = playerimport::playerNamed(words.first());
    if (!player) {
        err << "quavertin-cli: unknown player \"" << words.first() << "\"; choose one of "
            << playerimport::playerNames().join(QLatin1String(", ")) << '\n';
        return ExitCode::BadUsage;
    }
    // Read before the library is opened: a player's file that is not there makes no library file.
    const auto read = libraryactions::readPlayer(*player, words.value(1));
    if (!read.ok())
        return failed(*read.problem, err);
    const auto progress = terminalProgress(err);
    const auto imported = libraryactions::importPlayer(open(), read.value, progress);
    const playerimport::Summary &summary = imported.value;
    if (progress && summary.added + summary.updated > 0)
        err << '\n';
    if (!imported.ok())
        return failed(*imported.problem, err);
    for (const libraryimport::Failure &failure : summary.failures)
        err << "skipped " << printable(failure.path) << ": " << printable(failure.reason) << '\n';
    for (const playerimport::SkippedPlaylist &playlist : summary.playlistsSkipped)
        err << "skipped playlist \"" << printable(playlist.name) << "\": " << printable(playlist.reason) << '\n';
    for (const playerimport::ImportedPlaylist &playlist : summary.playlists)
        for (const libraryimport::Failure &entry : playlist.leftOut)
            err << "left out of \"" << printable(playlist.name) << "\": " << printable(entry.path) << ": "
                << printable(entry.reason) << '\n';
    using Outcome = playerimport::ImportedPlaylist::Outcome;
    // Of every file the player names, its playlists' included.
    out << "Imported " << summary.added + summary.updated << " of "
        << summary.added + summary.updated + summary.failures.size() << " tracks from "
        << playerimport::playerName(read.value.player) << " (" << summary.added << " new, " << summary.changed
        << " changed, " << summary.updated - summary.changed << " unchanged, " << summary.failures.size()
        << " skipped).\n";
    out << "Playlists: " << summary.playlistsWith(Outcome::Added) << " added, " << summary.playlistsWith(Outcome::Updated)
        << " updated, " << summary.playlistsWith(Outcome::Unchanged) << " unchanged, " << summary.playlistsSkipped.size()
        << " skipped.\n";
    for (const playerimport::ImportedPlaylist &playlist : summary.playlists) {
        static const char *const outcomes[] = {"added", "updated", "unchanged"};
        out << "  \"" << printable(playlist.name) << "\" " << outcomes[int(playlist.outcome)] << ": "
            << playlist.tracks << " tracks";
        if (!playlist.leftOut.isEmpty())
            out << ", " << playlist.leftOut.size() << " entries left out";
        out << '\n';
    }
    out << "Nothing was written to " << printable(summary.source) << ".\n";
    return ExitCode::Success;
}

ExitCode runImportPlaylist(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList words;
    QString name;
    QString base;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--name") || a == QLatin1String("--base")) {
            if (!wantsValue(args, i, err))
                return ExitCode::BadUsage;
            (a == QLatin1String("--name") ? name : base) = args[++i];
        } else if (a.startsWith(QLatin1String("--name="))) {
            name = a.mid(7);
        } else if (a.startsWith(QLatin1String("--base="))) {
            base = a.mid(7);
        } else if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
            err << "quavertin-cli: unknown option " << a << '\n';
            return ExitCode::BadUsage;
        } else {
            words.append(a);
        }
    }
    if (words.size() != 1)
        return ExitCode::BadUsage;
    const auto tell = [&err](const QList<playlistfiles::Notice> &notices) {
        for (const playlistfiles::Notice &notice : notices)
            err << (notice.skipped ? "left out " : "note: ") << printable(notice.entry) << ": "
                << printable(notice.reason) << '\n';
    };
    // Read before the library is opened: a file that is not there, or whose
    // entries are all missing, makes no library file.
    const auto read = libraryactions::readPlaylist(words.first(), base);
    if (!read.ok()) {
        tell(read.value.notices);
        return failed(*read.problem, err);
    }
    const auto imported = libraryactions::importPlaylist(open(), read.value, name);
    const playlistfiles::ImportSummary &summary = imported.value;
    tell(summary.notices);
    if (!imported.ok())
        return failed(*imported.problem, err);
    out << "Made the playlist \"" << printable(summary.name) << "\" with " << summary.entries << " tracks (" << summary.newTracks
        << " new in the library";
    const qsizetype skipped = std::count_if(summary.notices.cbegin(), summary.notices.cend(),
                                            [](const playlistfiles::Notice &n) { return n.skipped; });
    out << ", " << skipped << " entries left out).\n";
    return ExitCode::Success;
}

} // namespace cli
