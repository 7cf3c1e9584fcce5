// SPDX-License-Identifier: GPL-3.0-or-later
#include "reviewtablemodel.h"

#include "operations/changesmodel.h"
#include "support/textutils.h"

#include <QApplication>
#include <QDebug>
#include <QPoint>
#include <QStyle>

ReviewTableModel::ReviewTableModel(ChangesModel *changes, QObject *parent)
    : QAbstractTableModel(parent), changes_(changes)
{
    connect(changes, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        beginResetModel();
        filePaths_.clear();
    });
    connect(changes, &QAbstractItemModel::modelReset, this, &ReviewTableModel::endResetModel);
    connect(changes, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                emit dataChanged(index(from.row(), from.column()), index(to.row(), to.column()), roles);
            });
}

ReviewTableModel::Spans ReviewTableModel::changedSpans(const QString &oldText, const QString &newText)
{
    const qsizetype shorter = std::min(oldText.size(), newText.size());
    qsizetype start = 0;
    while (start < shorter && oldText.at(start) == newText.at(start))
        ++start;
    if (start > 0 && oldText.at(start - 1).isHighSurrogate())
        --start;
    qsizetype end = 0; // equal code units at the end, not reaching into the start
    while (end < shorter - start && oldText.at(oldText.size() - 1 - end) == newText.at(newText.size() - 1 - end))
        ++end;
    if (end > 0 && oldText.at(oldText.size() - end).isLowSurrogate())
        --end;
    return {start, oldText.size() - start - end, newText.size() - start - end};
}

int ReviewTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : changes_->rowCount();
}

int ReviewTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ReviewTableModel::filePath(int row) const
{
    if (auto found = filePaths_.constFind(row); found != filePaths_.cend())
        return *found;
    const QString path = text::escapedControls(changefiles::pathOf(changes_->changeList()->records.at(row)),
                                               text::ControlStyle::Window);
    filePaths_.insert(row, path);
    return path;
}

QVariant ReviewTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int column = index.column();
    if (column == FileColumn) {
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == SortRole)
            return filePath(index.row());
        return {};
    }
    // A row the save would refuse carries a warning by its check box.
    if (role == Qt::DecorationRole && column == ChangesModel::CheckColumn) {
        if (changes_->changeList()->records.at(index.row()).refusal.isEmpty())
            return {};
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    }
    const QModelIndex source = changes_->index(index.row(), column);
    if (role == SortRole)
        return column == ChangesModel::CheckColumn ? source.data(Qt::CheckStateRole) : source.data();
    if (role == ChangedSpanRole && (column == ChangesModel::OldColumn || column == ChangesModel::NewColumn)) {
        const Spans spans = changedSpans(changes_->index(index.row(), ChangesModel::OldColumn).data().toString(),
                                         changes_->index(index.row(), ChangesModel::NewColumn).data().toString());
        return QPoint(int(spans.start), int(column == ChangesModel::OldColumn ? spans.oldLength : spans.newLength));
    }
    // Why a record came unchecked (an undo's file that is gone, a value changed
    // since) stands in its row, as the command line prints it under the row.
    if (const QString &note = changes_->changeList()->records.at(index.row()).note; !note.isEmpty()) {
        const QString shown = text::escapedControls(note, text::ControlStyle::Window);
        if (role == Qt::DisplayRole && column == ChangesModel::TitleColumn)
            return QStringLiteral("%1 (%2)").arg(source.data(role).toString(), shown);
        if (role == Qt::ToolTipRole)
            return shown;
        if (role == Qt::DecorationRole && column == ChangesModel::TitleColumn)
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    }
    return source.data(role);
}

bool ReviewTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() == FileColumn)
        return false;
    return changes_->setData(changes_->index(index.row(), index.column()), value, role);
}

Qt::ItemFlags ReviewTableModel::flags(const QModelIndex &index) const
{
    if (index.isValid() && index.column() == FileColumn)
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    return changes_->flags(changes_->index(index.row(), index.column()));
}

QVariant ReviewTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == FileColumn)
        return role == Qt::DisplayRole ? QVariant(tr("File")) : QVariant();
    return changes_->headerData(section, orientation, role);
}
