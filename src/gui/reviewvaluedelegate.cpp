// SPDX-License-Identifier: GPL-3.0-or-later
#include "reviewvaluedelegate.h"

#include "reviewtablemodel.h"

#include <QApplication>
#include <QPainter>

ReviewValueDelegate::ReviewValueDelegate(bool newValue, QObject *parent)
    : QStyledItemDelegate(parent), newValue_(newValue)
{
}

QColor ReviewValueDelegate::markColor(bool newValue)
{
    return newValue ? QColor(0xb4, 0xe6, 0xb4) : QColor(0xf5, 0xc0, 0xc0);
}

void ReviewValueDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QPoint span = index.data(ReviewTableModel::ChangedSpanRole).toPoint();
    if (span.y() <= 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    const QWidget *widget = item.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(margin, 0, -margin, 0);
    const QFontMetrics metrics(item.font);
    const bool selected = item.state & QStyle::State_Selected;
    const QColor textColor = item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);

    painter->save();
    painter->setClipRect(area);
    painter->setFont(item.font);
    int x = area.left();
    // Texts are drawn in three runs; the middle one on its mark, always dark so it reads on the light mark.
    const auto run = [&](const QString &part, const QColor &color, const QColor &mark) {
        const int width = metrics.horizontalAdvance(part);
        if (mark.isValid())
            painter->fillRect(QRect(x, area.top() + 1, width, area.height() - 2), mark);
        painter->setPen(color);
        painter->drawText(QRect(x, area.top(), width + 1, area.height()), Qt::AlignLeft | Qt::AlignVCenter, part);
        x += width;
    };
    run(text.left(span.x()), textColor, QColor());
    run(text.mid(span.x(), span.y()), Qt::black, markColor(newValue_));
    run(text.mid(span.x() + span.y()), textColor, QColor());
    painter->restore();
}
