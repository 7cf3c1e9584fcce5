// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QStyledItemDelegate>

// Draws an old or a new value with its changed part marked (the model's
// ChangedSpanRole tells where): red behind what goes, green behind what
// comes, so a change inside a long title is seen at a glance.
class ReviewValueDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    ReviewValueDelegate(bool newValue, QObject *parent = nullptr);

    static QColor markColor(bool newValue);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    bool newValue_;
};
