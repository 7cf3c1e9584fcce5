// SPDX-License-Identifier: GPL-3.0-or-later
#include "panebuilder.h"

#include "binding.h"
#include "popupbutton.h"
#include "sourcechooser.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

PaneBuilder::PaneBuilder(AppDelegate *app, const QString &objectName)
    : app_(app), pane_(new QWidget), column_(new QVBoxLayout(pane_)), form_(new QFormLayout)
{
    pane_->setObjectName(objectName);
    form_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form_->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    column_->addLayout(form_);
}

SourceChooser *PaneBuilder::addSourceChooser()
{
    auto *chooser = new SourceChooser(app_, pane_);
    column_->insertWidget(0, chooser);
    scoped_ = true;
    return chooser;
}

QGroupBox *PaneBuilder::beginGroup(const QString &title, QBoxLayout *into)
{
    auto *group = new QGroupBox(title);
    auto *form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    (into ? into : column_)->addWidget(group);
    outerForm_ = form_;
    form_ = form;
    return group;
}

void PaneBuilder::endGroup()
{
    if (outerForm_)
        form_ = outerForm_;
    outerForm_ = nullptr;
}

void PaneBuilder::addRow(const QString &label, QWidget *widget)
{
    if (label.isEmpty())
        form_->addRow(widget);
    else
        form_->addRow(label, widget);
}

PopUpButton *PaneBuilder::makePopUp(int tag)
{
    auto *popUp = new PopUpButton(nullptr, tag);
    QObject::connect(popUp, &PopUpButton::willPopUp, app_, &AppDelegate::popUp);
    return popUp;
}

PopUpButton *PaneBuilder::popUp(const QString &label, const char *option, const QStringList &items)
{
    PopUpButton *popUp = makePopUp(0);
    popUp->setObjectName(QString::fromLatin1(option));
    popUp->addItems(items);
    Binding::bind(popUp, "currentIndex", app_, option);
    addRow(label, popUp);
    return popUp;
}

PopUpButton *PaneBuilder::popUp(const QString &label, const char *option, const char *itemsProperty, int tag)
{
    PopUpButton *popUp = makePopUp(tag);
    popUp->setObjectName(QString::fromLatin1(option));
    AppDelegate *app = app_;
    const QByteArray optionName(option);
    Binding::observe(popUp, app, itemsProperty, [popUp, app, optionName](const QVariant &items) {
        popUp->setItems(items.toStringList(), app->property(optionName.constData()).toInt());
    });
    Binding::bind(popUp, "currentIndex", app, option);
    addRow(label, popUp);
    return popUp;
}

QCheckBox *PaneBuilder::check(const QString &text, const char *option)
{
    auto *box = new QCheckBox(text);
    box->setObjectName(QString::fromLatin1(option));
    Binding::bind(box, "checked", app_, option);
    addRow({}, box);
    return box;
}

QLineEdit *PaneBuilder::field(const QString &label, const char *option, const QString &placeholder)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(option));
    edit->setPlaceholderText(placeholder);
    edit->setClearButtonEnabled(true);
    // The field writes its option on every keystroke, so an action never
    // finds text that was typed but not yet committed.
    Binding::bind(edit, "text", app_, option);
    addRow(label, edit);
    return edit;
}

void PaneBuilder::note(const QString &text)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    label->setFont(small);
    label->setForegroundRole(QPalette::PlaceholderText);
    addRow({}, label);
}

void PaneBuilder::finish(const QList<QPushButton *> &runButtons)
{
    auto *help = new QToolButton;
    help->setObjectName("helpButton");
    help->setText(QStringLiteral("?"));
    help->setToolTip(QObject::tr("Help for this tool"));
    help->setFixedSize(26, 26);
    help->setStyleSheet(QStringLiteral("QToolButton { border: 1px solid palette(mid); border-radius: 13px; font-weight: bold; }"));
    QObject::connect(help, &QToolButton::clicked, app_, &AppDelegate::openHelp);

    auto *row = new QHBoxLayout;
    row->addWidget(help);
    row->addStretch();
    if (scoped_) {
        auto *scope = new QLabel;
        scope->setObjectName("trackScope");
        scope->setTextFormat(Qt::PlainText);
        scope->setToolTip(QObject::tr("Select rows of the track table, or filter it, to run the tool on fewer tracks"));
        Binding::observe(scope, app_, "trackScopeText", [scope](const QVariant &text) { scope->setText(text.toString()); });
        row->addWidget(scope);
    }
    for (QPushButton *button : runButtons)
        row->addWidget(button);
    if (!runButtons.isEmpty())
        runButtons.last()->setDefault(true);
    column_->addStretch();
    column_->addLayout(row);
}
