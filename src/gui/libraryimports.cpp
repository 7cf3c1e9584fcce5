// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryimports.h"

#include "dialogprogress.h"

#include "app/appdelegate.h"
#include "library/libraryactions.h"
#include "support/alerts.h"
#include "support/dispatch.h"
#include "support/namedexception.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>

namespace {

// At most this many problems are listed in the report; the rest are counted.
constexpr int listedProblems = 10;

QString problemList(const QStringList &problems)
{
    QString text;
    for (const QString &problem : problems.mid(0, listedProblems))
        text += QStringLiteral("\n• ") + problem;
    if (problems.size() > listedProblems)
        text += QObject::tr("\n… and %1 more.").arg(problems.size() - listedProblems);
    return text;
}

QString playerReport(const playerimport::Summary &s, playerimport::Player player)
{
    using Outcome = playerimport::ImportedPlaylist::Outcome;
    QString text = QObject::tr("%1 of %2 tracks came over from %3: %4 new, %5 changed, %6 unchanged.\n"
                               "Playlists: %7 added, %8 updated, %9 unchanged, %10 skipped.")
                       .arg(s.added + s.updated)
                       .arg(s.added + s.updated + s.failures.size())
                       .arg(playerimport::playerName(player))
                       .arg(s.added)
                       .arg(s.changed)
                       .arg(s.updated - s.changed)
                       .arg(s.playlistsWith(Outcome::Added))
                       .arg(s.playlistsWith(Outcome::Updated))
                       .arg(s.playlistsWith(Outcome::Unchanged))
                       .arg(s.playlistsSkipped.size());
    for (const playerimport::ImportedPlaylist &playlist : s.playlists)
        text += QStringLiteral("\n") + (playlist.leftOut.isEmpty()
                                            ? QObject::tr("\"%1\": %2 tracks").arg(playlist.name).arg(playlist.tracks)
                                            : QObject::tr("\"%1\": %2 tracks, %3 entries left out")
                                                  .arg(playlist.name)
                                                  .arg(playlist.tracks)
                                                  .arg(playlist.leftOut.size()));
    text += QObject::tr("\nNothing was written to %1.").arg(s.source);
    QStringList problems;
    for (const libraryimport::Failure &failure : s.failures)
        problems.append(failure.path + QStringLiteral(": ") + failure.reason);
    for (const playerimport::SkippedPlaylist &playlist : s.playlistsSkipped)
        problems.append(QObject::tr("playlist \"%1\": %2").arg(playlist.name, playlist.reason));
    for (const playerimport::ImportedPlaylist &playlist : s.playlists)
        for (const libraryimport::Failure &entry : playlist.leftOut)
            problems.append(QObject::tr("left out of \"%1\": %2: %3").arg(playlist.name, entry.path, entry.reason));
    if (!problems.isEmpty())
        text += QStringLiteral("\n") + problemList(problems);
    return text;
}

QString playlistReport(const playlistfiles::ImportSummary &s)
{
    QString text = QObject::tr("The playlist \"%1\" holds %2 tracks; %3 of them are new in the library.")
                       .arg(s.name)
                       .arg(s.entries)
                       .arg(s.newTracks);
    QStringList problems;
    for (const playlistfiles::Notice &notice : s.notices)
        problems.append(notice.entry + QStringLiteral(": ") + notice.reason +
                        (notice.skipped ? QObject::tr(" (left out)") : QString()));
    if (!problems.isEmpty())
        text += QStringLiteral("\n") + problemList(problems);
    return text;
}

// What the person is told of an import: its report, or what stood in its way.
template <typename Value, typename Describe>
libraryactions::Result<QString> reported(const libraryactions::Result<Value> &result, Describe describe)
{
    return {result.ok() ? describe(result.value) : QString(), result.problem};
}

} // namespace

LibraryImports::LibraryImports(AppDelegate *app, QWidget *window)
    : QObject(window), app_(app), window_(window)
{
}

void LibraryImports::importFromPlayer()
{
    QDialog dialog(window_);
    dialog.setWindowTitle(tr("Import from Player"));
    auto *players = new QComboBox(&dialog);
    for (const QString &name : playerimport::playerNames())
        players->addItem(playerimport::playerName(*playerimport::playerNamed(name)));
    auto *path = new QLineEdit(&dialog);
    path->setMinimumWidth(360);
    const auto fillIn = [path](int index) { path->setText(playerimport::defaultPath(playerimport::Player(index))); };
    fillIn(0);
    connect(players, &QComboBox::currentIndexChanged, &dialog, fillIn);
    auto *browse = new QPushButton(tr("Choose…"), &dialog);
    connect(browse, &QPushButton::clicked, &dialog, [&] {
        const bool folder = players->currentIndex() == int(playerimport::Player::Rhythmbox);
        const QString chosen = folder ? QFileDialog::getExistingDirectory(&dialog, tr("Rhythmbox's folder"), path->text())
                                      : QFileDialog::getOpenFileName(&dialog, tr("The player's database"), path->text());
        if (!chosen.isEmpty())
            path->setText(chosen);
    });
    auto *where = new QHBoxLayout;
    where->addWidget(path, 1);
    where->addWidget(browse);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Import"));
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *form = new QFormLayout(&dialog);
    form->addRow(tr("Player:"), players);
    form->addRow(tr("Library:"), where);
    form->addRow(new QLabel(tr("The player's files are only read; nothing is written to them."), &dialog));
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    importFromPlayerAt(playerimport::Player(players->currentIndex()), path->text());
}

void LibraryImports::importFromPlayerAt(playerimport::Player player, const QString &path)
{
    run(tr("Importing from %1…").arg(playerimport::playerName(player)),
        [player, path](MusicLibrary &library, const std::function<void(int, int)> &progress) {
            return reported(libraryactions::importPlayer(library, player, path, progress),
                            [player](const playerimport::Summary &summary) { return playerReport(summary, player); });
        });
}

void LibraryImports::importPlaylist()
{
    const QString file = QFileDialog::getOpenFileName(window_, tr("Import a playlist"), QString(),
                                                      tr("Playlists (*.m3u *.m3u8 *.pls *.xspf);;All files (*)"));
    if (!file.isEmpty())
        importPlaylistAt(file);
}

void LibraryImports::importPlaylistAt(const QString &file, const QString &name)
{
    run(tr("Importing the playlist…"), [file, name](MusicLibrary &library, const std::function<void(int, int)> &) {
        return reported(libraryactions::importPlaylist(library, file, name), playlistReport);
    });
}

void LibraryImports::run(const QString &label, Work work)
{
    std::shared_ptr<MusicLibrary> library;
    try {
        library = app_->library();
    } catch (const NamedException &error) {
        alertPanel(app_->port(), tr("Import Failed"), error.reason());
        emit finished();
        return;
    }
    QPointer<LibraryImports> self(this);
    runLibraryAction<QString>(
        std::make_shared<DialogProgress>(window_, QStringLiteral("importProgress"), tr("Import"), app_->port()), label,
        [library, work](const libraryactions::Progress &progress) { return work(*library, progress); },
        [self](const libraryactions::Result<QString> &result) {
            if (!self)
                return;
            self->app_->refreshPlaylists();
            if (result.ok())
                alertPanel(self->app_->port(), tr("Import Finished"), result.value);
            else
                alertPanel(self->app_->port(), tr("Import Failed"), result.problem->description());
            emit self->finished();
        });
}
