// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpsheet.h"

#include "app/appdelegate.h"
#include "documents.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QVBoxLayout>

HelpSheet::HelpSheet(AppDelegate *app, QWidget *window)
    : Sheet(window, QStringLiteral("helpPanel")), app_(app), title_(new QLabel(this)), info_(new QLabel(this)),
      text_(new QTextBrowser(this))
{
    resize(640, 520);

    title_->setObjectName("helpTitleText");
    QFont big = title_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    title_->setFont(big);
    info_->setObjectName("helpInfoField");
    info_->setWordWrap(true);
    text_->setObjectName("helpTextView");
    text_->setOpenExternalLinks(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &HelpSheet::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(info_);
    layout->addWidget(text_, 1);
    layout->addWidget(buttons);
}

void HelpSheet::openFor(int position)
{
    title_->setText(AppDelegate::helpTitle(position));
    info_->setText(AppDelegate::helpInfo(position));
    setWindowTitle(title_->text());
    documents::load(text_, AppDelegate::helpDocument(position));
    text_->moveCursor(QTextCursor::Start);
    text_->verticalScrollBar()->setValue(0);
    QDialog::open();
}

void HelpSheet::reject()
{
    app_->closeHelp();
    if (isVisible())
        dismiss();
}
