// SPDX-License-Identifier: GPL-3.0-or-later
// Library tracks keep their files' tags: a write reaches the file first and
// the row only after the file took it.
#include "fakewindowport.h"
#include "library/libraryimport.h"
#include "library/musiclibrary.h"
#include "readonlyplace.h"
#include "model/musictrack.h"
#include "support/namedexception.h"
#include "testfiles.h"

#include <QFile>
#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

namespace {

// A field of the file as a fresh TagLib open sees it; empty when absent.
QString field(const QString &path, const char *name)
{
    TagLib::FileRef ref(QFile::encodeName(path).constData());
    if (ref.isNull())
        return QStringLiteral("<unreadable>");
    const TagLib::PropertyMap properties = ref.file()->properties();
    if (!properties.contains(name) || properties[name].isEmpty())
        return {};
    return QString::fromStdWString(properties[name].front().toWString());
}

void setField(const QString &path, const char *name, const QString &value)
{
    TagLib::FileRef ref(QFile::encodeName(path).constData());
    ASSERT_FALSE(ref.isNull());
    TagLib::PropertyMap properties = ref.file()->properties();
    properties.replace(name, TagLib::StringList(TagLib::String(value.toStdWString())));
    ref.file()->setProperties(properties);
    ASSERT_TRUE(ref.save());
}

class WriteThrough : public ::testing::Test {
protected:
    WriteThrough() : library(std::make_shared<MusicLibrary>(folder.filePath("library.sqlite"))) {}

    // A seed copy imported as the library's import reads it.
    MusicTrack imported(const QString &seed, const QString &name)
    {
        const QString path = folder.addSeed(seed, "music/" + name);
        return MusicTrack::withTrack(library, {library->importFile(libraryimport::readFile(path)), 0, 0}, port.get());
    }
    QVariant row(const MusicTrack &track, const QString &key) const { return library->property(*track.track(), key); }

    ScopedFakePort port;
    TestFolder folder;
    std::shared_ptr<MusicLibrary> library;
};

} // namespace

TEST_F(WriteThrough, EveryKeyAFileHoldsReachesEachFormatAndImportingAgainChangesNothing)
{
    for (const QString seed : {"seed.mp3", "seed.flac", "seed.ogg", "seed.m4a"}) {
        SCOPED_TRACE(seed.toStdString());
        const MusicTrack track = imported(seed, "a." + seed.section('.', 1));
        const QString path = track.location();
        setField(path, "TRACKNUMBER", "3/12");
        ASSERT_EQ(library->importFile(libraryimport::readFile(path)), track.track()->trackId);

        track.setTag("albumArtist", "Various Ärtists");
        track.setTag("composer", "Com Poser");
        track.setTag("lyrics", "la la\nla");
        track.setTag("discNumber", 2);
        track.setTag("bpm", 128);
        track.setTag("title", "Retitled");
        track.setTag("year", 1999);
        // A number keeps its total, and a total its number.
        track.setTag("trackNumber", 5);
        EXPECT_EQ(row(track, "trackCount"), 12);
        track.setTag("trackCount", 20);
        track.setTag("playedCount", 4);

        EXPECT_EQ(field(path, "ALBUMARTIST"), "Various Ärtists");
        EXPECT_EQ(field(path, "COMPOSER"), "Com Poser");
        EXPECT_EQ(field(path, "LYRICS"), "la la\nla");
        EXPECT_EQ(field(path, "DISCNUMBER").section('/', 0, 0), "2");
        EXPECT_EQ(field(path, "BPM"), "128");
        EXPECT_EQ(field(path, "TITLE"), "Retitled");
        EXPECT_EQ(field(path, "DATE"), "1999");
        const QString number = field(path, "TRACKNUMBER");
        EXPECT_TRUE(number == "5/20" || (number == "5" && field(path, "TRACKTOTAL") == "20")) << number.toStdString();
        EXPECT_EQ(row(track, "albumArtist"), "Various Ärtists");
        EXPECT_EQ(row(track, "trackNumber"), 5);
        EXPECT_EQ(row(track, "trackCount"), 20);
        EXPECT_EQ(row(track, "playedCount"), 4);

        // The file and the row agree: reading the file again changes no row.
        const QByteArray bytes = TestFolder::readAll(path);
        const libraryimport::RefreshSummary again = libraryimport::refresh(*library, {*track.track()});
        EXPECT_EQ(again.unchanged, 1);
        EXPECT_EQ(again.changed, 0);
        EXPECT_EQ(row(track, "playedCount"), 4);
        EXPECT_EQ(TestFolder::readAll(path), bytes);
    }

    // An ID3v2.3 tag stays 2.3 and gains no ID3v1 tag.
    const MusicTrack v23 = imported("seed.mp3", "v23.mp3");
    v23.setTag("albumArtist", "Various");
    v23.setTag("trackCount", 9);
    v23.setTag("artist", "Someone");
    const QString mp3 = v23.location();
    EXPECT_EQ(field(mp3, "TRACKNUMBER"), "3/9");
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
    ASSERT_TRUE(file.hasID3v2Tag());
    EXPECT_EQ(file.ID3v2Tag()->header()->majorVersion(), 3u);
    EXPECT_FALSE(file.hasID3v1Tag());
}

TEST_F(WriteThrough, AFileThatCannotTakeTheValueChangesNeitherItNorTheRow)
{
    ReadOnlyPlace place(folder, "locked");
    if (place.available()) {
        const QString path = place.addSeed("seed.mp3", "locked.mp3");
        const MusicTrack locked =
            MusicTrack::withTrack(library, {library->importFile(libraryimport::readFile(path)), 0, 0}, port.get());
        const QVariant artist = row(locked, "artist");
        const QByteArray bytes = TestFolder::readAll(path);
        ASSERT_TRUE(place.lock());
        EXPECT_THROW(locked.setTag("artist", "Someone Else"), FileError);
        EXPECT_THROW(locked.setTag("composer", "Someone Else"), FileError);
        EXPECT_EQ(TestFolder::readAll(path), bytes);
        EXPECT_EQ(row(locked, "artist"), artist);
        EXPECT_FALSE(row(locked, "composer").isValid());
        // A key only the library keeps is no business of the file.
        locked.setTag("rating", 80);
        EXPECT_EQ(row(locked, "rating"), 80);
    }

    // A value no music file can store is refused before the file is touched.
    const MusicTrack plain = imported("seed.mp3", "plain.mp3");
    const QByteArray bytes = TestFolder::readAll(plain.location());
    const QVariant number = row(plain, "trackNumber");
    EXPECT_THROW(plain.setTag("trackNumber", -3), FileError);
    EXPECT_THROW(plain.setTag("year", "soon"), LibraryError);
    EXPECT_EQ(TestFolder::readAll(plain.location()), bytes);
    EXPECT_EQ(row(plain, "trackNumber"), number);

    // A file that is no longer music.
    const MusicTrack broken = imported("seed.flac", "broken.flac");
    QFile::resize(broken.location(), 10);
    EXPECT_THROW(broken.setTag("album", "New"), FileError);
    EXPECT_NE(row(broken, "album"), "New");

    // A dead track changes in the library alone.
    const MusicTrack dead = imported("seed.ogg", "dead.ogg");
    const QString deadPath = dead.location();
    QFile::remove(deadPath);
    dead.setTag("composer", "Ghost");
    EXPECT_EQ(row(dead, "composer"), "Ghost");
    EXPECT_FALSE(QFile::exists(deadPath));
}

TEST_F(WriteThrough, AnEditMadeOutsideIsNeverOverwrittenUnseen)
{
    const MusicTrack track = imported("seed.flac", "outside.flac");
    const QString path = track.location();
    track.setTag("album", "Ours");

    // Another program changes the album: writing ours over it is refused.
    setField(path, "ALBUM", "Theirs");
    const QByteArray bytes = TestFolder::readAll(path);
    try {
        track.setTag("album", "Ours Again");
        ADD_FAILURE() << "the outside edit was overwritten";
    } catch (const FileError &e) {
        EXPECT_TRUE(e.reason().contains("changed by another program")) << e.description().toStdString();
    }
    EXPECT_EQ(TestFolder::readAll(path), bytes);
    EXPECT_EQ(row(track, "album"), "Ours");
    // A key the outside edit left alone is still written.
    track.setTag("genre", "Jazz");
    EXPECT_EQ(field(path, "GENRE"), "Jazz");
    EXPECT_EQ(field(path, "ALBUM"), "Theirs");
    // That write did not make the row look in step: the album is still theirs.
    EXPECT_THROW(track.setTag("album", "Ours Again"), FileError);
    EXPECT_EQ(field(path, "ALBUM"), "Theirs");

    // A refresh takes the file's value; then the write goes through.
    const libraryimport::RefreshSummary refreshed = libraryimport::refresh(*library, library->allTracks());
    EXPECT_EQ(refreshed.changed, 1);
    EXPECT_EQ(row(track, "album"), "Theirs");
    track.setTag("album", "Ours Again");
    EXPECT_EQ(field(path, "ALBUM"), "Ours Again");

    // The apply engine's verified write on a library track goes through the same path.
    setField(path, "COMPOSER", "Them");
    EXPECT_THROW(track.setTagIfUnchanged("composer", "Us", {{"composer", QString()}}), FileError);
    EXPECT_EQ(field(path, "COMPOSER"), "Them");
}

TEST_F(WriteThrough, ValuesNeverSetReadAsTheLibrarysEmptyValues)
{
    const qint64 id = library->importFile({folder.filePath("nothing.mp3"), {{"name", "Quiet"}}});
    const MusicTrack track = MusicTrack::withTrack(library, {id, 0, 0}, port.get());
    EXPECT_EQ(track.valueForTag("playedCount"), QVariant(qlonglong(0)));
    EXPECT_EQ(track.valueForTag("rating"), QVariant(qlonglong(0)));
    const QVariant comment = track.valueForTag("comment");
    EXPECT_EQ(comment.typeId(), QMetaType::QString);
    EXPECT_TRUE(comment.toString().isEmpty());
    const QVariantHash values = track.valuesForTags({"genre", "skippedCount", "location"});
    EXPECT_EQ(values.value("genre"), QVariant(QString()));
    EXPECT_EQ(values.value("skippedCount"), QVariant(qlonglong(0)));
    EXPECT_FALSE(values.value("location").isValid()); // no file: absent, as a dead track's location is
}

TEST_F(WriteThrough, AFieldAddressReachesALibraryTracksFileAloneAndADeadTrackRefusesIt)
{
    const MusicTrack track = imported("seed.flac", "a.flac");
    const QString path = folder.filePath("music/a.flac");
    const QVariant title = row(track, "name");
    const QString mood = QStringLiteral("Vorbis:MOOD");
    EXPECT_FALSE(track.valueForTag(mood).isValid());

    ASSERT_TRUE(track.setTagIfUnchanged(mood, "calm", {{mood, QVariant()}}));
    EXPECT_EQ(field(path, "MOOD"), "calm");
    EXPECT_EQ(track.valueForTag(mood).toString(), "calm");
    EXPECT_EQ(MusicTrack::valuesForTracks({track}, {"name", mood}).front().value(mood).toString(), "calm");
    EXPECT_EQ(row(track, "name"), title);
    // Changed meanwhile: nothing written.
    EXPECT_FALSE(track.setTagIfUnchanged(mood, "loud", {{mood, "slow"}}));
    EXPECT_EQ(field(path, "MOOD"), "calm");

    // A dead track has no file to hold the field: refused, and its row is as it was.
    const MusicTrack dead = MusicTrack::withTrack(
        library, {library->importFile({folder.filePath("music/gone.flac"), {{"name", "Gone"}}}), 0, 0}, port.get());
    EXPECT_FALSE(dead.valueForTag(mood).isValid());
    EXPECT_THROW(dead.setTagIfUnchanged(mood, "calm", {{mood, QVariant()}}), FileError);
    EXPECT_EQ(row(dead, "name").toString(), "Gone");

    // An ASF attribute of a file track, set and removed.
    const QString wma = folder.addSeed("seed.wma", "music/b.wma");
    MusicTrack::withPath(wma).setTag("ASF:WM/Mood", "calm");
    EXPECT_EQ(field(wma, "MOOD"), "calm");
    MusicTrack::withPath(wma).setTag("ASF:WM/Mood", "");
    EXPECT_EQ(field(wma, "MOOD"), "");
    EXPECT_FALSE(field(wma, "TITLE").isEmpty());
}
