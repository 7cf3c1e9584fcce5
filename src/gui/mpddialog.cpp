// SPDX-License-Identifier: GPL-3.0-or-later
#include "mpddialog.h"

#include "app/appdelegate.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

MpdDialog::MpdDialog(AppDelegate *app, QWidget *parent) : QDialog(parent), app_(app)
{
    setObjectName("mpdDialog");
    setWindowTitle(tr("Sync with MPD"));
    auto *form = new QFormLayout;
    host_ = new QLineEdit;
    host_->setObjectName("mpdHost");
    form->addRow(tr("Host:"), host_);
    port_ = new QSpinBox;
    port_->setObjectName("mpdPort");
    port_->setRange(1, 65535);
    form->addRow(tr("Port:"), port_);
    password_ = new QLineEdit;
    password_->setObjectName("mpdPassword");
    password_->setEchoMode(QLineEdit::Password);
    password_->setPlaceholderText(tr("none"));
    form->addRow(tr("Password:"), password_);
    musicFolder_ = new QLineEdit;
    musicFolder_->setObjectName("mpdMusicFolder");
    musicFolder_->setToolTip(tr("MPD's music_directory as this computer sees it: tracks are matched to MPD's songs "
                                "by their path under it."));
    auto *choose = new QPushButton(tr("Choose…"));
    connect(choose, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, tr("MPD's music folder"), musicFolder_->text());
        if (!folder.isEmpty())
            musicFolder_->setText(folder);
    });
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(musicFolder_, 1);
    folderRow->addWidget(choose);
    form->addRow(tr("Music folder:"), folderRow);
    scale_ = new QSpinBox;
    scale_->setObjectName("mpdRatingScale");
    scale_->setRange(1, 100);
    scale_->setToolTip(tr("The highest rating sticker: MPD clients commonly use 10."));
    form->addRow(tr("Highest rating:"), scale_);

    auto *explanation = new QLabel(tr("Pull takes MPD's \"rating\" and \"playCount\" stickers into the library; "
                                      "Push stores the library's ratings and play counts in them. Either way you "
                                      "review the changes first."));
    explanation->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton *pull = buttons->addButton(tr("Pull"), QDialogButtonBox::AcceptRole);
    pull->setObjectName("mpdPull");
    QPushButton *push = buttons->addButton(tr("Push"), QDialogButtonBox::AcceptRole);
    push->setObjectName("mpdPush");
    connect(pull, &QPushButton::clicked, this, [this] { start(false); });
    connect(push, &QPushButton::clicked, this, [this] { start(true); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void MpdDialog::load()
{
    host_->setText(app_->mpdHost());
    port_->setValue(app_->mpdPort());
    password_->setText(app_->mpdPassword());
    musicFolder_->setText(app_->mpdMusicFolder());
    scale_->setValue(app_->mpdRatingScale());
}

void MpdDialog::start(bool push)
{
    app_->setMpdHost(host_->text());
    app_->setMpdPort(port_->value());
    app_->setMpdPassword(password_->text());
    app_->setMpdMusicFolder(musicFolder_->text());
    app_->setMpdRatingScale(scale_->value());
    accept();
    if (push)
        app_->performMpdPush();
    else
        app_->performMpdPull();
}
