// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakewindowport.h"
#include "library/librarybuilder.h"
#include "model/musictrack.h"
#include "support/namedexception.h"

#include <gtest/gtest.h>

namespace {

const QString coverRefusal = "You can use this tag only as the search tag in the 'playlists' tool.";

// A library whose tracks are shared with the MusicTrack objects, as the track sources make them.
class LibraryTrack : public ::testing::Test {
protected:
    LibraryTrack() : library(std::make_shared<MusicLibrary>(builder.libraryPath())) {}

    MusicTrack track(qint64 id) const
    {
        return MusicTrack::withTrack(library, LibraryBuilder::throughLibrary(id), port.get());
    }

    LibraryBuilder builder;
    std::shared_ptr<MusicLibrary> library;
    ScopedFakePort port;
};

} // namespace

TEST_F(LibraryTrack, ReadsLibraryPropertiesWithTitleAsName)
{
    const qint64 id = builder.addTrack("Song", "Singer", "Record");
    library->setProperty(LibraryBuilder::throughLibrary(id), "year", 1999);
    library->setProperty(LibraryBuilder::throughLibrary(id), "lyrics", QString("la la"));
    library->setProperty(LibraryBuilder::throughLibrary(id), "playedCount", 7);
    const MusicTrack t = track(id);
    EXPECT_TRUE(t.isLibraryTrack());
    EXPECT_EQ(t.valueForTag("title"), QVariant(QString("Song")));
    EXPECT_EQ(t.valueForTag("name"), QVariant(QString("Song")));
    EXPECT_EQ(t.title(), "Song");
    EXPECT_EQ(t.artist(), "Singer");
    EXPECT_EQ(t.album(), "Record");
    // The library keeps years and counts as numbers, unlike a file.
    EXPECT_EQ(t.valueForTag("year").toLongLong(), 1999);
    EXPECT_NE(t.valueForTag("year").typeId(), QMetaType::QString);
    EXPECT_EQ(t.valueForTag("lyrics"), QVariant(QString("la la")));
    EXPECT_EQ(t.valueForTag("playedCount").toLongLong(), 7);
    // Never set: the library's empty text.
    EXPECT_EQ(t.valueForTag("composer").typeId(), QMetaType::QString);
    EXPECT_TRUE(t.valueForTag("composer").toString().isEmpty());

    const QStringList keys = {"title", "name", "artist", "year", "lyrics", "location", "cover"};
    const QVariantHash together = t.valuesForTags(keys);
    for (const QString &key : keys)
        EXPECT_EQ(together.value(key), t.valueForTag(key)) << key.toStdString();
    EXPECT_TRUE(port->alerts.isEmpty());
}

TEST_F(LibraryTrack, WritesGoToTheLibraryAndTitleIsName)
{
    const qint64 id = builder.addTrack("Song", "Singer");
    const MusicTrack t = track(id);
    const QString file = builder.folder().filePath("music/1.mp3");
    t.setTag("title", QString("Renamed"));
    EXPECT_EQ(library->property(LibraryBuilder::throughLibrary(id), "name"), QVariant(QString("Renamed")));
    t.setTag("name", QString("Again"));
    EXPECT_EQ(t.valueForTag("title"), QVariant(QString("Again")));
    // The title reaches the file too; the rating is the library's alone.
    EXPECT_EQ(MusicTrack::withPath(file).title(), "Again");
    const QByteArray fileBefore = TestFolder::readAll(file);
    t.setTag("rating", 80);
    EXPECT_EQ(t.valueForTag("rating").toLongLong(), 80);
    EXPECT_EQ(TestFolder::readAll(file), fileBefore);
}

TEST_F(LibraryTrack, LocationAndCoverFollowTheFile)
{
    const qint64 live = builder.addTrack("Live", "A");
    const qint64 dead = builder.addTrack("Dead", "B", {}, true);
    const QString liveFile = builder.folder().filePath("music/1.mp3");
    EXPECT_EQ(track(live).location(), liveFile);
    EXPECT_FALSE(track(live).valueForTag("cover").isValid());
    EXPECT_FALSE(track(dead).valueForTag("location").isValid());
    EXPECT_TRUE(track(dead).location().isNull());
    EXPECT_FALSE(track(dead).valueForTag("cover").isValid());

    const QString pictured = builder.folder().addFile(
        "music/pictured.mp3", TestFolder::readAll(TestFolder::seedPath("seed.mp3")) + "APIC image/jpeg");
    track(dead).setTag("location", pictured);
    EXPECT_EQ(track(dead).location(), pictured);
    EXPECT_EQ(track(dead).valueForTag("cover"), QVariant(QString("cover")));
}

TEST_F(LibraryTrack, WritingTheCoverIsRefusedWithThePlaylistsText)
{
    const qint64 id = builder.addTrack("Song", "Singer");
    try {
        track(id).setTag("cover", QString("cover"));
        ADD_FAILURE() << "writing the cover was not refused";
    } catch (const NamedException &e) {
        EXPECT_EQ(e.name(), "Unsupported Tag");
        EXPECT_EQ(e.reason(), coverRefusal);
    }
    ASSERT_EQ(port->alerts.size(), 1);
    EXPECT_EQ(port->alerts[0].title, "Unsupported Tag");
    EXPECT_EQ(port->alerts[0].message, coverRefusal);
    EXPECT_EQ(port->alerts[0].buttons, QStringList{"OK"});
    EXPECT_THROW(track(id).setTagIfUnchanged("cover", QString("x"), {}), NamedException);
    EXPECT_EQ(port->alerts.size(), 2);
}

TEST_F(LibraryTrack, VerifiedWritesCompareTextsAndRelinkDeadTracks)
{
    const qint64 id = builder.addTrack("Song", "Singer");
    library->setProperty(LibraryBuilder::throughLibrary(id), "year", 1999);
    const MusicTrack t = track(id);
    EXPECT_FALSE(t.setTagIfUnchanged("year", 2001, {{"artist", "Singer"}, {"title", "Other"}, {"year", "1999"}}));
    EXPECT_EQ(t.valueForTag("year").toLongLong(), 1999);
    // The number 1999 matches its text.
    EXPECT_TRUE(t.setTagIfUnchanged("year", 2001, {{"artist", "Singer"}, {"title", "Song"}, {"year", "1999"}}));
    EXPECT_EQ(t.valueForTag("year").toLongLong(), 2001);

    // A dead track's absent location matches the empty text a relink recorded.
    const qint64 dead = builder.addTrack("Gone", "Nobody", {}, true);
    const QString found = builder.folder().addSeed("seed.mp3", "found/Gone.mp3");
    EXPECT_TRUE(track(dead).setTagIfUnchanged("location", found, {{"artist", "Nobody"}, {"location", ""}}));
    EXPECT_EQ(track(dead).location(), found);
}

TEST_F(LibraryTrack, ATrackDeletedMeanwhileThrowsLibraryError)
{
    const qint64 id = builder.addTrack("Song", "Singer");
    const MusicTrack t = track(id);
    library->deleteTrack(LibraryBuilder::throughLibrary(id));
    EXPECT_THROW(t.valuesForTags({"name", "artist"}), LibraryError);
    EXPECT_THROW(t.setTag("name", QString("x")), LibraryError);
}
