// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarytracksmodel.h"

#include "library/musiclibrary.h"
#include "support/textutils.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QStyle>
#include <algorithm>
#include <numeric>

namespace {

const char *const columnKeys[LibraryTracksModel::ColumnCount] = {"name", "artist", "album", "genre", "year", "duration"};
const char *const columnTitles[LibraryTracksModel::ColumnCount] = {"Title", "Artist", "Album", "Genre", "Year", "Time"};

QString minutesAndSeconds(double seconds)
{
    const int whole = static_cast<int>(seconds + 0.5);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

// The text a cell shows.
QString shownText(const QVariantHash &values, int column)
{
    const QVariant value = values.value(QString::fromLatin1(columnKeys[column]));
    if (!value.isValid())
        return {};
    if (column == LibraryTracksModel::TimeColumn)
        return minutesAndSeconds(value.toDouble());
    // A control or bidi character in a tag shows as a symbol, so it can
    // neither hide nor reorder the text around it.
    return text::escapedControls(value.toString(), text::ControlStyle::Window);
}

const QString locationKey = QStringLiteral("location");

} // namespace

LibraryTracksModel::LibraryTracksModel(QObject *parent) : QAbstractTableModel(parent) {}

void LibraryTracksModel::load(MusicLibrary &library, qint64 playlistId)
{
    QList<TrackRef> refs = playlistId == 0 ? library.allTracks() : library.tracksOf(playlistId);
    QStringList keys;
    for (const char *key : columnKeys)
        keys << QString::fromLatin1(key);
    keys << locationKey;
    QList<QVariantHash> values = library.properties(refs, keys);
    // No live location: a stream, or a file track whose file is gone (only those have a stored one).
    QList<bool> dead(refs.size(), false);
    for (qsizetype row = 0; row < refs.size(); ++row) {
        if (values.at(row).value(locationKey).toString().isEmpty()) {
            const QString stored = library.storedLocation(refs.at(row));
            dead[row] = !stored.isNull();
            values[row].insert(locationKey, stored);
        }
    }
    beginResetModel();
    allRefs_ = std::move(refs);
    allValues_ = std::move(values);
    allDead_ = std::move(dead);
    arrange();
    endResetModel();
}

void LibraryTracksModel::clear()
{
    beginResetModel();
    allRefs_.clear();
    allValues_.clear();
    allDead_.clear();
    arrange();
    endResetModel();
}

void LibraryTracksModel::sort(int column, Qt::SortOrder order)
{
    if (column == sortColumn_ && order == sortOrder_)
        return;
    sortColumn_ = column >= 0 && column < ColumnCount ? column : -1;
    sortOrder_ = order;
    beginResetModel();
    arrange();
    endResetModel();
}

void LibraryTracksModel::setFilter(const QString &text)
{
    if (text == filter_)
        return;
    filter_ = text;
    beginResetModel();
    arrange();
    endResetModel();
}

void LibraryTracksModel::arrange()
{
    QList<qsizetype> rows;
    rows.reserve(allRefs_.size());
    for (qsizetype row = 0; row < allRefs_.size(); ++row) {
        bool match = filter_.isEmpty();
        for (int column = 0; !match && column < ColumnCount; ++column)
            match = shownText(allValues_.at(row), column).contains(filter_, Qt::CaseInsensitive);
        if (match)
            rows << row;
    }
    if (sortColumn_ >= 0) {
        const QString key = QString::fromLatin1(columnKeys[sortColumn_]);
        const bool text = sortColumn_ < YearColumn;
        // Absent values go last whichever way the column is sorted.
        const auto before = [&](qsizetype a, qsizetype b) {
            const QVariant &x = allValues_.at(a).value(key);
            const QVariant &y = allValues_.at(b).value(key);
            if (!x.isValid() || !y.isValid())
                return x.isValid() && !y.isValid();
            const int order = text ? x.toString().compare(y.toString(), Qt::CaseInsensitive)
                                   : (x.toDouble() < y.toDouble() ? -1 : x.toDouble() > y.toDouble() ? 1 : 0);
            return sortOrder_ == Qt::AscendingOrder ? order < 0 : order > 0;
        };
        std::stable_sort(rows.begin(), rows.end(), before);
    }
    refs_.clear();
    values_.clear();
    dead_.clear();
    for (qsizetype row : rows) {
        refs_ << allRefs_.at(row);
        values_ << allValues_.at(row);
        dead_ << allDead_.at(row);
    }
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
    if (dead_.at(index.row())) {
        if (role == Qt::ForegroundRole)
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        if (role == Qt::DecorationRole && index.column() == TitleColumn)
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        if (role == Qt::ToolTipRole)
            return tr("Dead track: its file %1 is missing")
                .arg(QDir::toNativeSeparators(values_.at(index.row()).value(locationKey).toString()));
    }
    const QVariant value = values_.at(index.row()).value(QString::fromLatin1(columnKeys[index.column()]));
    if (role == Qt::TextAlignmentRole && (index.column() == YearColumn || index.column() == TimeColumn))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (!value.isValid())
        return {};
    return shownText(values_.at(index.row()), index.column());
}

QVariant LibraryTracksModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return tr(columnTitles[section]);
}
