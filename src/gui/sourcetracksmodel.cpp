// SPDX-License-Identifier: GPL-3.0-or-later
#include "sourcetracksmodel.h"

#include "coverthumbnails.h"
#include "pendingedits.h"

#include "library/musiclibrary.h"
#include "library/tagcache.h"
#include "files/musicfiles.h"
#include "support/namedexception.h"
#include "support/textutils.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QStyle>

namespace {

// The keys behind the columns, in column order; the file name has none.
const char *const columnKeys[SourceTracksModel::ColumnCount] = {
    "name", "artist", "album", "albumArtist", "genre", "year", "trackNumber", "discNumber", nullptr, "playedCount", "rating", nullptr};
const char *const columnTitles[SourceTracksModel::ColumnCount] = {
    "Title", "Artist", "Album", "Album Artist", "Genre", "Year", "Track", "Disc", "File Name", "Play Count", "Rating", "Cover"};

QString fileName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// A rating of 0-100 as five stars, 20 to a star.
QString stars(const QVariant &rating)
{
    if (!rating.isValid())
        return {};
    const int filled = std::clamp(int((rating.toLongLong() + 10) / 20), 0, 5);
    if (filled == 0)
        return {};
    return QString(filled, QChar(0x2605)) + QString(5 - filled, QChar(0x2606));
}

} // namespace

// The worker's side of one load: rows go to the main loop in batches that
// grow from a few (so the first rows show at once) to a few hundred (so a
// long source costs the main loop few insertions, none of them long), and at
// least every tenth of a second while reading is slow.
class SourceTracksModel::Reader {
public:
    Reader(SourceTracksModel *model, int generation, std::shared_ptr<std::atomic<int>> current)
        : model_(model), generation_(generation), current_(std::move(current))
    {
        sinceFlush_.start();
    }

    bool stopped() const { return current_->load(std::memory_order_relaxed) != generation_; }

    void add(SourceTrack row)
    {
        pending_.append(std::move(row));
        if (pending_.size() >= batch_ || sinceFlush_.elapsed() >= 100)
            flush();
    }

    void flush()
    {
        if (!pending_.isEmpty()) {
            QMetaObject::invokeMethod(
                model_, [model = model_, generation = generation_, rows = pending_] { model->append(generation, rows); },
                Qt::QueuedConnection);
            pending_.clear();
            // 25, then 75 (a hundred shown), then doubling up to a size the
            // main loop inserts well within a frame.
            batch_ = batch_ == 25 ? 75 : std::min<qsizetype>(batch_ * 2, 500);
        }
        sinceFlush_.restart();
    }

private:
    SourceTracksModel *model_;
    int generation_;
    std::shared_ptr<std::atomic<int>> current_;
    QList<SourceTrack> pending_;
    qsizetype batch_ = 25;
    QElapsedTimer sinceFlush_;
};

SourceTracksModel::SourceTracksModel(QObject *parent)
    : QAbstractTableModel(parent), generation_(std::make_shared<std::atomic<int>>(0))
{
    // One reader at a time: a new load waits for the one it stopped.
    pool_.setMaxThreadCount(1);
}

SourceTracksModel::~SourceTracksModel()
{
    stop();
    pool_.waitForDone();
}

void SourceTracksModel::stop()
{
    ++*generation_;
}

void SourceTracksModel::start(bool librarySource, ReadFunction read)
{
    stop();
    beginResetModel();
    rows_.clear();
    librarySource_ = librarySource;
    problem_.clear();
    loading_ = true;
    // Read again after a run or another program's change: the files may hold other pictures now.
    if (thumbnails_)
        thumbnails_->recheck();
    endResetModel();
    emit loadingChanged();
    const int generation = generation_->load();
    pool_.start([this, generation, current = generation_, read = std::move(read)] {
        Reader reader(this, generation, current);
        if (reader.stopped())
            return;
        QString problem;
        try {
            read(reader);
        } catch (const NamedException &e) {
            problem = e.reason();
        } catch (const std::exception &e) {
            problem = QString::fromUtf8(e.what());
        }
        reader.flush();
        QMetaObject::invokeMethod(
            this, [this, generation, problem] { finish(generation, problem); }, Qt::QueuedConnection);
    });
}

void SourceTracksModel::loadFolder(const QString &folder)
{
    start(false, [folder](Reader &reader) {
        if (const QString vanished = musicfiles::vanishedFolderMessage(folder); !vanished.isEmpty())
            throw NamedException(QStringLiteral("No Folder"), vanished);
        const QStringList paths = musicfiles::musicFilesBelow(folder);
        if (paths.isEmpty())
            throw NamedException(QStringLiteral("No Files"),
                                 QStringLiteral("The folder you have selected doesn't seem to contain music files."));
        for (const QString &path : paths) {
            if (reader.stopped())
                return;
            const QVariantHash tags = tagcache::readListing(path);
            SourceTrack row;
            row.values.reserve(CoverColumn);
            for (int c = 0; c < CoverColumn; ++c)
                row.values.append(columnKeys[c] ? tags.value(QLatin1String(columnKeys[c])) : QVariant(fileName(path)));
            row.path = path;
            reader.add(std::move(row));
        }
        tagcache::flush();
    });
}

void SourceTracksModel::loadLibrary(std::shared_ptr<MusicLibrary> library, std::optional<qint64> playlistId)
{
    start(true, [library = std::move(library), playlistId](Reader &reader) {
        QStringList keys;
        for (int c = 0; c < CoverColumn; ++c)
            keys << QLatin1String(columnKeys[c] ? columnKeys[c] : "location");
        const TrackRows tracks = playlistId ? library->tracksOf(*playlistId, keys) : library->selection(keys);
        for (qsizetype i = 0; i < tracks.refs.size(); ++i) {
            if (reader.stopped())
                return;
            SourceTrack row;
            row.values = tracks.rows.at(i);
            row.trackId = tracks.refs.at(i).trackId;
            row.path = row.values.at(FileColumn).toString();
            // No live location: a stream, or a file track whose file is gone.
            if (row.path.isEmpty()) {
                row.path = library->storedLocation(tracks.refs.at(i));
                row.dead = !row.path.isNull();
            }
            row.values[FileColumn] = row.path.isEmpty() ? QVariant() : QVariant(fileName(row.path));
            reader.add(std::move(row));
        }
    });
}

void SourceTracksModel::clear(const QString &problem)
{
    stop();
    beginResetModel();
    rows_.clear();
    loading_ = false;
    problem_ = problem;
    endResetModel();
    emit loadingChanged();
}

void SourceTracksModel::append(int generation, QList<SourceTrack> rows)
{
    if (generation != generation_->load() || rows.isEmpty())
        return;
    beginInsertRows({}, int(rows_.size()), int(rows_.size() + rows.size() - 1));
    rows_.append(std::move(rows));
    endInsertRows();
}

void SourceTracksModel::finish(int generation, const QString &problem)
{
    if (generation != generation_->load())
        return;
    loading_ = false;
    problem_ = problem;
    emit loadingChanged();
}

QString SourceTracksModel::columnTitle(int column)
{
    return column >= 0 && column < ColumnCount ? tr(columnTitles[column]) : QString();
}

bool SourceTracksModel::isNumberColumn(int column)
{
    return column == YearColumn || column == TrackColumn || column == DiscColumn || column == PlayCountColumn ||
           column == RatingColumn;
}

QString SourceTracksModel::columnKey(int column)
{
    return column >= 0 && column < ColumnCount && columnKeys[column] ? QString::fromLatin1(columnKeys[column])
                                                                     : QString();
}

PendingTrack SourceTracksModel::pendingTrack(const SourceTrack &track)
{
    return PendingTrack{track.trackId, track.path};
}

void SourceTracksModel::setThumbnails(CoverThumbnails *thumbnails)
{
    thumbnails_ = thumbnails;
}

void SourceTracksModel::setPendingEdits(const PendingEdits *pending)
{
    pending_ = pending;
}

std::optional<QString> SourceTracksModel::pendingValue(const SourceTrack &row, int column) const
{
    if (!pending_ || pending_->isEmpty() || !columnKeys[column])
        return std::nullopt;
    // Made once: a hundred thousand cells are read for one edit of a column.
    static const QStringList keys = [] {
        QStringList all;
        for (int c = 0; c < ColumnCount; ++c)
            all << columnKey(c);
        return all;
    }();
    return pending_->valueFor(pendingTrack(row), keys.at(column));
}

Qt::ItemFlags SourceTracksModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() < ColumnCount && columnKeys[index.column()])
        flags |= Qt::ItemIsEditable;
    return flags;
}

int SourceTracksModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int SourceTracksModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SourceTracksModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= ColumnCount)
        return {};
    const SourceTrack &row = rows_.at(index.row());
    const int column = index.column();
    const std::optional<QString> pending =
        role == Qt::DisplayRole || role == Qt::EditRole || role == PendingRole || role == Qt::FontRole ||
                role == Qt::BackgroundRole
            ? pendingValue(row, column)
            : std::nullopt;
    const QVariant value = !pending ? row.values.value(column)
                           : pending->isEmpty()       ? QVariant()
                           : isNumberColumn(column)   ? QVariant(pending->toLongLong())
                                                      : QVariant(*pending);
    switch (role) {
    case Qt::EditRole:
        return value.isValid() ? value.toString() : QString();
    case PendingRole:
        return pending.has_value();
    case Qt::BackgroundRole:
        // A light tint that dark text reads on, in light and dark themes alike.
        return pending ? QVariant(QColor(0xff, 0xec, 0xa8)) : QVariant();
    case Qt::DisplayRole:
        if (column == RatingColumn)
            return stars(value);
        // A control or bidi character in a tag or a file name shows as a symbol,
        // so it can neither hide nor reorder the text around it.
        return value.userType() == QMetaType::QString
                   ? QVariant(text::escapedControls(value.toString(), text::ControlStyle::Window))
                   : value;
    case SortRole:
        return value;
    case DeadRole:
        return row.dead;
    case Qt::ToolTipRole: {
        const QString path = text::escapedControls(QDir::toNativeSeparators(row.path), text::ControlStyle::Window);
        if (row.dead)
            return tr("Dead track: its file %1 is missing").arg(path);
        return column == FileColumn ? QVariant(path) : data(index, Qt::DisplayRole);
    }
    case Qt::TextAlignmentRole:
        return isNumberColumn(column) ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case Qt::DecorationRole:
        if (column == CoverColumn && thumbnails_ && !row.dead && !row.path.isEmpty()) {
            const QPixmap thumbnail = thumbnails_->thumbnail(row.path);
            return thumbnail.isNull() ? QVariant() : QVariant(thumbnail);
        }
        if (row.dead && column == TitleColumn)
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        return {};
    case Qt::ForegroundRole:
        if (row.dead)
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        if (pendingValue(row, column))
            return QColor(Qt::black);
        return {};
    case Qt::FontRole:
        if (pending) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        if (row.dead && column == FileColumn) {
            QFont font;
            font.setStrikeOut(true);
            return font;
        }
        return {};
    default:
        return {};
    }
}

QVariant SourceTracksModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return columnTitle(section);
    if (role == Qt::TextAlignmentRole && isNumberColumn(section))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}
