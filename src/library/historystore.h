// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

namespace sqlite {
class Database;
class Transaction;
}

// One change a run made, as the history keeps it.
struct HistoryChange {
    enum class Kind {
        Tag,                 // key: before -> after
        AddedToPlaylist,     // playlist, entry, position
        RemovedFromPlaylist, // playlist, entry, position
        RemovedFromLibrary,  // the track left the library and every playlist
        Renamed,             // before: the old path, after: the new one
        Relinked,            // before: the old location, after: the new one
        DeadEntryRemoved,    // playlist, entry, position
        MovedToTrash,        // before: the old path, after: the name in the Trash, trashInfo
        AddedToLibrary,      // an undo re-created the track (with its entries)
        PutBackFromTrash,    // before: the name in the Trash, after: the old path
    };
    Kind kind = Kind::Tag;
    qint64 trackId = 0; // the library's track; 0 for a file of a folder
    QString path;       // the file the change was made to, when known
    QString key;        // tag changes: the catalogue key
    QVariant before;    // invalid: absent
    QVariant after;
    qint64 playlistId = 0;
    QString playlist;
    qint64 entryId = 0;  // the playlist entry added or removed
    qint64 position = 0; // its place in the playlist's order
    QString title;       // the track's when the change was made, for the person
    QString artist;
    QString trashInfo;   // the Trash: the .trashinfo beside the file there
    // RemovedFromLibrary: the track as the library kept it, every column and
    // every place it stood (MusicLibrary's SavedTrack as JSON), to re-create it.
    QByteArray saved;
};

// A run the history remembers. Numbers only grow, so a number names one run
// for as long as the history keeps it.
struct HistoryRun {
    qint64 number = 0;
    QDateTime time; // UTC
    QString tool;
    QString source;
    qint64 count = 0; // the changes it made
    qint64 undoOf = 0;
    qint64 undoneBy = 0;
};

// The kind as the history file and the CLI's JSON name it.
QString historyKindName(HistoryChange::Kind kind);
std::optional<HistoryChange::Kind> historyKindNamed(const QString &name);

// The packed form of a block of playlist entries: per entry the entry, the
// track and the position (each as its difference to the entry before), the
// title and the artist.
class PlaylistEntryCode {
public:
    void append(QByteArray &to, const HistoryChange &change);
    // Reads the entries back into changes like head; false for a damaged block.
    static bool read(const QByteArray &from, const HistoryChange &head, QList<HistoryChange> &into);

private:
    qint64 entry_ = 0, track_ = 0, position_ = 0;
};

// The journal of applied runs: one SQLite file (write-ahead logging) beside
// the library. A run's changes are written as pending before they are made
// and confirmed after, so a change that reached a file or the library is in
// the journal even when the process dies in between: pending changes of a
// run whose process is gone are resolved the next time the journal is opened.
// One object per thread; failures throw LibraryError naming the history file.
class HistoryStore {
public:
    struct Limits {
        int runs = 200;
        qint64 changes = 500000;
    };

    // history.sqlite in the folder of the library file.
    static QString pathBeside(const QString &libraryPath);

    // Opens the journal, creating it (and its folder) when missing. Throws
    // LibraryError for a file that is not a journal, is damaged, comes from a
    // newer version or cannot be written; such a file is left untouched.
    explicit HistoryStore(QString path);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    const QString &path() const { return path_; }

    // A new run owned by this process; its number.
    qint64 beginRun(const QString &tool, const QString &source, qint64 undoOf = 0);

    // Pending changes of a run, written a part at a time in one transaction
    // that reaches the disk in commit(): the caller makes them only
    // afterwards. Dropped uncommitted, it leaves nothing. Playlist entries
    // added or removed at consecutive positions of one playlist are kept
    // packed, many to a row, so that a run of a million of them stays cheap;
    // such a block stands at its first position.
    class Intent {
    public:
        Intent(HistoryStore &store, qint64 run);
        ~Intent();
        Intent(const Intent &) = delete;
        Intent &operator=(const Intent &) = delete;
        // Positions order the changes within the run; each is above the last.
        void add(qint64 position, const HistoryChange &change);
        void commit();

    private:
        void flush();
        void writeRow(qint64 position, const HistoryChange &change);

        HistoryStore &store_;
        qint64 run_;
        QString purpose_;
        std::unique_ptr<sqlite::Transaction> transaction_;
        HistoryChange block_; // the block being packed: its first change
        QByteArray entries_;
        qint64 first_ = 0, last_ = 0, count_ = 0;
        PlaylistEntryCode code_;
    };
    // One Intent for a list of changes at these positions.
    void intend(qint64 run, const QList<qint64> &positions, const QList<HistoryChange> &changes);
    // Confirms the pending changes at these positions, drops the run's other
    // pending ones and closes the run; a run that made no change is forgotten.
    // Then the oldest whole runs beyond the limits go (never this one, however
    // many changes it holds).
    void finishRun(qint64 run, const QList<qint64> &applied, const Limits &limits);
    // The same when every pending change of the run was made.
    void finishRunAll(qint64 run, const Limits &limits);

    // Whether a pending change was made after all.
    enum class Resolution { Applied, NotApplied, Unknown };
    using Resolver = std::function<Resolution(const HistoryChange &)>;
    // Settles the runs left open by processes that are gone: a change the
    // resolver finds made (or cannot tell about) is kept, the others dropped.
    // Returns how many runs were settled.
    int resolveAbandoned(const Resolver &resolver);

    // The bytes of pictures a run takes out of files or puts in, by their
    // hash: each distinct picture is kept once, for as long as a run that
    // uses it is in the history.
    void keepPictures(qint64 run, const QHash<QString, QByteArray> &pictures);
    std::optional<QByteArray> picture(const QString &hash) const;

    // Closed runs, newest first.
    QList<HistoryRun> runs() const;
    std::optional<HistoryRun> run(qint64 number) const;
    // Whether the run's changes were taken back: it has an undo that was not
    // itself undone.
    bool isUndone(const HistoryRun &run) const;
    // The newest run that is no undo and was not undone: what "undo" takes
    // back when no run is named, so that undoing again goes further back.
    std::optional<HistoryRun> lastUndoable() const;
    // The run's confirmed changes in the order they were made.
    QList<HistoryChange> changes(qint64 number) const;
    // The files renamed and the tracks relinked by the runs after this one, in
    // the order they were made: where a file of that run has gone since.
    QList<HistoryChange> movesAfter(qint64 number) const;

private:
    void close(qint64 run, const QString &purpose);
    void forget(qint64 run, const Limits &limits);
    void prune(qint64 keep, const Limits &limits);

    QString path_;
    std::unique_ptr<sqlite::Database> db_;
    QList<qint64> begun_; // open runs this object began
};
