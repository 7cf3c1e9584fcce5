// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QWidget>
#include <atomic>
#include <memory>

class AppDelegate;
class QLabel;
class QMimeData;
class QPushButton;

// The pictures embedded in the chosen tracks' files: each with its
// thumbnail, type, MIME type, pixel size, size in bytes and description.
// Tracks that all hold the same pictures show them once; tracks that differ
// show "<several pictures>". An image file dropped on it, or chosen with
// "Add…", goes to those tracks through the add tool and its review.
// The files are read on a thread of Qt's pool; main thread otherwise.
class CoverView : public QWidget {
    Q_OBJECT
public:
    explicit CoverView(AppDelegate *app, QWidget *parent = nullptr);

    // The files to show; reading them starts at once, an earlier read is dropped.
    void setPaths(const QStringList &paths);
    const QStringList &paths() const { return paths_; }
    // The text shown beside the thumbnail, once the read is in.
    QString text() const;
    // Whether the last setPaths has been read and shown.
    bool isShown() const { return shownGeneration_ == generation_; }
    // Adds the image to the shown files through the add tool.
    void addImage(const QString &image);
    // What a drop brings: one local file is added as addImage adds it.
    // Returns whether it was taken.
    bool takeDrop(const QMimeData *data);

signals:
    void shown();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    struct Reading;
    void display(const Reading &reading);

    AppDelegate *app_;
    QLabel *thumbnail_;
    QLabel *details_;
    QPushButton *add_;
    QStringList paths_;
    quint64 generation_ = 0;
    quint64 shownGeneration_ = 0;
    // The newest generation, for a read under way to see it was overtaken.
    std::shared_ptr<std::atomic<quint64>> current_ = std::make_shared<std::atomic<quint64>>(0);
};
