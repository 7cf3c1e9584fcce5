// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/trackref.h"
#include "files/tagvalue.h"
#include "trackvalues.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantHash>
#include <memory>
#include <optional>
#include <variant>

class MusicLibrary;
class WindowPort;
struct TrackList;

// One track to operate on: a library track or a music file. A tag value is a
// QVariant: invalid means absent, otherwise a QString or a number. Every read
// and write goes to the library or to the file, except valuesInOrder's.
//
// Refused keys show the "Unsupported Tag" alert on the port the track was made
// with (waiting for the person when called from a worker) and then throw
// NamedException("Unsupported Tag", text); without a port they only throw.
// Library failures throw LibraryError; file write failures throw FileError.
class MusicTrack {
public:
    MusicTrack() = default;
    static MusicTrack withTrack(std::shared_ptr<MusicLibrary> library, TrackRef ref,
                                WindowPort *port = nullptr);                // initWithTrack
    static MusicTrack withPath(QString path, WindowPort *port = nullptr); // initWithPath
    // A music file a folder listing has just found; its reads open it with
    // fewer looks (see filetags::readInOrder).
    static MusicTrack listedFile(QString path, WindowPort *port = nullptr);

    bool isLibraryTrack() const { return std::holds_alternative<TrackRef>(where_); }
    // The library track; null for a music file.
    const TrackRef *track() const { return std::get_if<TrackRef>(&where_); }
    // The music file's path; empty for a library track.
    const QString &path() const;
    const std::shared_ptr<MusicLibrary> &library() const { return library_; }

    QVariant valueForTag(const QString &key) const;
    void setTag(const QString &key, const QVariant &value) const;

    // The values of several keys with one open of the file (one query for a
    // library track). Same values and refusals as valueForTag key by key: the
    // first refused key (in the order given) refuses the whole read.
    QVariantHash valuesForTags(const QStringList &keys) const;
    // The same as a row in the keys' order; a file track's row names the file
    // it was read from, when one was opened. A file's values come from the
    // tag cache when its entry still stands for the file (library/tagcache.h):
    // for showing and planning, never for the check before a write.
    // With SaveLook::Check a file track's row also tells why a save would
    // refuse its file, looked at with the same open (or kept with its entry).
    enum class SaveLook { Skip, Check };
    TrackValues valuesInOrder(const QStringList &keys, SaveLook look = SaveLook::Skip) const;

    // valuesForTags for many tracks, in their order. Library tracks of one
    // library are read together with one query, so a long playlist costs one
    // round trip instead of one per track; file tracks are opened one by one.
    // Throws as valuesForTags does, for the first track that fails.
    static QList<TrackValues> valuesForTracks(const QList<MusicTrack> &tracks, const QStringList &keys);

    // The tracks of a library playlist (of the selection) with their values
    // of keys, all read with one query. Throws LibraryError as propertyRows does.
    static TrackList playlistTracks(const std::shared_ptr<MusicLibrary> &library, qint64 playlistId,
                                    const QStringList &keys, WindowPort *port = nullptr);
    static TrackList selectedTracks(const std::shared_ptr<MusicLibrary> &library, const QStringList &keys,
                                    WindowPort *port = nullptr);
    // Whether reading these keys of a library track looks at its file: "cover"
    // searches it for a picture, "location" checks that it is still there.
    static bool readsFiles(const QStringList &keys);
    // Whether pages of these keys (LibraryTrackPages with filesLater) leave
    // file work in their values for completeFileValues: "cover" does.
    static bool leavesFileValues(const QStringList &keys);
    // Completes values that a page left for later (a search of the track's
    // file for a picture); a no-op for complete ones. Touches no library, so
    // a walk may run it on any thread, one track per task.
    static void completeFileValues(TrackValues &values);

    // The apply engine's verified write: reads the keys of expected and, when
    // every current value matches (see TagExpectations), writes key = value.
    // For a file track the reads and the write share one open of the file.
    // Returns false, writing nothing, when a value differs. Refuses like
    // valueForTag for the expected keys and like setTag for key.
    bool setTagIfUnchanged(const QString &key, const QVariant &value, const TagExpectations &expected) const;

    // What a library track's write leaves for the library's rows once its
    // file (if any) took the value.
    struct RowWrite {
        QString key;   // the library's key
        QVariant value;
        QString file;  // null: the track's row alone; else every track of this file
        QString stampBefore, stampAfter;
    };
    // setTagIfUnchanged of a library track in two halves, so that the files of
    // many tracks can be written at once while their rows are stored in the
    // run's order: writeFileIfUnchanged checks the track's values and writes
    // its file (any thread: the library gives each its own connection, and
    // this only reads it); storeRow then stores the row on the run's thread.
    // Nothing, writing nothing, when a value differs. Refuses and throws as
    // setTagIfUnchanged does.
    std::optional<RowWrite> writeFileIfUnchanged(const QString &key, const QVariant &value,
                                                 const TagExpectations &expected) const;
    void storeRow(const RowWrite &write) const;

    // Whether a library track's file holds this library key: the library
    // writes such keys to the file first, and to the row only once the file
    // took them (or when the track is dead).
    static bool fileHolds(const QString &libraryKey);
    // Whether the library's rows keep the file's value of this key too, so
    // that a write to the file is followed in them: not its pictures, nor a
    // raw field of its tags.
    static bool rowKeeps(const QString &libraryKey);

    // Convenience reads; a null QString when absent.
    QString title() const;
    QString artist() const;
    QString album() const;
    QString location() const;

private:
    // A library track's write of key goes to the file first, then to the row
    // and every other track of that file. Throws FileError, changing neither,
    // when the file cannot take it or was changed outside meanwhile.
    // The file half of it: what the rows then get.
    RowWrite writeFile(const QString &key, const QVariant &value) const;

    std::shared_ptr<MusicLibrary> library_;
    WindowPort *port_ = nullptr; // where refusals are shown; outlives the track
    // A file a folder listing found: the listing's own word that it is one.
    struct ListedFile {
        QString path;
    };
    // A track is either in the library or a file, never both: one place
    // keeps a change list of a million tracks smaller.
    std::variant<QString, ListedFile, TrackRef> where_;
};
// A list of tracks grows by moving its memory: neither the library pointer
// (std::shared_ptr, two plain pointers), the reference nor the path points
// into the track itself.
Q_DECLARE_TYPEINFO(MusicTrack, Q_RELOCATABLE_TYPE);

// Tracks to walk, with their values when they were read together with the
// list: values is then parallel to tracks, else empty.
struct TrackList {
    QList<MusicTrack> tracks;
    QList<TrackValues> values;
};

// The tracks of a library playlist (of the selection, for playlist 0) with
// their values of keys, as playlistTracks gives them but a page at a time:
// a long playlist is never in memory whole. All pages are read inside one
// read transaction of the library on this thread, held while this lives
// (see MusicLibrary::TrackPager): only reads may run meanwhile. Throws
// LibraryError as the reads do. With filesLater, values that need the
// track's file are left for MusicTrack::completeFileValues.
class LibraryTrackPages {
public:
    LibraryTrackPages(std::shared_ptr<MusicLibrary> library, qint64 playlistId, QStringList keys,
                      WindowPort *port = nullptr, bool filesLater = false);
    ~LibraryTrackPages();
    LibraryTrackPages(LibraryTrackPages &&) noexcept;
    LibraryTrackPages &operator=(LibraryTrackPages &&) noexcept;

    qsizetype size() const;
    // The next at most count tracks with their values; empty once all were given.
    TrackList next(qsizetype count);

private:
    struct Pager;
    std::unique_ptr<Pager> pager_;
};
