// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/appdelegate.h"
#include "fakewindowport.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "testfiles.h"

#include <QVariantHash>
#include <functional>
#include <gtest/gtest.h>

// A tool run end to end: a real controller over a folder of real music files
// or a real library file, the scripted person answering its alerts.
class TagToolTest : public ::testing::Test {
protected:
    void SetUp() override;

    // A copy of a seed file in the music folder with these tags written
    // through the file back end. Returns its full path.
    QString addFile(const QString &name, const QVariantHash &tags, const QString &seed = QStringLiteral("seed.mp3"));
    QVariant fileValue(const QString &path, const QString &key) const;
    void useFolder();

    // A library track (its file is a seed copy, so it is not dead) in the
    // playlist "Tools"; the playlist becomes the source.
    qint64 addLibraryTrack(const QVariantHash &values);
    QVariant libraryValue(qint64 trackId, const QString &key) const;
    void useLibraryPlaylist();

    // Presses a tool's button and lets the collecting run end.
    void run(const std::function<void()> &action);
    // The review's rows as "old -> new" texts in list order.
    QStringList reviewRows() const;
    // The record whose track is this file (or library track); fails the test when there is none.
    ChangeRecord &recordFor(const QString &path);
    ChangeRecord &recordFor(qint64 trackId);
    // Unchecks the rows whose track is one of these, applies and lets the run end.
    void applyWithout(const QStringList &paths, const QList<qint64> &trackIds = {});

    ScopedFakePort port;
    TestFolder folder;
    AppDelegate app{*port};
    std::shared_ptr<MusicLibrary> library;
    qint64 playlistId = 0;
};
