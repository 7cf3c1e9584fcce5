// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/appdelegate.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

class PopUpButton;
class QBoxLayout;
class QGroupBox;
class QToolButton;
class SourceChooser;

// Builds the controls of a tool pane, each bound to its controller option.
// A pane is a column: an optional source chooser, the tool's form, and a
// bottom row with the help button and the tool's run button.
class PaneBuilder {
public:
    PaneBuilder(AppDelegate *app, const QString &objectName);

    QWidget *pane() const { return pane_; }
    AppDelegate *app() const { return app_; }

    SourceChooser *addSourceChooser();
    // The bottom row says which of the source's tracks the tool takes (a
    // pane with a source chooser says it without being asked).
    void showTrackScope() { scoped_ = true; }
    // A titled group holding its own form; later rows go into it until endGroup.
    QGroupBox *beginGroup(const QString &title, QBoxLayout *into = nullptr);
    void endGroup();
    QFormLayout *form() const { return form_; }

    // Pop-up menus: fixed items, or the items of a list property of the
    // controller (tag 13 marks the playlist menus that refresh when opened).
    PopUpButton *popUp(const QString &label, const char *option, const QStringList &items);
    PopUpButton *popUp(const QString &label, const char *option, const char *itemsProperty, int tag = 0);
    QCheckBox *check(const QString &text, const char *option);
    QLineEdit *field(const QString &label, const char *option, const QString &placeholder = {});
    void note(const QString &text);

    template <typename Slot> QPushButton *button(const QString &text, Slot action)
    {
        auto *button = new QPushButton(text);
        QObject::connect(button, &QPushButton::clicked, app_, action);
        return button;
    }
    // The bottom row: help at the left, the given buttons at the right.
    void finish(const QList<QPushButton *> &runButtons);

private:
    void addRow(const QString &label, QWidget *widget);
    PopUpButton *makePopUp(int tag);

    AppDelegate *app_;
    QWidget *pane_;
    QBoxLayout *column_;
    QFormLayout *form_;
    QFormLayout *outerForm_ = nullptr;
    QBoxLayout *outerColumn_ = nullptr;
    bool scoped_ = false;
};
