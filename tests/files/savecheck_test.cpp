// SPDX-License-Identifier: GPL-3.0-or-later
// The read-back after a save that looks at the tag alone: it must read what a
// full parse of the saved bytes reads, and only those bytes.
#include "files/checkedfilestream.h"
#include "files/savecheck.h"
#include "files/wavtags.h"
#include "testfiles.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

namespace savecheck {

// What a failed comparison shows.
void PrintTo(const Fields &fields, std::ostream *out)
{
    for (const char *key : {"artist", "name", "album", "comment", "genre", "year", "number"})
        *out << key << "=\"" << fields.value(QLatin1String(key)).toString().toStdString() << "\" ";
}

} // namespace savecheck

namespace {

struct Saved {
    savecheck::Fields quick;     // the tag-only read-back
    savecheck::Fields fullParse; // TagLib's parse of the whole saved file, through its union of tags (WAV: both tags)
    bool hadQuickPath = false;
};

QByteArray contents(CheckedFileStream &stream)
{
    QByteArray bytes(stream.length(), Qt::Uninitialized);
    stream.readAt(0, bytes.data(), bytes.size());
    return bytes;
}

void setEveryField(TagLib::Tag &tag)
{
    tag.setTitle("Quavertin read-back title");
    tag.setArtist("Read-back artist");
    tag.setAlbum("Read-back album");
    tag.setComment("Read-back comment");
    tag.setGenre("Read-back genre");
    tag.setYear(1987);
    tag.setTrack(11);
}

// Sets fields of the file (every one unless told), saves into the stream's
// edits and reads the fields back both ways. afterSave may alter the saved bytes.
Saved saveAndReadBack(const QString &path, const std::function<void(CheckedFileStream &)> &afterSave = {},
                      const std::function<void(TagLib::Tag &)> &set = setEveryField)
{
    CheckedFileStream stream(path, CheckedFileStream::Access::ReadWrite);
    Saved saved;
    {
        TagLib::FileRef ref(&stream, false);
        TagLib::Tag *tag = ref.tag();
        EXPECT_NE(tag, nullptr) << path.toStdString();
        if (!tag)
            return saved;
        set(*tag);
        EXPECT_TRUE(ref.save()) << path.toStdString();
        if (afterSave)
            afterSave(stream);
        const std::optional<savecheck::Fields> quick = savecheck::fieldsAfterSave(ref.file(), stream);
        saved.hadQuickPath = quick.has_value();
        saved.quick = quick.value_or(savecheck::Fields());
    }
    stream.seek(0);
    TagLib::FileRef again(&stream, false);
    if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(again.file()))
        saved.fullParse = savecheck::fields(WavTags(*wav));
    else if (again.tag())
        saved.fullParse = savecheck::fields(*again.tag());
    return saved;
}

TEST(SaveCheck, TheTagOnlyReadBackReadsWhatAFullParseReads)
{
    TestFolder folder;
    for (const char *name : {"seed.mp3", "seed.m4a", "seed.flac", "seed.ogg"}) {
        SCOPED_TRACE(name);
        const Saved saved = saveAndReadBack(folder.addSeed(name, name));
        ASSERT_TRUE(saved.hadQuickPath);
        EXPECT_EQ(saved.quick, saved.fullParse);
        EXPECT_EQ(saved.quick.value("name").toString(), QStringLiteral("Quavertin read-back title"));
        EXPECT_EQ(saved.quick.value("comment").toString(), QStringLiteral("Read-back comment"));
        EXPECT_EQ(saved.quick.value("year").toUInt(), 1987u);
        EXPECT_EQ(saved.quick.value("number").toUInt(), 11u);
    }
}

TEST(SaveCheck, TheTagOnlyReadBackSeesTheSavedBytesNotTheTagInMemory)
{
    TestFolder folder;
    for (const char *name : {"seed.mp3", "seed.m4a", "seed.flac", "seed.ogg"}) {
        SCOPED_TRACE(name);
        // A save that garbled its own title on the way to the bytes.
        const Saved saved = saveAndReadBack(folder.addSeed(name, name), [](CheckedFileStream &stream) {
            const qsizetype at = contents(stream).indexOf("Quavertin read-back");
            ASSERT_GE(at, 0);
            stream.seek(long(at));
            stream.writeBlock(TagLib::ByteVector("Xuavertin"));
        });
        ASSERT_TRUE(saved.hadQuickPath);
        EXPECT_EQ(saved.quick.value("name").toString(), QStringLiteral("Xuavertin read-back title"));
        EXPECT_EQ(saved.quick, saved.fullParse);
    }
}

TEST(SaveCheck, AnId3v2TagIsReadFromTheSavedBytesInEitherVersion)
{
    TestFolder folder;
    const auto setTitle = [](TagLib::Tag &tag) { tag.setTitle("Quavertin title only"); };
    // ID3v2.3 as the seed has it, and ID3v2.4 after a save in that version.
    const QString v23 = folder.addSeed("seed.mp3", "v23.mp3");
    const QString v24 = folder.addSeed("seed.mp3", "v24.mp3");
    {
        TagLib::MPEG::File mpeg(v24.toLocal8Bit().constData(), false);
        mpeg.ID3v2Tag(true)->setAlbum("An album of v2.4");
        ASSERT_TRUE(mpeg.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4));
    }
    for (const QString &path : {v23, v24}) {
        SCOPED_TRACE(path.toStdString());
        const Saved titleOnly = saveAndReadBack(path, {}, setTitle);
        EXPECT_EQ(titleOnly.quick, titleOnly.fullParse);
        EXPECT_EQ(titleOnly.quick.value("name").toString(), QStringLiteral("Quavertin title only"));

        // Another frame that differs after the save is read from the saved bytes.
        const Saved albumChanged = saveAndReadBack(
            path,
            [](CheckedFileStream &stream) {
                const QByteArray bytes = contents(stream);
                const qsizetype talb = bytes.indexOf("TALB");
                ASSERT_GT(talb, 0);
                stream.seek(long(talb + 11));
                stream.writeBlock(TagLib::ByteVector("Z"));
            },
            setTitle);
        EXPECT_EQ(albumChanged.quick, albumChanged.fullParse);
        EXPECT_TRUE(albumChanged.quick.value("album").toString().startsWith('Z'));
    }
}

TEST(SaveCheck, EveryOtherFieldIsReadFromTheSavedBytesWhenTheyDiffer)
{
    TestFolder folder;
    const auto setTitle = [](TagLib::Tag &tag) { tag.setTitle("Quavertin title only"); };
    for (const char *name : {"seed.mp3", "seed.m4a", "seed.flac", "seed.ogg", "seed.wav"}) {
        SCOPED_TRACE(name);
        const QString path = folder.addSeed(name, name);
        {
            // Saved once by TagLib, so that a title save keeps the other fields' bytes.
            TagLib::FileRef ref(path.toLocal8Bit().constData(), false);
            ASSERT_NE(ref.tag(), nullptr);
            ref.tag()->setAlbum("Album kept as it was");
            ref.tag()->setArtist("Artist kept as it was");
            ASSERT_TRUE(ref.save());
        }
        const Saved titleOnly = saveAndReadBack(path, {}, setTitle);
        ASSERT_TRUE(titleOnly.hadQuickPath);
        EXPECT_EQ(titleOnly.quick, titleOnly.fullParse);
        EXPECT_EQ(titleOnly.quick.value("name").toString(), QStringLiteral("Quavertin title only"));
        EXPECT_EQ(titleOnly.quick.value("album").toString(), QStringLiteral("Album kept as it was"));

        // A field the save was not asked to change, changed in the saved bytes.
        const Saved albumChanged = saveAndReadBack(
            path,
            [](CheckedFileStream &stream) {
                const qsizetype at = contents(stream).indexOf("Album kept");
                ASSERT_GE(at, 0);
                stream.seek(long(at));
                stream.writeBlock(TagLib::ByteVector("Z"));
            },
            setTitle);
        ASSERT_TRUE(albumChanged.hadQuickPath);
        EXPECT_EQ(albumChanged.quick.value("album").toString(), QStringLiteral("Zlbum kept as it was"));
        EXPECT_EQ(albumChanged.quick, albumChanged.fullParse);
    }
}

TEST(SaveCheck, LayoutsWhoseTagTagLibMightFindElsewhereAreParsedWhole)
{
    TestFolder folder;
    // An ID3v1 tag after a FLAC stream joins its fields; an MP4 file without
    // user data in its movie; an Ogg stream interleaved with another.
    const QByteArray flac = TestFolder::readAll(TestFolder::seedPath("seed.flac"));
    const QString flacWithId3v1 = folder.addFile("v1.flac", flac + "TAG" + QByteArray(125, ' '));
    EXPECT_FALSE(saveAndReadBack(flacWithId3v1).hadQuickPath);

    QByteArray ogg = TestFolder::readAll(TestFolder::seedPath("seed.ogg"));
    ASSERT_TRUE(ogg.startsWith("OggS"));
    const qsizetype secondPage = ogg.indexOf("OggS", 4);
    ASSERT_GT(secondPage, 0);
    ogg[secondPage + 14] = char(ogg[secondPage + 14] ^ 0x5a); // another stream's serial number
    EXPECT_FALSE(saveAndReadBack(folder.addFile("mixed.ogg", ogg)).hadQuickPath);
}

} // namespace

// What a save would lose is told by the first field that differs, the written
// one aside, in the same order in every process.
TEST(SaveCheck, ALostFieldIsNamedFirstOfTheFieldsInTheirOrder)
{
    TagLib::ID3v2::Tag before;
    setEveryField(before);
    TagLib::ID3v2::Tag after;
    setEveryField(after);
    const auto lost = [&](const QString &written) {
        return savecheck::lostField(savecheck::fields(before), savecheck::fields(after), written);
    };
    EXPECT_EQ(lost("artist"), "");
    after.setTitle("Another title");
    EXPECT_EQ(lost("title"), "");
    EXPECT_EQ(lost("name"), "");
    after.setGenre("Lost genre");
    after.setAlbum("Lost album");
    EXPECT_EQ(lost("name"), "change its album from \"Read-back album\" to \"Lost album\"");
    EXPECT_EQ(lost("album"), "change its title from \"Quavertin read-back title\" to \"Another title\"");
    after.setTitle("Quavertin read-back title");
    after.setAlbum("Read-back album");
    EXPECT_EQ(lost("artist"), "change its genre from \"Read-back genre\" to \"Lost genre\"");
    EXPECT_EQ(lost("genre"), "");
    after.setGenre("Read-back genre");
    after.setTrack(0);
    EXPECT_EQ(lost("name"), "change its number from \"11\" to \"0\"");
    EXPECT_EQ(savecheck::fields(before).value("number").toUInt(), 11u);
    EXPECT_FALSE(savecheck::fields(before).value("track").isValid());
}
