// SPDX-License-Identifier: GPL-3.0-or-later
#include "sourcechooser.h"

#include "app/appdelegate.h"
#include "binding.h"
#include "popupbutton.h"
#include "support/fileutils.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

SourceChooser::SourceChooser(AppDelegate *app, QWidget *parent)
    : QWidget(parent), method_(new PopUpButton(this)), playlist_(new PopUpButton(this, PopUpButton::PlaylistTag)),
      folderButton_(new QPushButton(tr("Choose Folder…"), this)), folderLabel_(new QLabel(this))
{
    setObjectName("sourceChooser");
    method_->setObjectName("selectedMethod");
    method_->addItems({tr("Library Playlist"), tr("Folder"), tr("Library Selection")});
    method_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Binding::bind(method_, "currentIndex", app, "selectedMethod");

    playlist_->setObjectName("selectedPlaylist");
    connect(playlist_, &PopUpButton::willPopUp, app, &AppDelegate::popUp);
    connect(method_, &PopUpButton::willPopUp, app, &AppDelegate::popUp);
    Binding::observe(playlist_, app, "playlists", [this, app](const QVariant &names) {
        playlist_->setItems(names.toStringList(), app->selectedPlaylist());
    });
    Binding::bind(playlist_, "currentIndex", app, "selectedPlaylist");

    folderLabel_->setObjectName("folderPath");
    folderLabel_->setTextFormat(Qt::PlainText);
    folderLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Binding::observe(folderLabel_, app, "folderPath", [this](const QVariant &path) {
        const QString text = path.toString();
        folderLabel_->setText(text.isEmpty() ? tr("No folder chosen") : QDir::toNativeSeparators(files::homeShortened(text)));
        folderLabel_->setToolTip(text);
    });
    connect(folderButton_, &QPushButton::clicked, this, &SourceChooser::chooseFolderRequested);

    auto *library = new QPushButton(tr("Library…"), this);
    library->setObjectName("libraryButton");
    library->setToolTip(tr("Browse the library, choose the selection, import folders"));
    connect(library, &QPushButton::clicked, this, &SourceChooser::libraryRequested);

    // The playlist menu only matters for playlists, the folder only for folders.
    auto *folderRow = new QWidget(this);
    auto *folderLayout = new QHBoxLayout(folderRow);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->addWidget(folderButton_);
    folderLayout->addWidget(folderLabel_, 1);
    Binding::bindThrough(playlist_, "visible", app, "selectedMethod", QStringLiteral("Equalto0ValueTransformer"));
    Binding::bindThrough(folderRow, "visible", app, "selectedMethod", QStringLiteral("Equalto1ValueTransformer"));
    auto *selectionNote = new QLabel(tr("the tracks selected in the library browser"), this);
    selectionNote->setForegroundRole(QPalette::PlaceholderText);
    Binding::bindThrough(selectionNote, "visible", app, "selectedMethod", QStringLiteral("Equalto2ValueTransformer"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->addWidget(new QLabel(tr("Source:"), this));
    layout->addWidget(method_);
    layout->addWidget(playlist_, 1);
    layout->addWidget(folderRow, 1);
    layout->addWidget(selectionNote, 1);
    layout->addWidget(library);
}
