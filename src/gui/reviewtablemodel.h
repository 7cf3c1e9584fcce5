// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>

class ChangesModel;

// The review sheet's view of the change list: the columns of ChangesModel
// (same numbers) and after them the path of the file each record's track is
// in (changefiles::pathOf). Adds
// what the sheet draws with: the part of the old and of the new value that
// differs, and a sort key for every column. Follows the change list model;
// check marks go to it. Main thread only.
class ReviewTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int FileColumn = 6; // right after ChangesModel's columns
    static constexpr int ColumnCount = FileColumn + 1;
    // Old and new value: where the changed part of the text is, as
    // QPoint(start, length) in UTF-16 code units.
    static constexpr int ChangedSpanRole = Qt::UserRole + 10;
    static constexpr int SortRole = Qt::UserRole + 11;

    explicit ReviewTableModel(ChangesModel *changes, QObject *parent = nullptr);

    ChangesModel *changes() const { return changes_; }

    // The differing middle of two texts once their common start and end are
    // taken off, for the old and for the new text. Never splits a character
    // that takes two code units.
    struct Spans {
        qsizetype start = 0;
        qsizetype oldLength = 0;
        qsizetype newLength = 0;
    };
    static Spans changedSpans(const QString &oldText, const QString &newText);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString filePath(int row) const;

    ChangesModel *changes_;
    // The records' paths, found once per row shown: a library track's is a query.
    mutable QHash<int, QString> filePaths_;
};
