// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/trackref.h"

#include <QAbstractTableModel>
#include <QList>
#include <QVariantHash>

class MusicLibrary;

// The tracks of one playlist (or of the whole library) for the library
// browser, read with one query when loaded. Main thread only.
class LibraryTracksModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TitleColumn, ArtistColumn, AlbumColumn, GenreColumn, YearColumn, TimeColumn, ColumnCount };

    explicit LibraryTracksModel(QObject *parent = nullptr);

    // playlistId 0 shows every track of the library. Throws LibraryError.
    void load(MusicLibrary &library, qint64 playlistId);
    void clear();

    const TrackRef &ref(int row) const { return refs_.at(row); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<TrackRef> refs_;
    QList<QVariantHash> values_;
};
