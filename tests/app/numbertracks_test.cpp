// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/numbertracks.h"

#include "filetoolrun.h"
#include "model/musictrack.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tools;

namespace {

// "number/total" per track, with "disc/discs" after a space when discs are numbered.
QStringList numbered(const QList<TrackPlace> &tracks, const NumberTracksOptions &options)
{
    QStringList texts;
    for (const TrackNumbering &n : numbering(tracks, options))
        texts << QStringLiteral("%1/%2").arg(n.number).arg(n.total) +
                     (options.discs ? QStringLiteral(" %1/%2").arg(n.disc).arg(n.discs) : QString());
    return texts;
}

} // namespace

TEST(Numbering, CountsRestartPerAlbumPerFolderOrNever)
{
    // Two albums interleaved, the second over two folders (its discs).
    const QList<TrackPlace> tracks{{"A", "/m/a"}, {"B", "/m/b1"}, {"A", "/m/a"}, {"B", "/m/b2"}, {"B", "/m/b1"}};
    NumberTracksOptions options;
    EXPECT_EQ(numbered(tracks, options), (QStringList{"1/2", "1/3", "2/2", "2/3", "3/3"}));
    options.restart = RestartPerFolder;
    EXPECT_EQ(numbered(tracks, options), (QStringList{"1/2", "1/2", "2/2", "1/1", "2/2"}));
    options.restart = NeverRestart;
    options.start = 5;
    EXPECT_EQ(numbered(tracks, options), (QStringList{"5/5", "6/5", "7/5", "8/5", "9/5"}));
    // Discs: each folder of an album is one, in the order they come, and counts from the start.
    options = {};
    options.discs = true;
    EXPECT_EQ(numbered(tracks, options), (QStringList{"1/2 1/1", "1/2 1/2", "2/2 1/1", "1/1 2/2", "2/2 1/2"}));
    // A start at the top of the range stays there.
    options = {};
    options.start = std::numeric_limits<int>::max();
    EXPECT_EQ(numbered(tracks, options).at(2), QString("%1/2").arg(std::numeric_limits<int>::max()));
}

namespace {

class NumberTracks : public ::testing::Test, public FileToolRun {
protected:
    // A file of the album in the folder, with a track number to be replaced.
    QString addTrack(const QString &relative, const QString &album, const QString &title, unsigned track)
    {
        const QString path = addTagged(relative, title, track, "Artist", "seed." + QFileInfo(relative).suffix());
        MusicTrack::withPath(path).setTag("album", album);
        return path;
    }

    void number(const QString &order, bool totals = true, int restart = RestartPerAlbum)
    {
        app.setNumberOrder(order);
        app.setNumberTotals(totals);
        app.setNumberRestart(restart);
        run([&] { app.performNumberTracks(); });
    }

    static int tag(const QString &path, const QString &key)
    {
        return MusicTrack::withPath(path).valueForTag(key).toInt();
    }
};

} // namespace

TEST_F(NumberTracks, NumbersEachAlbumInOrderWithTotalsAndUndoes)
{
    const QString a2 = addTrack("m/x/b.mp3", "Alpha", "Second", 7);
    const QString a1 = addTrack("m/x/a.flac", "Alpha", "First", 7);
    const QString b1 = addTrack("m/y/c.ogg", "Beta", "Only", 0);
    const QString b2 = addTrack("m/y/d.mp3", "Beta", "Also", 1);
    // Unreadable to TagLib: it keeps its bytes and holds up nobody.
    const QString broken = files.addFile("m/y/broken.mp3", "not audio");
    app.pathSelected(files.filePath("m"));
    app.setNumberStart(1);
    number("path");
    ASSERT_TRUE(app.changes()) << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(app.changes()->tool, "Number Tracks");
    app.applyChanges();
    awaitLastRun(app);
    EXPECT_TRUE(port->alerts.isEmpty()) << port->alertTitles().join(", ").toStdString();
    EXPECT_EQ(tag(a1, "trackNumber"), 1);
    EXPECT_EQ(tag(a2, "trackNumber"), 2);
    EXPECT_EQ(tag(b1, "trackNumber"), 1);
    EXPECT_EQ(tag(b2, "trackNumber"), 2);
    for (const QString &path : {a1, a2, b1, b2})
        EXPECT_EQ(tag(path, "trackCount"), 2) << path.toStdString();
    EXPECT_EQ(TestFolder::readAll(broken), "not audio");

    // By title instead: "Also" comes before "Only". Then the history takes it back.
    number("album, name", false);
    ASSERT_TRUE(app.changes());
    app.applyChanges();
    awaitLastRun(app);
    EXPECT_EQ(tag(b2, "trackNumber"), 1);
    EXPECT_EQ(tag(b1, "trackNumber"), 2);
    run([&] { app.performUndo(); });
    ASSERT_TRUE(app.changes());
    app.applyChanges();
    awaitLastRun(app);
    EXPECT_EQ(tag(b1, "trackNumber"), 1);
    EXPECT_EQ(tag(b2, "trackNumber"), 2);

    // Numbered as asked already: nothing to change. A bad order or start is refused.
    port->alerts.clear();
    number("path");
    EXPECT_EQ(port->alertTitles(), QStringList{"No Changes"});
    number("album,rating,frobs");
    app.setNumberStart(0);
    number("path");
    EXPECT_EQ(port->alertTitles(), (QStringList{"No Changes", "Invalid Order", "Invalid Start"}));
}
