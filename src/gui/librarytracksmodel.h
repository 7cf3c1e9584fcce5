// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/trackref.h"

#include <QAbstractTableModel>
#include <QList>
#include <QVariantHash>

class MusicLibrary;

// The tracks of one playlist (or of the whole library) for the library
// browser, read with one query when loaded, in the order and with the
// filter the browser last chose. Dead tracks (their file is gone) are
// marked. Main thread only.
class LibraryTracksModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TitleColumn, ArtistColumn, AlbumColumn, GenreColumn, YearColumn, TimeColumn, ColumnCount };

    explicit LibraryTracksModel(QObject *parent = nullptr);

    // playlistId 0 shows every track of the library. Throws LibraryError.
    void load(MusicLibrary &library, qint64 playlistId);
    void clear();

    const TrackRef &ref(int row) const { return refs_.at(row); }
    bool isDead(int row) const { return dead_.at(row); }

    // Column -1 gives back the playlist's own order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // Shows only the tracks with this text (any case) in one of their columns; all when empty.
    void setFilter(const QString &text);
    int loadedCount() const { return static_cast<int>(allRefs_.size()); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // Fills the shown rows from the loaded ones, filtered and sorted.
    void arrange();

    QList<TrackRef> allRefs_;
    QList<QVariantHash> allValues_;
    QList<bool> allDead_;
    QString filter_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    // The rows shown.
    QList<TrackRef> refs_;
    QList<QVariantHash> values_;
    QList<bool> dead_;
};
