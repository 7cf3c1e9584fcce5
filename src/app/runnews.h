// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

// Where the runs a controller started tell what they did, for whoever shows
// it (the window's status line) and whoever shows the tracks they may have
// changed (the window's track table). Runs end on the main thread, so
// announcing and listening are main-thread only.
class RunNews : public QObject {
    Q_OBJECT
public:
    // The last announcement; empty before the first.
    const QString &message() const { return message_; }

    // Tells what the run did; tracksChanged when it wrote tags or moved files.
    // Announced even when the words repeat: it is news of another run.
    void announce(const QString &message, bool tracksChanged);

signals:
    void announced(const QString &message);
    void tracksChanged();

private:
    QString message_;
};
