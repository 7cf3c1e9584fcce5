// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>

// A pop-up menu that announces that it is about to open, with its tag, before
// the list is shown, so the controller can refresh the names it lists (the
// playlist menus carry tag 13).
class PopUpButton : public QComboBox {
    Q_OBJECT
public:
    static constexpr int PlaylistTag = 13;

    explicit PopUpButton(QWidget *parent = nullptr, int tag = 0);

    int tag() const { return tag_; }

    // Replaces the items and shows the item at index (the bound option's
    // value, kept as a number: after a refresh the same index may name
    // another playlist). No change of the index is announced.
    void setItems(const QStringList &items, int index);

    void showPopup() override;

signals:
    void willPopUp(int tag);

private:
    int tag_;
};
