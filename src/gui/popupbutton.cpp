// SPDX-License-Identifier: GPL-3.0-or-later
#include "popupbutton.h"

#include <QSignalBlocker>

PopUpButton::PopUpButton(QWidget *parent, int tag) : QComboBox(parent), tag_(tag)
{
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
}

void PopUpButton::setItems(const QStringList &items, int index)
{
    const QSignalBlocker blocker(this);
    QStringList current;
    current.reserve(count());
    for (int i = 0; i < count(); ++i)
        current << itemText(i);
    if (current != items) {
        clear();
        addItems(items);
    }
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

void PopUpButton::showPopup()
{
    emit willPopUp(tag_);
    QComboBox::showPopup();
}
