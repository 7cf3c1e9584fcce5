// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QThreadPool>
#include <QVariantList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class CoverThumbnails;
class MusicLibrary;
class PendingEdits;
struct PendingTrack;

// One row of the track table: its values by column, and where its file is.
struct SourceTrack {
    QVariantList values; // one per column; invalid when absent
    QString path;        // the file, or a library track's stored location; empty for a stream
    bool dead = false;   // a library track whose file is gone
    qint64 trackId = 0;  // the library track; 0 for a file
};

// The tracks of the current source as the window's track table shows them.
// Reading runs on a thread of its own (TagLib for a folder, the library's
// own connection for that thread for a playlist or the selection); rows
// arrive on the main loop in batches as they are read, the first ones at
// once. Starting another load, or destroying the model, stops a load still
// running. Main thread only.
class SourceTracksModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        TitleColumn,
        ArtistColumn,
        AlbumColumn,
        AlbumArtistColumn,
        GenreColumn,
        YearColumn,
        TrackColumn,
        DiscColumn,
        FileColumn,
        PlayCountColumn,
        RatingColumn,
        CoverColumn, // a thumbnail, no value
        ColumnCount
    };
    // The value to sort by: numbers as numbers, texts as they are.
    static constexpr int SortRole = Qt::UserRole;
    static constexpr int DeadRole = Qt::UserRole + 1;
    // Whether the cell shows a value typed in and not yet saved.
    static constexpr int PendingRole = Qt::UserRole + 2;

    explicit SourceTracksModel(QObject *parent = nullptr);
    ~SourceTracksModel() override;

    // Every music file below the folder, in the order the file system lists them.
    void loadFolder(const QString &folder);
    // A playlist's tracks, or the library's selection when playlistId is empty.
    void loadLibrary(std::shared_ptr<MusicLibrary> library, std::optional<qint64> playlistId);
    // No rows and no load; problem (may be empty) says why.
    void clear(const QString &problem = {});

    bool isLoading() const { return loading_; }
    // Whether the rows are library tracks (play count and rating mean something).
    bool isLibrarySource() const { return librarySource_; }
    // Why the last load gave no rows or stopped; empty when it did not.
    const QString &problem() const { return problem_; }
    const SourceTrack &track(int row) const { return rows_.at(row); }
    static PendingTrack pendingTrack(const SourceTrack &track);

    // Cells show these values until they are saved or dropped; editable
    // cells are those of a column with a key (a dead track's too: its row
    // in the library takes the value). The model sends no dataChanged when
    // they change: the view is repainted instead, since telling a proxy of
    // a hundred thousand rows that each changed took longer than the edit
    // (and an edited row is not filtered or sorted away while worked on).
    void setPendingEdits(const PendingEdits *pending);

    // Where the "Cover" column's thumbnails come from; none without.
    void setThumbnails(CoverThumbnails *thumbnails);

    // The catalogue key of a column; empty for the file name and the cover.
    static QString columnKey(int column);

    static QString columnTitle(int column);
    static bool isNumberColumn(int column);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // A load started or ended (isLoading tells which); rows arrive in between.
    void loadingChanged();

private:
    class Reader;
    using ReadFunction = std::function<void(Reader &reader)>;
    void start(bool librarySource, ReadFunction read);
    void stop();
    void append(int generation, QList<SourceTrack> rows);
    void finish(int generation, const QString &problem);

    std::optional<QString> pendingValue(const SourceTrack &row, int column) const;

    QList<SourceTrack> rows_;
    QPointer<const PendingEdits> pending_;
    QPointer<CoverThumbnails> thumbnails_;
    bool loading_ = false;
    bool librarySource_ = false;
    QString problem_;
    // Bumped by every load and by stop: a reader whose number is no longer
    // current stops, and rows it posted before it saw that are dropped.
    std::shared_ptr<std::atomic<int>> generation_;
    QThreadPool pool_;
};
