// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "libraryerror.h"
#include "trackref.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantHash>
#include <atomic>
#include <memory>
#include <optional>
#include <unordered_map>

namespace sqlite {
class ReadTransaction;
class Transaction;
}

struct Playlist {
    qint64 id = 0;
    QString name;
    bool smart = false;
};

// One entry of a playlist: which track stands where. Positions order the
// entries; they need not be consecutive.
struct PlaylistEntry {
    qint64 entryId = 0;
    qint64 trackId = 0;
    qint64 position = 0;
};

// A track as the library keeps it, with every place it stands: enough to
// bring it back whole after it left the library.
struct SavedTrack {
    qint64 trackId = 0;
    QVariantHash columns; // every stored column but the id, by name
    QList<QPair<qint64, PlaylistEntry>> entries; // playlist and entry
    QList<qint64> selection; // its positions in the selection

    QByteArray toJson() const;
    // Nothing for text that is no saved track.
    static std::optional<SavedTrack> fromJson(const QByteArray &json);
};

// The rule of a smart playlist: the playlist manager's conditions on one tag key.
struct SmartRule {
    QString tagKey;
    int condition = 2;
    QString operand;
    bool caseInsensitive = true;
};

// The fields of one music file as the library import reads them.
struct ImportedFile {
    QString location;
    QVariantHash values; // catalogue keys plus "duration" (real seconds), "bitRate", "kind"
    // files::stamp of the file when it was read; null: taken when the row is stored.
    QString stamp = {};
    // What the file says of values the library keeps as its own (its rating
    // and play count): taken by a new row only, and never over values.
    QVariantHash onAdd = {};
    // The field each value of onAdd came from ("POPM MusicBee"), by key.
    QHash<QString, QString> onAddFrom = {};
    // Fields of the file that were passed over, each with its reason.
    QStringList ignored = {};
};

// A track already in the library whose file, changed since the library last
// read it, holds another value of one of the library's own keys (onAdd) than
// the row: the row keeps its own.
struct Disagreement {
    qint64 trackId = 0;
    QString location;
    QString key;     // "rating" or "playedCount"
    QVariant file;   // the file's value
    QString from;    // the file's field it came from
    QVariant library; // the row's value; null when it has none
};

// Tracks with some of their properties, read together: rows[i] holds the
// values of refs[i] in the order of the keys asked for.
struct TrackRows {
    QList<TrackRef> refs;
    QList<QVariantList> rows;
};

// The music library: one SQLite file, opened with one connection per thread
// (each thread that touches it gets its own). Every method may be called from
// any thread; multi-row changes run in one transaction. Failures throw
// LibraryError with a clear message; a corrupt or foreign file is refused and
// never overwritten.
class MusicLibrary {
public:
    // $XDG_DATA_HOME/Quavertin/library.sqlite, or $QUAVERTIN_LIBRARY when set.
    static QString defaultPath();

    // Opens the library at path, creating it (and its folder) when missing.
    // Throws LibraryError for a file that is not a library, leaving it untouched.
    explicit MusicLibrary(QString path);
    // Closes the connections of every thread; no other thread may be using the library then.
    ~MusicLibrary();
    MusicLibrary(const MusicLibrary &) = delete;
    MusicLibrary &operator=(const MusicLibrary &) = delete;

    const QString &path() const { return path_; }

    // The "is the library application running" check: the file exists and opens as a library.
    static bool isRunning(const QString &path);

    // User playlists in the library's order, smart ones included.
    QList<Playlist> userPlaylists() const;
    // The first playlist with this exact name.
    std::optional<Playlist> playlistNamed(const QString &name) const;
    // The playlist's tracks in order (a track may stand twice); smart playlists are computed.
    QList<TrackRef> tracksOf(qint64 playlistId) const;
    // tracksOf with the properties of each track as propertyRows gives them,
    // read in the same query.
    TrackRows tracksOf(qint64 playlistId, const QStringList &keys) const;
    // Every track of the library, reached through the library.
    QList<TrackRef> allTracks() const;
    int trackCount() const;
    // A number that changes whenever another connection (another process, or
    // another thread of this one) committed a change since this thread's
    // last look, and stays when nothing but a checkpoint happened.
    qint64 dataVersion() const;

    // The library window's selection, resolved.
    QList<TrackRef> selection() const;
    // selection with the properties of each track, read in the same query.
    TrackRows selection(const QStringList &keys) const;
    void setSelection(const QList<qint64> &trackIds);

    // A property by key: catalogue keys, "name", "duration", "bitRate", "kind".
    // Text properties give a QString, integer ones a qlonglong, "duration" a double;
    // an unset value is absent.
    QVariant property(const TrackRef &ref, const QString &key) const;
    void setProperty(const TrackRef &ref, const QString &key, const QVariant &value);
    // The value as the property stores it (what a read then gives); throws
    // LibraryError, as setProperty would, for one it cannot store.
    static QVariant storedValue(const QString &key, const QVariant &value);
    // The properties of many tracks with one query, in the order of refs.
    // Throws LibraryError when one of the tracks no longer exists.
    QList<QVariantHash> properties(const QList<TrackRef> &refs, const QStringList &keys) const;
    // The same as rows of values in the order of keys: far lighter for long lists.
    QList<QVariantList> propertyRows(const QList<TrackRef> &refs, const QStringList &keys) const;

    // The stored path, or a null QString when no file exists there (a dead track).
    QString location(const TrackRef &ref) const;
    // The path stored for a file track whether or not a file exists there
    // (where a dead track's file used to be); a null QString for a stream.
    QString storedLocation(const TrackRef &ref) const;
    // The row's values then stand for the old file: the next write to the new
    // one compares them with its own before writing.
    void setLocation(const TrackRef &ref, const QString &path);
    // "ITunesFileTrack" for a track backed by a file, "ITunesURLTrack" for a stream.
    QString className(const TrackRef &ref) const;

    // Removes the entry through which the track was reached; a track reached
    // through the library leaves the library and every playlist.
    void deleteTrack(const TrackRef &ref);
    // Adds the track to the end of the playlist.
    void duplicateTo(const TrackRef &ref, qint64 playlistId);

    // Library management (the CLI and the window's library browser).
    qint64 createPlaylist(const QString &name);
    qint64 createSmartPlaylist(const QString &name, const SmartRule &rule);
    // Removes the playlist; its tracks stay in the library.
    void deletePlaylist(qint64 playlistId);
    void renamePlaylist(qint64 playlistId, const QString &name);
    void addToPlaylist(qint64 playlistId, const QList<qint64> &trackIds);
    // Where an imported plain playlist came from (another program's playlist,
    // named by the importer), so that the next import of the same playlist
    // finds it whatever it is called now. A playlist made here has none.
    void setPlaylistOrigin(qint64 playlistId, const QString &origin);
    std::optional<Playlist> playlistFrom(const QString &origin) const;
    // Makes the plain playlist hold exactly these tracks in this order, in one transaction.
    void replacePlaylistTracks(qint64 playlistId, const QList<qint64> &trackIds);
    // Adds a file track, or updates the tracks already stored for that location
    // (the first one's id is returned). The values replace every property a
    // music file provides (a missing one becomes absent); play counts, rating
    // and volume are kept unless given. The row remembers the file's stamp.
    qint64 importFile(const ImportedFile &file);
    // How the tracks of one imported file fared.
    enum class Stored { Added, Changed, Unchanged };
    // importFile for many files in one transaction: all are stored or none. Ids
    // in order; outcomes, when given, gets one entry per file; disagreements,
    // when given, the rows that keep their own values of onAdd's keys.
    QList<qint64> importFiles(const QList<ImportedFile> &files, QList<Stored> *outcomes = nullptr,
                              QList<Disagreement> *disagreements = nullptr);

    // A file track's file as the library last saw it: the path (null for a
    // dead track or a stream) and the file's stamp then (null when unknown).
    struct FileLink {
        QString path;
        QString stamp;
    };
    FileLink fileLink(const TrackRef &ref) const;
    // After the file at path was written: every file track stored there takes
    // value for key (a property a music file provides). A row that was in step
    // with the file (its stamp was stampBefore) takes stampAfter; the others
    // forget theirs, so that their next write compares values first. Returns
    // how many tracks took the value.
    int fileWritten(const QString &path, const QString &key, const QVariant &value, const QString &stampBefore,
                    const QString &stampAfter);
    // The file track stored at each of these paths (the first when several
    // share one), by path; paths with no track are left out. One query.
    QHash<QString, qint64> fileTracksAt(const QStringList &paths) const;
    // A stream entry (a web radio address); its class name is "ITunesURLTrack".
    qint64 addStreamTrack(const QString &address, const QVariantHash &values);
    // After a file was renamed: tracks stored at oldPath follow it to newPath.
    void fileMoved(const QString &oldPath, const QString &newPath);
    // fileMoved for many renamed files (old path, new path) in one transaction.
    void filesMoved(const QList<QPair<QString, QString>> &moves);

    // Set-based forms for long runs, each one transaction that changes all or nothing.
    // Appends the tracks in order; with skipExisting a track already in the
    // playlist (or earlier in trackIds) is left out. Returns how many were added.
    int addTracksToPlaylist(qint64 playlistId, const QList<qint64> &trackIds, bool skipExisting);
    // deleteTrack for every reference.
    void deleteTracks(const QList<TrackRef> &refs);
    // Puts removed entries back into their playlists, each with its old id at
    // its old position. Throws LibraryError when a playlist is smart or gone,
    // a track is gone, or an entry's id is in use.
    void restoreEntries(const QList<QPair<qint64, PlaylistEntry>> &entries);

    // The tracks as they stand now, in the order of ids. Throws LibraryError
    // when one of them no longer exists.
    QList<SavedTrack> savedTracks(const QList<qint64> &trackIds) const;
    // Brings a saved track back: its id when free, else a new one (returned),
    // its columns (those this library still has), its entries with their ids
    // when free, at their positions, and its place in the selection when free.
    // Entries of playlists that are gone or smart are left out.
    qint64 restoreTrack(const SavedTrack &saved);
    bool trackExists(qint64 trackId) const;

    // How long a statement waits for another writer before it fails as locked
    // (5 s unless changed); for this thread's connection and those opened later.
    void setBusyTimeout(int milliseconds);

    // The stored entries of a plain playlist in order.
    QList<PlaylistEntry> entriesOf(qint64 playlistId) const;
    // Whether the playlist still has this entry of this track.
    bool hasEntry(qint64 playlistId, const PlaylistEntry &entry) const;
    // The highest entry id in use; entries made later have higher ones.
    qint64 lastEntryId() const;
    // The playlist's entries whose ids are above afterEntryId, by id, at most limit of them.
    QList<PlaylistEntry> entriesAfter(qint64 playlistId, qint64 afterEntryId, int limit) const;
    // The position of each entry refs name; 0 for one that is gone.
    QList<qint64> entryPositions(const QList<TrackRef> &refs) const;

    // The rule of a smart playlist; nothing for a plain one.
    std::optional<SmartRule> smartRule(qint64 playlistId) const;

    // While a Batch lives, everything this thread does with the library is
    // one write transaction: no other writer can change what a check read
    // before the changes it allowed are made. Destroyed without commit(),
    // it undoes them all. Within a batch the methods' own transactions join it.
    class Batch {
    public:
        Batch(const MusicLibrary &library, const QString &purpose);
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;
        void commit();

    private:
        std::unique_ptr<sqlite::Transaction> transaction_;
    };

    // The tracks of a playlist (or of the selection) with their properties,
    // as tracksOf and selection give them, read a page at a time so that a
    // long list never stands in memory whole. The pager holds one read
    // transaction on this thread's connection from its making to its end:
    // every page, and every other read the thread makes meanwhile, sees the
    // library as it stood when the pager was made, whatever other threads or
    // processes write. Used on the thread that made it; only reads may run
    // while it lives. Throws LibraryError as the reads do.
    class TrackPager {
    public:
        // playlistId 0 pages the selection.
        TrackPager(const MusicLibrary &library, qint64 playlistId, QStringList keys);
        // Every track of the library, reached through the library, in the
        // order allTracks gives.
        struct WholeLibrary {};
        TrackPager(const MusicLibrary &library, WholeLibrary, QStringList keys);
        ~TrackPager();
        TrackPager(const TrackPager &) = delete;
        TrackPager &operator=(const TrackPager &) = delete;

        // How many tracks the pages hold in all.
        qsizetype size() const { return size_; }
        // The next at most `count` tracks; empty once all were given.
        TrackRows next(qsizetype count);

    private:
        TrackRows nextOfLibrary(qsizetype count);

        const MusicLibrary &library_;
        std::unique_ptr<sqlite::ReadTransaction> read_;
        qint64 playlistId_;
        QStringList keys_;
        qsizetype size_ = 0;
        qsizetype given_ = 0;
        // Smart playlists and the selection are listed first, then read by id.
        std::optional<QList<TrackRef>> listed_;
        // Where the last page of a plain playlist ended: its entry's order
        // (for the whole library: the last track's id).
        qint64 lastPosition_;
        qint64 lastEntry_;
        bool wholeLibrary_ = false;
        // Whether the files of the last few locations read are there.
        QHash<QString, bool> live_;
    };

private:
    struct Connection;
    struct Registry;
    Connection &connection() const;
    static std::unordered_map<quint64, std::shared_ptr<Connection>> &threadConnections();

    QString path_;
    quint64 serial_;
    std::atomic<int> busyTimeoutMs_{5000};
    std::shared_ptr<Registry> registry_;
};
