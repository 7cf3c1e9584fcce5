// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>
#include <QStringList>
#include <functional>

// Edits one cell of the track table for every row the edit goes to. When
// those rows hold different values the editor starts empty, saying
// "<several values>", and leaves them as they are unless something is typed.
class CellEditDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // values: the cell's current text in each row the edit of index goes to;
    // commit: the text typed for those rows.
    using Values = std::function<QStringList(const QModelIndex &index)>;
    using Commit = std::function<void(const QModelIndex &index, const QString &text)>;

    CellEditDelegate(Values values, Commit commit, QObject *parent = nullptr);

    static QString severalValuesText();

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    // The editor open now, or null: a save first takes what it holds.
    QWidget *openEditor() const { return editor_; }

private:
    Values values_;
    Commit commit_;
    mutable QWidget *editor_ = nullptr;
};
