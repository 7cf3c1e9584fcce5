// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class AppDelegate;
class PopUpButton;
class QLabel;
class QPushButton;

// Where a tool's tracks come from: a playlist of the library, a folder of
// music files, or the tracks selected in the library browser. Every tool pane
// shows one; all of them are bound to the same options, so they agree.
class SourceChooser : public QWidget {
    Q_OBJECT
public:
    explicit SourceChooser(AppDelegate *app, QWidget *parent = nullptr);

    PopUpButton *methodPopUp() const { return method_; }
    PopUpButton *playlistPopUp() const { return playlist_; }
    QPushButton *folderButton() const { return folderButton_; }
    QLabel *folderLabel() const { return folderLabel_; }

signals:
    // The person wants to pick a folder, or to see the library.
    void chooseFolderRequested();
    void libraryRequested();

private:
    PopUpButton *method_;
    PopUpButton *playlist_;
    QPushButton *folderButton_;
    QLabel *folderLabel_;
};
