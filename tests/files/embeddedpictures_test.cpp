// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures go into every format that holds them and come back byte for byte,
// while the audio (decoded) and every other field stay as they were.
#include "files/embeddedpictures.h"
#include "files/filetags.h"
#include "files/musicfiles.h"
#include "support/namedexception.h"
#include "testfiles.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <taglib/mpegfile.h>

namespace {

const QStringList fieldKeys = {"name", "artist", "album", "comment", "genre", "year", "number"};

// The MD5 of the decoded audio, as ffmpeg's decoders see it.
QByteArray decodedAudio(const QString &path)
{
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-loglevel", "error", "-i", path, "-map", "0:a", "-f", "md5", "-"});
    EXPECT_TRUE(ffmpeg.waitForFinished(60000)) << path.toStdString();
    const QByteArray md5 = ffmpeg.readAllStandardOutput().trimmed();
    EXPECT_TRUE(md5.startsWith("MD5=")) << path.toStdString() << ffmpeg.readAllStandardError().toStdString();
    return md5;
}

EmbeddedPicture imagePicture(const QString &seed, int type, const QString &description)
{
    const QByteArray data = TestFolder::readAll(TestFolder::seedPath(seed));
    return EmbeddedPicture{type, embeddedpictures::mimeOf(data), description, data};
}

int id3v2Version(const QString &path)
{
    const QByteArray head = TestFolder::readAll(path).left(4);
    return head.startsWith("ID3") ? head.at(3) : 0;
}

} // namespace

TEST(EmbeddedPictures, ImagesAreKnownByTheirBytesAndValueTextsSurviveOddDescriptions)
{
    const EmbeddedPicture jpeg = imagePicture("cover.jpg", 3, "a; “quoted”\\ one");
    const EmbeddedPicture png = imagePicture("cover.png", 4, {});
    EXPECT_EQ(jpeg.mime, "image/jpeg");
    EXPECT_EQ(png.mime, "image/png");
    EXPECT_EQ(embeddedpictures::pixelSize(jpeg.data), QSize(64, 48));
    EXPECT_EQ(embeddedpictures::pixelSize(png.data), QSize(40, 30));
    EXPECT_FALSE(embeddedpictures::pixelSize("GIF89a....").isValid());
    EXPECT_FALSE(embeddedpictures::pixelSize(jpeg.data.left(20)).isValid());
    EXPECT_EQ(embeddedpictures::typeNamed("back"), 4);
    EXPECT_EQ(embeddedpictures::typeNamed("Front Cover"), 3);
    EXPECT_EQ(embeddedpictures::typeNamed("7"), 7);
    EXPECT_EQ(embeddedpictures::typeNamed("21"), std::nullopt);
    EXPECT_EQ(embeddedpictures::typeNamed("sideways"), std::nullopt);

    const QString value = embeddedpictures::valueOf({jpeg, png});
    EXPECT_TRUE(value.startsWith("Front Cover, image/jpeg, 64×48, ")) << value.toStdString();
    const auto back = embeddedpictures::picturesOf(value);
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(back->size(), 2);
    EXPECT_EQ(back->at(0).description, jpeg.description);
    EXPECT_EQ(back->at(0).data, jpeg.data);
    EXPECT_EQ(back->at(1).type, 4);
    EXPECT_EQ(back->at(1).data, png.data);
    EXPECT_EQ(embeddedpictures::hashesOf(value),
              QStringList({embeddedpictures::hashOf(jpeg.data), embeddedpictures::hashOf(png.data)}));
    EXPECT_EQ(embeddedpictures::shortSummary(value).count('\n'), 1);
    // Bytes nobody kept cannot be written: the text alone is no picture.
    EXPECT_EQ(embeddedpictures::picturesOf("Front Cover, image/jpeg, 1 KB #00000000000000ff"), std::nullopt);
    EXPECT_EQ(embeddedpictures::picturesOf("not a picture"), std::nullopt);
}

TEST(EmbeddedPictures, EveryFormatTakesReplacesAndLosesPicturesWithItsAudioAndFieldsUnchanged)
{
    TestFolder folder;
    // The MP3 seed has an ID3v2.3 tag; a copy is made ID3v2.4 to see both kept.
    const QString v24 = folder.addSeed("seed.mp3", "v24.mp3");
    {
        TagLib::MPEG::File file(QFile::encodeName(v24).constData());
        ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4));
    }
    QStringList paths{v24};
    for (const QString seed : {"seed.mp3", "seed.flac", "seed.ogg", "seed.opus", "seed.m4a", "seed.wv", "seed.wma"})
        paths << folder.addSeed(seed, "plain." + musicfiles::extensionOf(seed));

    const EmbeddedPicture front = imagePicture("cover.jpg", 3, "Front of it");
    const EmbeddedPicture back = imagePicture("cover.png", 4, "Back");
    const EmbeddedPicture otherFront = imagePicture("cover.png", 3, {});
    for (const QString &path : paths) {
        SCOPED_TRACE(path.toStdString());
        const QString extension = musicfiles::extensionOf(path);
        const QByteArray audio = decodedAudio(path);
        const QVariantHash fields = filetags::read(path, fieldKeys);
        const int version = id3v2Version(path);
        ASSERT_FALSE(filetags::read(path, {"pictures"}).value("pictures").isValid());

        for (const QList<EmbeddedPicture> &pictures :
             {QList<EmbeddedPicture>{front, back}, QList<EmbeddedPicture>{otherFront}, QList<EmbeddedPicture>{}}) {
            const QString meant = embeddedpictures::valueOf(embeddedpictures::asKeptByExtension(extension, pictures));
            filetags::write(path, "pictures", meant.isEmpty() ? QVariant() : QVariant(meant));
            const QString read = filetags::read(path, {"pictures"}).value("pictures").toString();
            EXPECT_EQ(read, meant);
            const auto back = embeddedpictures::picturesOf(read);
            ASSERT_TRUE(back.has_value());
            const QList<EmbeddedPicture> kept = embeddedpictures::asKeptByExtension(extension, pictures);
            ASSERT_EQ(back->size(), pictures.size());
            for (qsizetype i = 0; i < back->size(); ++i)
                EXPECT_EQ(back->at(i).data, kept.at(i).data) << i;
            EXPECT_EQ(filetags::read(path, fieldKeys), fields);
            EXPECT_EQ(decodedAudio(path), audio);
            EXPECT_EQ(id3v2Version(path), version);
        }
    }
    // A picture larger than an Ogg page spreads the comment over many pages,
    // which are no audio: the save is checked and kept all the same.
    QByteArray large = front.data;
    for (int i = 0; i < 3; ++i)
        large.insert(2, QByteArray("\xFF\xFE\xFF\xFF", 4) + QByteArray(0xFFFD, char('a' + i)));
    ASSERT_EQ(embeddedpictures::pixelSize(large), QSize(64, 48));
    for (const QString extension : {"ogg", "opus", "flac", "mp3"}) {
        const QString path = folder.filePath("plain." + extension);
        const QByteArray audio = decodedAudio(path);
        const QString meant = embeddedpictures::valueOf({{3, "image/jpeg", {}, large}});
        filetags::write(path, "pictures", meant);
        EXPECT_EQ(filetags::read(path, {"pictures"}).value("pictures").toString(), meant) << extension.toStdString();
        EXPECT_EQ(decodedAudio(path), audio) << extension.toStdString();
    }
    // MP4 keeps neither types nor descriptions: every picture is a front cover there.
    const QString m4a = folder.filePath("plain.m4a");
    const QString both = embeddedpictures::valueOf(embeddedpictures::asKeptByExtension("m4a", {front, back}));
    filetags::write(m4a, "pictures", both);
    EXPECT_EQ(embeddedpictures::picturesOf(filetags::read(m4a, {"pictures"}).value("pictures").toString())->at(1).type, 3);
}

TEST(EmbeddedPictures, UnknownBytesAndFilesThatLieAboutTheirBlocksAreRefusedAndLeftWhole)
{
    TestFolder folder;
    const QString flac = folder.addSeed("seed.flac", "a.flac");
    const EmbeddedPicture front = imagePicture("cover.jpg", 3, {});
    filetags::write(flac, "pictures", embeddedpictures::valueOf({front}));

    // A value naming bytes this process never saw writes nothing.
    QByteArray before = TestFolder::readAll(flac);
    EXPECT_THROW(filetags::write(flac, "pictures", "Front Cover, image/jpeg, 1 KB #00000000000000ff"), FileError);
    EXPECT_EQ(TestFolder::readAll(flac), before);

    // The PICTURE block (type 6) claims more bytes than it has: the save would
    // write over the audio, so it is refused as any tag save is.
    QByteArray lying = before;
    qsizetype at = 4;
    while (at + 4 <= lying.size() && (lying.at(at) & 0x7f) != 6) {
        const int length = (uchar(lying.at(at + 1)) << 16) | (uchar(lying.at(at + 2)) << 8) | uchar(lying.at(at + 3));
        ASSERT_FALSE(lying.at(at) & 0x80) << "no picture block found";
        at += 4 + length;
    }
    lying[at + 2] = char(uchar(lying.at(at + 2)) + 16);
    const QString liar = folder.addFile("liar.flac", lying);
    try {
        filetags::write(liar, "pictures", QVariant());
        ADD_FAILURE() << "a lying block was written over";
    } catch (const FileError &e) {
        EXPECT_TRUE(e.reason().startsWith("The file")) << e.reason().toStdString();
    }
    EXPECT_EQ(TestFolder::readAll(liar), lying);

}
