// SPDX-License-Identifier: GPL-3.0-or-later
// Saves into damaged and crafted files: a file the save does not fully
// understand is not written, and a save that is written keeps the audio, the
// other fields and the file's own properties.
#include "model/musictrack.h"
#include "support/namedexception.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

template <typename T> QByteArray bigEndian(T v)
{
    QByteArray bytes(sizeof v, Qt::Uninitialized);
    qToBigEndian(v, bytes.data());
    return bytes;
}

template <typename T> QByteArray littleEndian(T v)
{
    QByteArray bytes(sizeof v, Qt::Uninitialized);
    qToLittleEndian(v, bytes.data());
    return bytes;
}

QByteArray be32(quint32 v) { return bigEndian(v); }
QByteArray le16(quint16 v) { return littleEndian(v); }
QByteArray le32(quint32 v) { return littleEndian(v); }
QByteArray le64(quint64 v) { return littleEndian(v); }

QByteArray synchsafe(quint32 v)
{
    const char bytes[4] = {char((v >> 21) & 0x7f), char((v >> 14) & 0x7f), char((v >> 7) & 0x7f), char(v & 0x7f)};
    return QByteArray(bytes, 4);
}

QByteArray seed(const char *name)
{
    return TestFolder::readAll(TestFolder::seedPath(name));
}

// The seed MP3 is an ID3v2.3 tag of 179 bytes (frames up to byte 179, zero
// padding to 189) followed by its MPEG frames.
constexpr int mp3TagEnd = 189;

QByteArray withId3Size(QByteArray mp3, quint32 size)
{
    return mp3.replace(6, 4, synchsafe(size));
}

// The seed MP3 with its tag replaced by these ID3v2.3 frames and no padding.
QByteArray mp3WithFrames(const QByteArray &frames)
{
    return "ID3" + QByteArray("\x03\x00\x00", 3) + synchsafe(quint32(frames.size())) + frames + seed("seed.mp3").mid(mp3TagEnd);
}

QByteArray textFrame(const char *id, const QByteArray &text)
{
    return id + be32(quint32(text.size() + 1)) + QByteArray(2, 0) + QByteArray(1, 0) + text;
}

// An ID3v2.3 compressed frame: flags mark zlib data after its inflated size,
// which is what qCompress gives.
QByteArray compressedFrame(const char *id, const QByteArray &data)
{
    const QByteArray packed = qCompress(data, 9);
    return id + be32(quint32(packed.size())) + QByteArray("\x00\x80", 2) + packed;
}

// A FLAC picture block in front of the seed's other blocks.
QByteArray flacWithPicture(quint32 claimedDataSize)
{
    const QByteArray flac = seed("seed.flac");
    const QByteArray picture = be32(3) + be32(9) + "image/png" + be32(0) + QByteArray(16, 0) + be32(claimedDataSize) +
                               QByteArray(8, 'p');
    const QByteArray block = QByteArray(1, 6) + be32(quint32(picture.size())).mid(1) + picture;
    return flac.left(4 + 4 + 34) + block + flac.mid(4 + 4 + 34);
}

// A small ASF file: the header objects a reader needs, a title, the track
// number 7, extra objects, and a data object holding payload.
namespace asf {
const QByteArray header("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const QByteArray data("\x36\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const QByteArray fileProperties("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
const QByteArray streamProperties("\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65", 16);
const QByteArray content("\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const QByteArray extendedContent("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16);
const QByteArray headerExtension("\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65", 16);
const QByteArray extensionReserved("\x11\xD2\xD3\xAB\xBA\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65", 16);
const QByteArray metadataLibrary("\x94\x1C\x23\x44\x98\x94\xD1\x49\xA1\x41\x1D\x13\x4E\x45\x70\x54", 16);

QByteArray utf16(const QString &text)
{
    const QString terminated = text + QChar(0);
    return QByteArray(reinterpret_cast<const char *>(terminated.utf16()), terminated.size() * 2);
}

QByteArray object(const QByteArray &guid, const QByteArray &body)
{
    return guid + le64(quint64(24 + body.size())) + body;
}

QByteArray payload() { return QByteArray(4000, '\x5a'); }

QByteArray file(const QByteArray &extraObjects = {}, int extraCount = 0, quint64 headerSizeDelta = 0)
{
    const QByteArray title = utf16("Asf Title");
    const QByteArray artist = utf16("Asf Artist");
    QByteArray objects = object(fileProperties, QByteArray(80, 0)) + object(streamProperties, QByteArray(78, 0)) +
                         object(content, le16(quint16(title.size())) + le16(quint16(artist.size())) + le16(0) +
                                             le16(0) + le16(0) + title + artist);
    const QByteArray number = utf16("WM/TrackNumber");
    objects += object(extendedContent, le16(1) + le16(quint16(number.size())) + number + le16(3) + le16(4) + le32(7));
    objects += extraObjects;
    const QByteArray head = header + le64(quint64(30 + objects.size()) + headerSizeDelta) + le32(quint32(4 + extraCount)) +
                            QByteArray("\x01\x02", 2) + objects;
    return head + data + le64(quint64(50 + payload().size())) + QByteArray(16, 0) + le64(0) + QByteArray("\x01\x01", 2) +
           payload();
}

// A header extension holding one large text attribute.
QByteArray largeAttribute(const QString &name, const QByteArray &value)
{
    const QByteArray n = utf16(name);
    const QByteArray record = le16(0) + le16(0) + le16(quint16(n.size())) + le16(1) + le32(quint32(value.size())) + n + value;
    const QByteArray library = object(metadataLibrary, le16(1) + record);
    return object(headerExtension, extensionReserved + le16(6) + le32(quint32(library.size())) + library);
}
} // namespace asf

// A small TrueAudio file: its header, a seek table of one frame that claims
// frameSize bytes, and 300 bytes of audio.
QByteArray trueAudio(quint32 frameSize)
{
    const QByteArray header = "TTA1" + le16(1) + le16(1) + le16(16) + le32(44100) + le32(1000) + le32(0);
    return header + le32(frameSize) + le32(0) + QByteArray(300, '\x33');
}

namespace ogg {
// The checksum an Ogg page carries (polynomial 0x04c11db7, most significant bit first).
quint32 crc(const QByteArray &page)
{
    quint32 crc = 0;
    for (const char c : page) {
        crc ^= quint32(uchar(c)) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04c11db7u : crc << 1;
    }
    return crc;
}

// One page holding one packet; bodySize, when given, is what its segment table claims.
QByteArray page(int flags, quint64 granule, quint32 sequence, const QByteArray &packet, int bodySize = -1)
{
    const int size = bodySize < 0 ? int(packet.size()) : bodySize;
    QByteArray segments(size / 255, '\xff');
    segments += char(size % 255);
    QByteArray out = "OggS" + QByteArray(1, 0) + QByteArray(1, char(flags)) + le64(granule) + le32(0x5eed) +
                     le32(sequence) + le32(0) + QByteArray(1, char(segments.size())) + segments + packet;
    out.replace(22, 4, le32(crc(out)));
    return out;
}

QByteArray audio() { return QByteArray(200, '\x5a'); }

// An Ogg Speex stream: its header, a comment with a title and an artist, and
// one audio page whose segment table claims audioClaimed bytes.
QByteArray speex(int audioClaimed = int(audio().size()))
{
    QByteArray header = "Speex   " + QByteArray("speex-1.2").leftJustified(20, '\0') + le32(1) + le32(80) +
                        le32(8000) + le32(0) + le32(4) + le32(1) + le32(quint32(-1)) + le32(160) + le32(0) + le32(1) +
                        le32(0) + le32(0) + le32(0);
    const QByteArray vendor = "crafted";
    QByteArray comment = le32(quint32(vendor.size())) + vendor + le32(2);
    for (const QByteArray &field : {QByteArray("TITLE=Speex Title"), QByteArray("ARTIST=Speex Artist")})
        comment += le32(quint32(field.size())) + field;
    return page(2, 0, 0, header) + page(0, 0, 1, comment) + page(4, 160, 2, audio(), audioClaimed);
}
} // namespace ogg

// A write must fail naming the file and the problem, and leave every byte.
void expectRefused(const QString &path, const QString &problem)
{
    SCOPED_TRACE(path.toStdString());
    const QByteArray before = TestFolder::readAll(path);
    const MusicTrack track = MusicTrack::withPath(path);
    try {
        track.setTag("name", QString("Overwritten"));
        ADD_FAILURE() << "the save went ahead";
    } catch (const FileError &e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_TRUE(e.reason().contains(problem)) << e.reason().toStdString();
    }
    EXPECT_THROW(track.setTagIfUnchanged("album", QString("Overwritten"), {}), FileError);
    EXPECT_EQ(TestFolder::readAll(path), before);
}

struct stat statOf(const QString &path)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    return st;
}

} // namespace

TEST(SaveSafety, AnId3TagThatRunsIntoTheAudioOrHasAFramePastItsEndIsNotWritten)
{
    TestFolder folder;
    const QByteArray mp3 = seed("seed.mp3");
    // The declared size takes in 200 bytes of MPEG frames.
    const QString intoAudio = folder.addFile("into-audio.mp3", withId3Size(mp3, mp3TagEnd - 10 + 200));
    expectRefused(intoAudio, "its tag size runs into the audio");

    // The album frame claims 150 bytes where the tag has fewer left.
    QByteArray pastEnd = mp3;
    const qsizetype album = pastEnd.indexOf("TALB");
    ASSERT_GT(album, 0);
    pastEnd.replace(album + 4, 4, be32(150));
    const QString framePast = folder.addFile("frame-past.mp3", pastEnd);
    expectRefused(framePast, "has a frame (TALB) running past the end of its ID3v2 tag");
    // Still read as far as it goes.
    EXPECT_EQ(MusicTrack::withPath(framePast).title(), "Seed Title");

    // Reading is as good as before for both, and the seed itself is written.
    EXPECT_EQ(MusicTrack::withPath(intoAudio).artist(), "Seed Artist");
    const QString good = folder.addFile("good.mp3", mp3);
    MusicTrack::withPath(good).setTag("name", QString("Renamed"));
    EXPECT_EQ(MusicTrack::withPath(good).title(), "Renamed");
    EXPECT_EQ(MusicTrack::withPath(good).album(), "Seed Album");
}

TEST(SaveSafety, ACompressedFrameThatInflatesTooFarIsNotWrittenButASmallOneIs)
{
    TestFolder folder;
    const QByteArray title = textFrame("TIT2", "Bomb") + textFrame("TALB", "Kept");
    // 40 MiB of zeros pack into about 40 KB.
    const QString bomb =
        folder.addFile("bomb.mp3", mp3WithFrames(title + compressedFrame("PRIV", QByteArray(40 * 1024 * 1024, '\0'))));
    EXPECT_LT(QFile(bomb).size(), 100 * 1024);
    expectRefused(bomb, "has a compressed frame (PRIV) in its ID3v2 tag that inflates past 16 MiB");

    const QString small =
        folder.addFile("small.mp3", mp3WithFrames(title + compressedFrame("PRIV", "owner\0" + QByteArray(3000, 'x'))));
    MusicTrack::withPath(small).setTag("name", QString("Defused"));
    EXPECT_EQ(MusicTrack::withPath(small).title(), "Defused");
    EXPECT_EQ(MusicTrack::withPath(small).album(), "Kept");
    EXPECT_LT(QFile(small).size(), 8 * 1024);
}

TEST(SaveSafety, ContainerSizesThatClaimMoreThanTheFileHoldsAreNotWritten)
{
    TestFolder folder;
    // An MP4 atom claiming 4 GiB.
    const QString m4a = folder.addFile("huge-atom.m4a", seed("seed.m4a") + be32(0xfffffff0) + "free" + QByteArray(32, 0));
    expectRefused(m4a, "has an MP4 atom (free) claiming more bytes than the file holds");
    // A FLAC picture claiming 4 GiB inside its block.
    const QString flac = folder.addFile("huge-picture.flac", flacWithPicture(0xffffffff));
    expectRefused(flac, "has a picture block whose sizes do not fit it");
    EXPECT_EQ(MusicTrack::withPath(flac).title(), "Seed Title");
    // An ASF header claiming 16 EiB.
    const QString hugeAsf = folder.addFile("huge-header.asf", asf::file({}, 0, 0xfffffffffffff000ULL));
    expectRefused(hugeAsf, "ASF header claiming more bytes than the file holds");

    // The same layouts with honest sizes are written.
    const QString goodFlac = folder.addFile("picture.flac", flacWithPicture(8));
    MusicTrack::withPath(goodFlac).setTag("name", QString("Framed"));
    EXPECT_EQ(MusicTrack::withPath(goodFlac).title(), "Framed");
    EXPECT_TRUE(MusicTrack::withPath(goodFlac).valueForTag("cover").isValid());
    const QString goodAsf = folder.addFile("good.asf", asf::file());
    EXPECT_EQ(MusicTrack::withPath(goodAsf).title(), "Asf Title");
    MusicTrack::withPath(goodAsf).setTag("name", QString("Asf Renamed"));
    const QVariantHash values = MusicTrack::withPath(goodAsf).valuesForTags({"name", "artist", "number"});
    EXPECT_EQ(values.value("name"), QVariant(QString("Asf Renamed")));
    EXPECT_EQ(values.value("artist"), QVariant(QString("Asf Artist")));
    EXPECT_EQ(values.value("number"), QVariant(QString("7")));
    EXPECT_TRUE(TestFolder::readAll(goodAsf).endsWith(asf::payload()));
}

TEST(SaveSafety, TrueAudioAndSpeexFilesAreWrittenWholeAndLeftAloneWhenTheyLie)
{
    TestFolder folder;
    const QString tta = folder.addFile("whole.tta", trueAudio(300));
    ASSERT_EQ(MusicTrack::withPath(tta).title(), "");
    MusicTrack::withPath(tta).setTag("name", QString("Tta Title"));
    EXPECT_EQ(MusicTrack::withPath(tta).title(), "Tta Title");
    EXPECT_TRUE(TestFolder::readAll(tta).endsWith(trueAudio(300).mid(22))) << "the seek table and audio are kept";
    // The seek table claims more audio than the file holds.
    expectRefused(folder.addFile("lying.tta", trueAudio(30000)), "is cut off: it ends in the middle of its audio");

    const QString spx = folder.addFile("whole.spx", ogg::speex());
    ASSERT_EQ(MusicTrack::withPath(spx).title(), "Speex Title");
    MusicTrack::withPath(spx).setTag("name", QString("Speex Renamed"));
    EXPECT_EQ(MusicTrack::withPath(spx).title(), "Speex Renamed");
    EXPECT_EQ(MusicTrack::withPath(spx).artist(), "Speex Artist");
    EXPECT_TRUE(TestFolder::readAll(spx).endsWith(ogg::audio()));
    // The audio page's segment table claims more than follows it.
    const QString lyingSpx = folder.addFile("lying.spx", ogg::speex(250));
    expectRefused(lyingSpx, "is cut off in the middle of an Ogg page");
    EXPECT_EQ(MusicTrack::withPath(lyingSpx).title(), "Speex Title");
}

TEST(SaveSafety, ALargeAsfAttributeIsKeptOrTheFileLeftAlone)
{
    TestFolder folder;
    QByteArray big = asf::utf16(QString(1024 * 1024, QChar(u'c')));
    const QString path = folder.addFile("big.asf", asf::file(asf::largeAttribute("WM/Lyrics", big), 1));
    ASSERT_GT(QFile(path).size(), 2 * 1024 * 1024);
    const QByteArray before = TestFolder::readAll(path);
    const MusicTrack track = MusicTrack::withPath(path);
    try {
        track.setTag("name", QString("Big Renamed"));
        const QByteArray after = TestFolder::readAll(path);
        EXPECT_TRUE(after.contains(big));
        EXPECT_TRUE(after.endsWith(asf::payload()));
        EXPECT_EQ(track.valueForTag("number"), QVariant(QString("7")));
        EXPECT_EQ(track.title(), "Big Renamed");
    } catch (const FileError &e) {
        EXPECT_TRUE(e.reason().contains("the file was left as it was")) << e.reason().toStdString();
        EXPECT_EQ(TestFolder::readAll(path), before);
    }
}

TEST(SaveSafety, CutOffFilesAreNotWrittenAndStillRead)
{
    TestFolder folder;
    struct Cut {
        const char *seed;
        qsizetype length;
        const char *problem;
    };
    const Cut cuts[] = {
        {"seed.flac", 8422, "is cut off: it ends before its audio"},
        {"seed.ogg", 3600, "is cut off in the middle of an Ogg page"},
        {"seed.wav", 1000, "is cut off: its RIFF header claims more bytes than the file holds"},
    };
    for (const Cut &cut : cuts) {
        const QString path = folder.addFile(QString("cut-%1").arg(cut.seed), seed(cut.seed).left(cut.length));
        expectRefused(path, cut.problem);
        EXPECT_EQ(MusicTrack::withPath(path).title(), "Seed Title") << cut.seed;
    }
    // An MP4 file whose media data comes last, cut in it.
    const QByteArray m4a = seed("seed.m4a");
    const QByteArray mdatLast = m4a.left(36) + m4a.mid(601) + m4a.mid(36, 565);
    const QString cutM4a = folder.addFile("cut-seed.m4a", mdatLast.left(mdatLast.size() - 100));
    expectRefused(cutM4a, "has an MP4 atom (mdat) claiming more bytes than the file holds");
    EXPECT_EQ(MusicTrack::withPath(cutM4a).title(), "Seed Title");
    // Cut inside the tag or the headers, where nothing can be read either.
    for (const char *name : {"seed.mp3", "seed.flac", "seed.ogg", "seed.m4a", "seed.wav"}) {
        for (const qsizetype length : {qsizetype(12), qsizetype(60)}) {
            const QString path = folder.addFile(QString("short-%1-%2").arg(length).arg(name), seed(name).left(length));
            expectRefused(path, "");
        }
    }
}

// Real MP3s often end in a short frame or in junk after the last whole
// frame (cut downloads, encoders' leftovers), sometimes with an ID3v1 tag
// added after the cut. A save of the tag at the start leaves all of that as
// it was, so they are written.
TEST(SaveSafety, AnMp3EndingInAShortFrameOrJunkIsWrittenKeepingItsEnd)
{
    TestFolder folder;
    const QByteArray mp3 = seed("seed.mp3");
    const QByteArray cut = mp3.left(mp3.size() - 10);
    // Junk that begins like a frame header claiming more bytes than follow.
    const QByteArray junk = mp3 + QByteArray("\xff\xfb\x90\x00", 4) + QByteArray(30, '\x01');
    QByteArray id3v1 = "TAG" + QByteArray("V1 Title").leftJustified(30, '\0') + QByteArray(95, '\0');
    id3v1[127] = char(0xff); // no genre
    for (const QByteArray &tail : {QByteArray(), id3v1}) {
        for (const QByteArray &bytes : {cut, junk}) {
            const QString path = folder.addFile(QString("odd-end-%1-%2.mp3").arg(bytes.size()).arg(tail.size()), bytes + tail);
            const MusicTrack track = MusicTrack::withPath(path);
            track.setTag("name", QString("Written Title"));
            EXPECT_EQ(MusicTrack::withPath(path).title(), "Written Title");
            const QByteArray after = TestFolder::readAll(path);
            EXPECT_TRUE(after.chopped(tail.size()).endsWith(bytes.mid(mp3TagEnd))) << path.toStdString();
            if (!tail.isEmpty()) {
                EXPECT_TRUE(after.right(128).startsWith("TAGWritten Title")) << path.toStdString();
            }
        }
    }
}

// TagLib writes the lengths of an ASF Content Description in 16 bits: with a
// comment of 1 MiB they wrap round, the fields no longer fill the object, and
// a title edit saved from what was read back shrank the file and lost the
// comment and the track number. A count of extended attributes short of the
// records the object holds loses the others the same way.
TEST(SaveSafety, AnAsfObjectWhoseFieldsDoNotFillItIsNotWritten)
{
    TestFolder folder;
    const QString wrapped = folder.addFile("wrapped.asf", asf::file());
    {
        TagLib::ASF::File file(QFile::encodeName(wrapped).constData());
        ASSERT_TRUE(file.isValid());
        file.tag()->setComment(TagLib::String(std::string(1024 * 1024, 'c')));
        file.tag()->setTrack(5);
        ASSERT_TRUE(file.save());
    }
    ASSERT_GT(QFileInfo(wrapped).size(), 2 * 1024 * 1024);
    expectRefused(wrapped, "The file has an ASF Content Description object whose fields do not fill it exactly; "
                           "it was not written");

    QByteArray counted = asf::file();
    counted[counted.indexOf(asf::extendedContent) + 24] = 0; // no attributes, but WM/TrackNumber follows
    expectRefused(folder.addFile("counted.asf", counted),
                  "The file has an ASF Extended Content Description object whose fields do not fill it exactly");

    // Fields that fill their objects exactly are written, the other fields kept.
    const QString good = folder.addFile("exact.asf", asf::file());
    MusicTrack::withPath(good).setTag("name", QString("Exact"));
    EXPECT_EQ(MusicTrack::withPath(good).title(), "Exact");
    EXPECT_EQ(MusicTrack::withPath(good).valueForTag("number"), QVariant(QString("7")));
}

TEST(SaveSafety, ASaveKeepsTheFilesPropertiesAndRewritesNoAudioWhenItFits)
{
    TestFolder folder;
    // A title that fits the padding is written where the old one was.
    const QString padded = folder.addSeed("seed.mp3", "padded.mp3");
    const QByteArray audio = TestFolder::readAll(padded).mid(mp3TagEnd);
    const ino_t paddedInode = statOf(padded).st_ino;
    MusicTrack::withPath(padded).setTag("name", QString("Seed Tit"));
    EXPECT_EQ(statOf(padded).st_ino, paddedInode);
    EXPECT_EQ(TestFolder::readAll(padded).mid(mp3TagEnd), audio);

    // One that does not is saved through a copy that keeps what the file had.
    const QString grown = folder.addSeed("seed.flac", "grown.flac");
    ASSERT_EQ(::chmod(QFile::encodeName(grown).constData(), 0640), 0);
    const bool attributes = ::setxattr(QFile::encodeName(grown).constData(), "user.rating", "5", 1, 0) == 0;
    const QByteArray flacAudio = TestFolder::readAll(grown).mid(8422);
    // An access time ahead of the modification time, which reads leave alone.
    const timespec times[2] = {{2000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(grown).constData(), times, 0), 0);
    MusicTrack::withPath(grown).setTag("comment", QString(20000, 'c'));
    const struct stat after = statOf(grown);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_atim.tv_sec, 2000000000);
    EXPECT_GT(after.st_mtim.tv_sec, 1000000000);
    if (attributes) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(QFile::encodeName(grown).constData(), "user.rating", value, sizeof value), 1);
        EXPECT_STREQ(value, "5");
    }
    EXPECT_TRUE(TestFolder::readAll(grown).endsWith(flacAudio));
    EXPECT_EQ(MusicTrack::withPath(grown).title(), "Seed Title");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"grown.flac", "padded.mp3"}));

    // A file with two names keeps both: it is rewritten in place.
    const QString first = folder.addSeed("seed.ogg", "first.ogg");
    const QString second = folder.filePath("second.ogg");
    ASSERT_EQ(::link(QFile::encodeName(first).constData(), QFile::encodeName(second).constData()), 0);
    MusicTrack::withPath(first).setTag("comment", QString(9000, 'o'));
    EXPECT_EQ(statOf(first).st_ino, statOf(second).st_ino);
    EXPECT_EQ(MusicTrack::withPath(second).valueForTag("comment"), QVariant(QString(9000, 'o')));
    EXPECT_EQ(MusicTrack::withPath(second).album(), "Seed Album");
}

TEST(SaveSafety, ALargeFileIsSavedThroughACopyThatKeepsItsPropertiesOrItsLinks)
{
    TestFolder folder;
    // The seed WAV with 17 MiB of sound: more than is rewritten from memory.
    QByteArray wav = seed("seed.wav");
    const qsizetype dataAt = wav.indexOf("data");
    ASSERT_GT(dataAt, 0);
    QByteArray sound(17 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < sound.size(); ++i)
        sound[i] = char(i * 7 + i / 4096);
    wav = wav.left(dataAt) + "data" + le32(quint32(sound.size())) + sound;
    wav.replace(4, 4, le32(quint32(wav.size() - 8)));
    const QString path = folder.addFile("large.wav", wav);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0604), 0);
    const bool attributes = ::setxattr(QFile::encodeName(path).constData(), "user.mood", "calm", 4, 0) == 0;
    const timespec times[2] = {{2000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    const ino_t inode = statOf(path).st_ino;

    MusicTrack::withPath(path).setTag("comment", QString(20000, 'w'));
    const struct stat after = statOf(path);
    EXPECT_NE(after.st_ino, inode);
    EXPECT_EQ(after.st_mode & 07777, 0604u);
    EXPECT_EQ(after.st_atim.tv_sec, 2000000000);
    if (attributes) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(QFile::encodeName(path).constData(), "user.mood", value, sizeof value), 4);
        EXPECT_STREQ(value, "calm");
    }
    const QByteArray saved = TestFolder::readAll(path);
    EXPECT_TRUE(saved.contains(sound));
    EXPECT_EQ(MusicTrack::withPath(path).valueForTag("comment"), QVariant(QString(20000, 'w')));
    EXPECT_EQ(MusicTrack::withPath(path).title(), "Seed Title");

    // With a second name the file keeps its inode and both names see the change.
    const QString other = folder.filePath("other.wav");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    MusicTrack::withPath(other).setTag("comment", QString(40000, 'v'));
    EXPECT_EQ(statOf(path).st_ino, statOf(other).st_ino);
    EXPECT_EQ(MusicTrack::withPath(path).valueForTag("comment"), QVariant(QString(40000, 'v')));
    EXPECT_TRUE(TestFolder::readAll(path).contains(sound));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"large.wav", "other.wav"}));
}
