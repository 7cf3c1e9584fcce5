// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/edittags.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// A track as the window knows it: a library track by its id, a folder's file
// by its path. A library track's path is carried along (its file, for
// checks) but does not tell it apart.
struct PendingTrack {
    qint64 trackId = 0;
    QString path;

    bool operator==(const PendingTrack &other) const
    {
        return trackId != 0 || other.trackId != 0 ? trackId == other.trackId : path == other.path;
    }
};

size_t qHash(const PendingTrack &track, size_t seed = 0);

// The values typed into the window and not yet saved: one per track and key,
// the later typing winning. A value is checked when it is typed, so whatever
// is pending can be saved. One per main window, owned by it. Main thread only.
class PendingEdits : public QObject {
    Q_OBJECT
public:
    // Why a track cannot take key's value (its file's tags have no room for
    // it); nothing when it can. Asked once per track for every put.
    using TrackCheck =
        std::function<std::optional<QString>(const PendingTrack &track, const QString &key, const QString &value)>;

    explicit PendingEdits(QObject *parent = nullptr);

    // key: a catalogue key, or whatever other field name editRefusal accepts,
    // passed through as it is; value: the text typed, the empty text removes
    // the field. Returns the refusal (tools::editRefusal's, or the check's for
    // the first track refused) and then leaves nothing pending for this put.
    std::optional<QString> put(const QList<PendingTrack> &tracks, const QString &key, const QString &value);
    // The pending value of the track's key, as it will be saved.
    std::optional<QString> valueFor(const PendingTrack &track, const QString &key) const;
    // Whether any key of the track is pending.
    bool contains(const PendingTrack &track) const;
    // Pending (track, key) values.
    qsizetype count() const { return count_; }
    bool isEmpty() const { return count_ == 0; }
    // Every track with a pending value.
    QList<PendingTrack> tracks() const;
    void clear();
    // Drops what is pending for the tracks (after a save, the saved ones).
    void forget(const QList<PendingTrack> &tracks);
    // What the "Edit Tags" run saves: one edit per key and value, naming its
    // tracks, keys in the order first typed.
    QList<tools::TagEdit> edits() const;

    void setTrackCheck(TrackCheck check) { check_ = std::move(check); }

signals:
    void changed();

private:
    QStringList keys_; // in the order first typed
    QHash<QString, QHash<PendingTrack, QString>> values_;
    qsizetype count_ = 0;
    TrackCheck check_;
};
