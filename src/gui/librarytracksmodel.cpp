// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarytracksmodel.h"

#include "library/musiclibrary.h"
#include "support/textutils.h"

namespace {

const char *const columnKeys[LibraryTracksModel::ColumnCount] = {"name", "artist", "album", "genre", "year", "duration"};
const char *const columnTitles[LibraryTracksModel::ColumnCount] = {"Title", "Artist", "Album", "Genre", "Year", "Time"};

QString minutesAndSeconds(double seconds)
{
    const int whole = static_cast<int>(seconds + 0.5);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

LibraryTracksModel::LibraryTracksModel(QObject *parent) : QAbstractTableModel(parent) {}

void LibraryTracksModel::load(MusicLibrary &library, qint64 playlistId)
{
    QList<TrackRef> refs = playlistId == 0 ? library.allTracks() : library.tracksOf(playlistId);
    QStringList keys;
    for (const char *key : columnKeys)
        keys << QString::fromLatin1(key);
    QList<QVariantHash> values = library.properties(refs, keys);
    beginResetModel();
    refs_ = std::move(refs);
    values_ = std::move(values);
    endResetModel();
}

void LibraryTracksModel::clear()
{
    beginResetModel();
    refs_.clear();
    values_.clear();
    endResetModel();
}

int LibraryTracksModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(refs_.size());
}

int LibraryTracksModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LibraryTracksModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= values_.size() || index.column() >= ColumnCount)
        return {};
    const QVariant value = values_.at(index.row()).value(QString::fromLatin1(columnKeys[index.column()]));
    if (role == Qt::TextAlignmentRole && (index.column() == YearColumn || index.column() == TimeColumn))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (!value.isValid())
        return {};
    if (index.column() == TimeColumn)
        return minutesAndSeconds(value.toDouble());
    // A control or bidi character in a tag shows as a symbol, so it can
    // neither hide nor reorder the text around it.
    return text::escapedControls(value.toString(), text::ControlStyle::Window);
}

QVariant LibraryTracksModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return tr(columnTitles[section]);
}
