// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "changelist.h"
#include "library/historystore.h"
#include "library/musiclibrary.h"
#include "support/trash.h"

#include <QString>
#include <memory>
#include <mutex>


// Records one apply run in the history beside the library. Each change is
// written as pending before it is made and confirmed when the run ends. The
// journal never stops a run: when the history cannot be opened or written,
// the run goes on unrecorded and finish() says why. Used by the apply worker;
// applied() may come from several threads at once.
class RunJournal {
public:
    struct Run {
        QString historyPath;
        QString tool;
        QString source;
        HistoryStore::Limits limits;
        // The library whose tracks the run changes: it settles what a
        // crashed run left pending. May be null.
        std::shared_ptr<MusicLibrary> library;
        qint64 undoOf = 0; // an undo: the run it takes back
    };
    explicit RunJournal(Run run);
    ~RunJournal();

    // Tag lists: every enabled record, numbered by its row, before the first write.
    void intendTags(const QList<ChangeRecord> &records);
    // Membership lists, inside the library transaction that makes the
    // change: before the entries are removed; before the tracks are added
    // (the last entry id then), and after (with that id). The records are
    // found by walking the list once, in its order, the order of the changes.
    // A track removed from the library is kept whole, to be brought back.
    // files[i], when given, is the file of removed[i] that goes to the Trash;
    // claims are the names taken there, recorded before any file moves.
    // Removals stand at positions from 0, the claimed files after them.
    void intendRemovals(MusicLibrary &library, const QList<TrackRef> &removed, const ChangeList &list,
                        const QStringList &files = {}, const QList<trash::Moved> &claims = {});
    qint64 beforeAdding(MusicLibrary &library);
    void intendAdditions(MusicLibrary &library, qint64 playlistId, qint64 lastEntryBefore, const ChangeList &list);
    // Restoring lists, inside the library transaction, before the entries go back.
    void intendRestores(MusicLibrary &library, const QList<QPair<qint64, PlaylistEntry>> &entries,
                        const QList<const ChangeRecord *> &records);
    // Changes made outside the apply engine (renamed files), at these positions.
    void intendChanges(const QList<HistoryChange> &changes, const QList<qint64> &positions);
    // The change at this position was made.
    void applied(qint64 position);
    // Everything intended was made (a library transaction was committed).
    void appliedAll();

    // Confirms what was made; the empty text when the run is in the history,
    // else why it is not.
    QString finish();

    // Limits from the settings "HistoryRuns" and "HistoryChanges" (the
    // defaults when unset). Main thread.
    static HistoryStore::Limits limitsFromSettings();
    // Opens the history and settles what crashed runs left pending. Throws
    // LibraryError as HistoryStore does.
    static std::unique_ptr<HistoryStore> openSettled(const QString &path, const std::shared_ptr<MusicLibrary> &library);
    // Whether a change left pending by a crashed run reached its file or library.
    static HistoryStore::Resolution resolve(const HistoryChange &change,
                                            const std::shared_ptr<MusicLibrary> &library);

private:
    bool open();
    void intend(const QList<HistoryChange> &changes, const QList<qint64> &positions);
    void fail(const std::exception &e);
    QString playlistName(const MusicLibrary &library, qint64 playlistId);

    Run run_;
    std::unique_ptr<HistoryStore> store_;
    qint64 number_ = 0;
    QString problem_;
    std::mutex mutex_;
    QList<qint64> intended_; // the positions intend() wrote as pending
    bool intendedElsewhere_ = false; // a membership list wrote its own
    QList<qint64> applied_;
    bool appliedAll_ = false;
};
