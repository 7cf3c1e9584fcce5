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
    "automatic playlists are named and skipped. A track already in the library (same path) is\n"
    "updated, never added twice. The player's files are only read, never written.\n\n"
    "KIND and where its library is read from when PATH is not given:\n"
    "  rhythmbox    $XDG_DATA_HOME/rhythmbox/ (rhythmdb.xml and playlists.xml)\n"
    "  strawberry   $XDG_DATA_HOME/strawberry/strawberry/strawberry.db\n"
    "  clementine   ~/.config/Clementine/clementine.db\n"
    "  beets        the \"library\" of its config.yaml ($BEETSDIR or ~/.config/beets)\n";

const char *const importPlaylistHelp =
    "usage: quavertin-cli library import-playlist FILE [--name NAME]\n\n"
    "Makes a library playlist from an M3U, M3U8, PLS or XSPF file, in the file's order. Relative\n"
    "paths are read from the playlist's folder and file:// addresses decoded. Files not yet in the\n"
    "library are imported first; entries whose file does not exist are named and left out. The\n"
    "playlist is named NAME, else the title the file gives, else the file's name.\n";

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
    const auto progress = terminalProgress(err);
    const auto imported = libraryactions::importPlayer(open(), *player, words.value(1), progress);
    const playerimport::Summary &summary = imported.value;
    if (progress && summary.added + summary.updated > 0)
        err << '\n';
    if (!imported.ok())
        return failed(*imported.problem, err);
    for (const libraryimport::Failure &failure : summary.failures)
        err << "skipped " << printable(failure.path) << ": " << printable(failure.reason) << '\n';
    for (const playerimport::SkippedPlaylist &playlist : summary.playlistsSkipped)
        err << "skipped playlist \"" << printable(playlist.name) << "\": " << printable(playlist.reason) << '\n';
    out << "Imported " << summary.added + summary.updated << " of " << summary.tracks << " tracks from "
        << playerimport::playerName(*player) << " (" << summary.added << " new, " << summary.updated << " updated, "
        << summary.failures.size() << " skipped).\n";
    out << "Playlists: " << summary.playlistsAdded.size() << " added, " << summary.playlistsUnchanged.size()
        << " already there, " << summary.playlistsSkipped.size() << " skipped.\n";
    out << "Nothing was written to " << summary.source << ".\n";
    return ExitCode::Success;
}

ExitCode runImportPlaylist(const LibraryOpener &open, const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList words;
    QString name;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--name")) {
            if (!wantsValue(args, i, err))
                return ExitCode::BadUsage;
            name = args[++i];
        } else if (a.startsWith(QLatin1String("--name="))) {
            name = a.mid(7);
        } else if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
            err << "quavertin-cli: unknown option " << a << '\n';
            return ExitCode::BadUsage;
        } else {
            words.append(a);
        }
    }
    if (words.size() != 1)
        return ExitCode::BadUsage;
    const auto imported = libraryactions::importPlaylist(open(), words.first(), name);
    if (!imported.ok())
        return failed(*imported.problem, err);
    const playlistfiles::ImportSummary &summary = imported.value;
    for (const playlistfiles::Notice &notice : summary.notices)
        err << (notice.skipped ? "left out " : "note: ") << printable(notice.entry) << ": " << printable(notice.reason)
            << '\n';
    out << "Made the playlist \"" << printable(summary.name) << "\" with " << summary.entries << " tracks (" << summary.newTracks
        << " new in the library";
    const qsizetype skipped = std::count_if(summary.notices.cbegin(), summary.notices.cend(),
                                            [](const playlistfiles::Notice &n) { return n.skipped; });
    out << ", " << skipped << " entries left out).\n";
    return ExitCode::Success;
}

} // namespace cli
