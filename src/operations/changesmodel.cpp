// SPDX-License-Identifier: GPL-3.0-or-later
#include "changesmodel.h"

#include "library/musiclibrary.h"
#include "model/tagcatalogue.h"
#include "support/namedexception.h"
#include "support/textutils.h"

#include <QDebug>
#include <QFile>

#include <algorithm>

#include <sys/stat.h>

namespace changefiles {

FileIdentity fileOf(const ChangeRecord &record)
{
    struct stat st;
    if (record.track.isLibraryTrack() || ::stat(QFile::encodeName(record.track.path()).constData(), &st) != 0)
        return {};
    return {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
}

QString pathOf(const ChangeRecord &record)
{
    if (!record.track.isLibraryTrack())
        return record.track.path();
    try {
        return record.track.library() ? record.track.library()->storedLocation(*record.track.track()) : QString();
    } catch (const NamedException &e) {
        qWarning().noquote() << e.description();
        return {};
    }
}

FileWrite fileWrite(const ChangeRecord &record)
{
    return {fileOf(record), record.tagToChange};
}

size_t qHash(const FileWrite &write, size_t seed)
{
    return qHashMulti(seed, write.file.device, write.file.inode, write.key);
}

} // namespace changefiles

namespace {

// Each row whose file write an earlier row already makes under another name
// (a hard link), with that row. A record the collect read its file for
// brings the file along; the others' files are looked up.
QHash<int, int> sameFileRows(const ChangeList &list)
{
    QHash<int, int> same;
    if (list.playlist)
        return same;
    QHash<changefiles::FileWrite, int> firstRow;
    firstRow.reserve(list.records.size());
    for (int row = 0; row < list.records.size(); ++row) {
        const ChangeRecord &record = list.records.at(row);
        if (record.track.isLibraryTrack())
            continue;
        const changefiles::FileWrite write{record.file.known() ? record.file : changefiles::fileOf(record),
                                           record.tagToChange};
        if (!write.file.known())
            continue;
        if (const auto it = firstRow.constFind(write); it == firstRow.constEnd())
            firstRow.insert(write, row);
        else if (list.records.at(*it).track.path() != record.track.path())
            same.insert(row, *it);
    }
    return same;
}

} // namespace

ChangesModel::ChangesModel(QObject *parent) : QAbstractTableModel(parent) {}

QString ChangesModel::sameFileNote(int earlierRow)
{
    return QStringLiteral("same file as change %1").arg(earlierRow + 1);
}

QString ChangesModel::refusalNote(const QString &refusal)
{
    return QStringLiteral("%1; it cannot be written, and checked it stops the run there").arg(refusal);
}

void ChangesModel::setChangeList(std::shared_ptr<ChangeList> list)
{
    const bool wasMembership = list_ && list_->playlist;
    beginResetModel();
    list_ = std::move(list);
    sameFileAs_ = list_ ? sameFileRows(*list_) : QHash<int, int>();
    endResetModel();
    if (wasMembership != (list_ && list_->playlist))
        emit columnVisibilityChanged();
}

bool ChangesModel::isColumnVisible(int column) const
{
    if (column < 0 || column >= ColumnCount)
        return false;
    if (list_ && list_->playlist)
        return column != TagColumn && column != OldColumn && column != NewColumn;
    return true;
}

QList<int> ChangesModel::visibleColumns() const
{
    QList<int> columns;
    for (int c = 0; c < ColumnCount; ++c)
        if (isColumnVisible(c))
            columns << c;
    return columns;
}

void ChangesModel::setEnabled(const QList<int> &rows, bool enabled)
{
    if (!list_)
        return;
    int first = -1;
    int last = -1;
    for (int row : rows) {
        if (row < 0 || row >= list_->records.size())
            continue;
        list_->records[row].enabled = enabled;
        first = first < 0 ? row : std::min(first, row);
        last = std::max(last, row);
    }
    // One notification for the whole span keeps selecting thousands of rows cheap.
    if (first >= 0)
        emit dataChanged(index(first, CheckColumn), index(last, CheckColumn), {Qt::CheckStateRole});
}

int ChangesModel::enabledCount() const
{
    if (!list_)
        return 0;
    return static_cast<int>(std::count_if(list_->records.cbegin(), list_->records.cend(),
                                          [](const ChangeRecord &r) { return r.enabled; }));
}

int ChangesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !list_ ? 0 : static_cast<int>(list_->records.size());
}

int ChangesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const QString &ChangesModel::cellText(int row, int column) const
{
    static const QString none;
    if (!list_ || row < 0 || row >= list_->records.size())
        return none;
    const ChangeRecord &record = list_->records.at(row);
    switch (column) {
    case TitleColumn:
        return record.title;
    case ArtistColumn:
        return record.artist;
    case TagColumn:
        return TagCatalogue::displayName(record.tagToChange);
    case OldColumn:
        return record.oldTag;
    case NewColumn:
        return record.newTag;
    default:
        return none;
    }
}

QVariant ChangesModel::data(const QModelIndex &index, int role) const
{
    if (!list_ || !index.isValid() || index.row() >= list_->records.size())
        return {};
    const QString &refusal = list_->records.at(index.row()).refusal;
    if (index.column() == CheckColumn) {
        if (role == Qt::ToolTipRole && !refusal.isEmpty())
            return refusalNote(text::escapedControls(refusal, text::ControlStyle::Window));
        const bool enabled = list_->records.at(index.row()).enabled;
        return role == Qt::CheckStateRole ? QVariant(enabled ? Qt::Checked : Qt::Unchecked) : QVariant();
    }
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::EditRole) || index.column() < TitleColumn ||
        index.column() > NewColumn)
        return {};
    const QString &value = cellText(index.row(), index.column());
    if (role == Qt::EditRole)
        return index.column() == TagColumn ? list_->records.at(index.row()).tagToChange : value;
    // Shown, a control or bidi character in a tag becomes a visible symbol
    // instead of reordering or hiding the text around it.
    QString shown = text::escapedControls(value, text::ControlStyle::Window);
    // A second name of a file already written by an earlier row says so where the eye starts.
    if (index.column() == TitleColumn && sameFileAs_.contains(index.row()))
        shown += QStringLiteral(" (%1)").arg(sameFileNote(sameFileAs_.value(index.row())));
    // Wherever the pointer rests on a row the save would refuse, it says why.
    if (role == Qt::ToolTipRole && !refusal.isEmpty())
        shown += QLatin1Char('\n') + refusalNote(text::escapedControls(refusal, text::ControlStyle::Window));
    return shown;
}

bool ChangesModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!list_ || !index.isValid() || index.column() != CheckColumn || role != Qt::CheckStateRole ||
        index.row() >= list_->records.size())
        return false;
    list_->records[index.row()].enabled = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags ChangesModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == CheckColumn)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant ChangesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    switch (section) {
    case CheckColumn:
        return QString();
    case TitleColumn:
        return QStringLiteral("Title");
    case ArtistColumn:
        return QStringLiteral("Artist");
    case TagColumn:
        return QStringLiteral("Tag");
    case OldColumn:
        return QStringLiteral("Old Value");
    case NewColumn:
        return QStringLiteral("New Value");
    default:
        return {};
    }
}

#include "moc_changesmodel.cpp"
