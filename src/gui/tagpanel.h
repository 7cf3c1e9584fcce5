// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/filedescription.h"
#include "pendingedits.h"
#include "sourcetracksmodel.h"

#include <QStringList>
#include <QThreadPool>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class AppDelegate;
class CoverView;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;
class TrackTablePanel;

// Beside the track table: every field the selected tracks' files hold, in
// their own tags' terms, and what the files are. Several tracks show each
// field once, "<several values>" where they differ. A value typed here, a
// field added or removed, is pending in the window's PendingEdits until it
// is saved, like an edit of the table: a field the catalogue keeps by its
// key, any other by its field address.
//
// The files are read on a thread of the panel's own, and only once the
// selection has settled, so moving through the table never waits for TagLib;
// their pictures likewise, by the CoverView of the Pictures section (a
// library track by its file; one whose file is gone shows none).
class TagPanel : public QWidget {
    Q_OBJECT
public:
    // The most files read for one selection; the panel says when it read fewer.
    static constexpr int MaxFilesRead = 100;
    // How long the selection must stay before its files are read.
    static constexpr int SettleMs = 150;
    static constexpr int TagColumn = 0, FieldColumn = 1, ValueColumn = 2;
    // On the value column's items: the key an edit of the row goes to (empty: read-only).
    static constexpr int EditKeyRole = Qt::UserRole;
    // The value as the files hold it, for the editor (the shown text marks controls).
    static constexpr int RawValueRole = Qt::UserRole + 1;

    // opener: how "Open Folder" shows a folder; app: where an added picture goes.
    TagPanel(AppDelegate *app, TrackTablePanel *table, PendingEdits *pending, std::function<void(const QUrl &)> opener,
             QWidget *parent = nullptr);
    ~TagPanel() override;

    QLabel *summary() const { return summary_; }
    QTableWidget *fields() const { return fields_; }
    // The facts: "Format", "Length", "Bitrate", "Sample Rate", "Channels", "Tags", "Size", "Path".
    QLabel *fact(const QString &name) const;
    QPushButton *openFolderButton() const { return openFolder_; }
    QGroupBox *picturesSection() const { return pictures_; }
    CoverView *coverView() const { return cover_; }
    QLineEdit *newFieldAddress() const { return newAddress_; }
    QLineEdit *newFieldValue() const { return newValue_; }
    QPushButton *addFieldButton() const { return addField_; }
    QPushButton *removeFieldButton() const { return removeField_; }
    // Why the last edit was refused; empty after an edit that was taken.
    QLabel *message() const { return message_; }

    // Whether the shown fields and pictures are those of the table's current selection.
    bool isSettled() const;
    // The value typed into a row's value cell, as its editor would give it.
    void editValue(int row, const QString &value);
    void addNewField();
    void removeSelectedField();

signals:
    // The files of a selection were read and are shown.
    void shown();

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Read;
    void selectionMoved();
    void readSelection();
    void showRead(int generation, std::shared_ptr<Read> read);
    void fill();
    void fillFacts();
    void setFact(const QString &name, const QStringList &values);
    void tellRefusal(const std::optional<QString> &refusal);
    QList<PendingTrack> pendingTracks() const;

    TrackTablePanel *table_;
    PendingEdits *pending_;
    std::function<void(const QUrl &)> opener_;
    QLabel *summary_;
    QTableWidget *fields_;
    QHash<QString, QLabel *> facts_;
    QPushButton *openFolder_;
    QGroupBox *pictures_;
    CoverView *cover_;
    QLineEdit *newAddress_;
    QLineEdit *newValue_;
    QPushButton *addField_;
    QPushButton *removeField_;
    QLabel *message_;
    QTimer *settle_;
    std::shared_ptr<Read> read_;          // what is shown
    QStringList added_;                   // addresses added here, shown while pending
    std::shared_ptr<std::atomic<int>> generation_ = std::make_shared<std::atomic<int>>(0);
    int shownGeneration_ = -1;
    QThreadPool pool_;
};
