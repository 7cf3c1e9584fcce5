// SPDX-License-Identifier: GPL-3.0-or-later
#include "celleditdelegate.h"

#include <QLineEdit>
#include <QPointer>

namespace {
const char *const severalProperty = "severalValues";
const char *const startProperty = "startValue";
} // namespace

CellEditDelegate::CellEditDelegate(Values values, Commit commit, QObject *parent)
    : QStyledItemDelegate(parent), values_(std::move(values)), commit_(std::move(commit))
{
    // A closed editor lingers until deleted; it is no longer open.
    connect(this, &QAbstractItemDelegate::closeEditor, this, [this](QWidget *editor) {
        if (editor_ == editor)
            editor_ = nullptr;
    });
}

QString CellEditDelegate::severalValuesText()
{
    return tr("<several values>");
}

QWidget *CellEditDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    auto *editor = new QLineEdit(parent);
    editor->setObjectName("cellEditor");
    editor->setFrame(false);
    editor_ = editor;
    connect(editor, &QObject::destroyed, this, [this, editor] {
        if (editor_ == editor)
            editor_ = nullptr;
    });
    return editor;
}

void CellEditDelegate::setEditorData(QWidget *widget, const QModelIndex &index) const
{
    auto *editor = qobject_cast<QLineEdit *>(widget);
    if (!editor)
        return;
    const QStringList values = values_(index);
    const QString first = values.value(0);
    const bool several = std::any_of(values.cbegin(), values.cend(), [&](const QString &v) { return v != first; });
    editor->setProperty(severalProperty, several);
    editor->setProperty(startProperty, several ? QString() : first);
    editor->setText(several ? QString() : first);
    editor->setPlaceholderText(several ? severalValuesText() : QString());
    editor->setModified(false);
    editor->selectAll();
}

void CellEditDelegate::setModelData(QWidget *widget, QAbstractItemModel *, const QModelIndex &index) const
{
    auto *editor = qobject_cast<QLineEdit *>(widget);
    if (!editor)
        return;
    // Untouched, different values stay different; a text put back as it was is no edit.
    if (editor->property(severalProperty).toBool() ? !editor->isModified()
                                                   : editor->text() == editor->property(startProperty).toString())
        return;
    commit_(index, editor->text());
}
