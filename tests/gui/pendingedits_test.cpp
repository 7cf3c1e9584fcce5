// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/filetags.h"
#include "operations/changelist.h"
#include "pendingedits.h"
#include "reviewsheet.h"
#include "windowfixture.h"

#include <QPushButton>
#include <QSignalSpy>

namespace {

class PendingEditsTest : public WindowTest {};

PendingTrack fileTrack(const QString &path)
{
    return PendingTrack{0, path};
}

} // namespace

TEST_F(PendingEditsTest, ValuesWaitPerTrackAndKeyAndSaveAsOneEditTagsRun)
{
    launch();
    QStringList paths;
    for (int i = 0; i < 4; ++i)
        paths << folder.addSeed("seed.mp3", QStringLiteral("album/%1.mp3").arg(i));
    app.pathSelected(folder.filePath("album"));

    PendingEdits pending;
    QSignalSpy changed(&pending, &PendingEdits::changed);
    const QList<PendingTrack> three = {fileTrack(paths[0]), fileTrack(paths[1]), fileTrack(paths[2])};
    EXPECT_FALSE(pending.put(three, "album", "First Album"));
    // The later typing wins per track and key; a library id names its track whatever the path says.
    EXPECT_FALSE(pending.put({fileTrack(paths[2])}, "album", "Second\nAlbum"));
    EXPECT_FALSE(pending.put({fileTrack(paths[1])}, "year", " 02001"));
    EXPECT_EQ(pending.count(), 4);
    EXPECT_EQ(changed.size(), 3);
    EXPECT_EQ(pending.valueFor(fileTrack(paths[2]), "album"), "Second\nAlbum");
    EXPECT_EQ(pending.valueFor(fileTrack(paths[1]), "year"), "2001");
    EXPECT_FALSE(pending.valueFor(fileTrack(paths[3]), "album"));
    EXPECT_TRUE(PendingTrack({7, "/a"}) == PendingTrack({7, "/b"}));
    EXPECT_FALSE(PendingTrack({7, "/a"}) == PendingTrack({0, "/a"}));

    // Refused values leave nothing pending, nor does a track its check refuses.
    EXPECT_TRUE(pending.put(three, "year", "abc"));
    EXPECT_TRUE(pending.put(three, "trackNumber", "2147483648"));
    pending.setTrackCheck([&](const PendingTrack &track, const QString &key, const QString &) -> std::optional<QString> {
        if (track.path == paths[1] && key == "albumArtist")
            return QStringLiteral("no room");
        return std::nullopt;
    });
    EXPECT_EQ(pending.put(three, "albumArtist", "Band"), "no room");
    EXPECT_EQ(pending.count(), 4);
    EXPECT_EQ(changed.size(), 3);

    const QList<tools::TagEdit> edits = pending.edits();
    ASSERT_EQ(edits.size(), 3); // album twice (two values), year once
    EXPECT_EQ(edits[0].key, "album");
    EXPECT_EQ(edits[2].key, "year");

    // Saved through the review: one record per pending value, nothing for the fourth file.
    const QByteArray untouched = TestFolder::readAll(paths[3]);
    app.editTags(edits);
    ASSERT_TRUE(awaitLastRun(app));
    ASSERT_TRUE(app.changes());
    EXPECT_EQ(app.changes()->records.size(), 4);
    EXPECT_EQ(app.changes()->tool, "Edit Tags");
    window->reviewSheet()->applyButton()->click();
    ASSERT_TRUE(awaitLastRun(app));
    EXPECT_EQ(filetags::read(paths[0], {"album"}).value("album").toString(), "First Album");
    EXPECT_EQ(filetags::read(paths[2], {"album"}).value("album").toString(), "Second\nAlbum");
    EXPECT_EQ(filetags::read(paths[1], {"year"}).value("year").toInt(), 2001);
    EXPECT_EQ(TestFolder::readAll(paths[3]), untouched);

    pending.forget({fileTrack(paths[0]), fileTrack(paths[2])});
    EXPECT_EQ(pending.count(), 2);
    EXPECT_EQ(pending.edits().size(), 2);
    pending.clear();
    EXPECT_TRUE(pending.isEmpty());
    EXPECT_TRUE(pending.edits().isEmpty());
}
