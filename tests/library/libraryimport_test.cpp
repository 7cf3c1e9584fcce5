// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/libraryimport.h"
#include "librarybuilder.h"
#include "support/namedexception.h"

#include <QRandomGenerator>
#include <QThread>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

namespace {

// Gives a copied seed the fields that the seeds themselves lack.
void addProperties(const QString &path, const QList<std::pair<const char *, QString>> &fields)
{
    TagLib::FileRef ref(QFile::encodeName(path).constData());
    ASSERT_FALSE(ref.isNull()) << path.toStdString();
    TagLib::PropertyMap properties = ref.file()->properties();
    for (const auto &[key, value] : fields)
        properties.replace(key, TagLib::StringList(TagLib::String(value.toStdWString())));
    ref.file()->setProperties(properties);
    ASSERT_TRUE(ref.save());
}

QByteArray randomBytes(int size, quint32 seed)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator gen(seed);
    for (char &c : bytes)
        c = char(gen.bounded(256));
    return bytes;
}

// The MP3 seed's audio behind an ID3v2.3 tag of chapter frames nested depth
// deep: TagLib parses each level by recursion.
QByteArray nestedChapters(int depth)
{
    const auto frame = [](const char *id, const QByteArray &body) {
        QByteArray size(4, '\0');
        qToBigEndian<quint32>(quint32(body.size()), size.data());
        return QByteArray(id) + size + QByteArray(2, '\0') + body;
    };
    QByteArray inner = frame("TIT2", QByteArray(1, '\0') + "deep");
    for (int i = 0; i < depth; ++i)
        inner = frame("CHAP", QByteArray("c", 2) + QByteArray(16, '\0') + inner);
    const quint32 n = quint32(inner.size());
    QByteArray tag = QByteArray("ID3\x03\x00\x00", 6);
    for (int shift : {21, 14, 7, 0})
        tag += char((n >> shift) & 0x7f);
    const QByteArray seed = TestFolder::readAll(TestFolder::seedPath("seed.mp3"));
    const int oldTag = 10 + ((seed[6] & 0x7f) << 21 | (seed[7] & 0x7f) << 14 | (seed[8] & 0x7f) << 7 | (seed[9] & 0x7f));
    return tag + inner + seed.mid(oldTag);
}

TEST(LibraryImport, DeeplyNestedTagsDoNotOverflowTheCallersStack)
{
    LibraryBuilder b;
    b.folder().addFile("in/nested.mp3", nestedChapters(3000));
    // Three thousand levels overflow a 512 KiB stack when parsed on it.
    libraryimport::Summary summary;
    std::unique_ptr<QThread> small(QThread::create([&] {
        summary = libraryimport::importFolder(b.library(), b.folder().filePath("in"));
    }));
    small->setStackSize(512 * 1024);
    small->start();
    ASSERT_TRUE(small->wait(60000));
    EXPECT_EQ(summary.added, 1);
    EXPECT_TRUE(summary.failures.isEmpty());
}

TEST(LibraryImport, NestingDeeperThanAnyRealFileIsReportedUnread)
{
    LibraryBuilder b;
    // The seed M4A followed by container atoms nested more than a million deep.
    const int depth = 1100000;
    QByteArray atoms;
    atoms.reserve(8 * depth);
    for (int level = 0; level < depth; ++level) {
        QByteArray size(4, '\0');
        qToBigEndian<quint32>(quint32(8 * (depth - level)), size.data());
        atoms += size + "udta";
    }
    const QByteArray bytes = TestFolder::readAll(TestFolder::seedPath("seed.m4a")) + atoms;
    const QString deep = b.folder().addFile("in/deep.m4a", bytes);
    b.folder().addSeed("seed.mp3", "in/fine.mp3");

    const libraryimport::Summary summary = libraryimport::importFolder(b.library(), b.folder().filePath("in"));
    EXPECT_EQ(summary.added, 1);
    ASSERT_EQ(summary.failures.size(), 1);
    EXPECT_EQ(summary.failures[0].path, deep);
    EXPECT_TRUE(summary.failures[0].reason.contains("too deeply")) << summary.failures[0].reason.toStdString();
    EXPECT_THROW(libraryimport::readFile(deep), FileError);
    EXPECT_EQ(TestFolder::readAll(deep), bytes);
}

TEST(LibraryImport, ReadsEveryFieldTheFileHas)
{
    TestFolder folder;
    const QString path = folder.addSeed("seed.flac", "x.flac");
    addProperties(path, {{"ALBUMARTIST", "Various Ärtists"},
                         {"COMPOSER", "J. S. Bach"},
                         {"LYRICS", "la la\nla"},
                         {"TRACKNUMBER", "4/12"},
                         {"DISCNUMBER", "2"},
                         {"DISCTOTAL", "3"},
                         {"BPM", "128"}});
    const ImportedFile file = libraryimport::readFile(path);
    const QVariantHash &v = file.values;
    EXPECT_EQ(file.location, path);
    EXPECT_EQ(v.value("name").toString(), "Seed Title");
    EXPECT_EQ(v.value("artist").toString(), "Seed Artist");
    EXPECT_EQ(v.value("album").toString(), "Seed Album");
    EXPECT_EQ(v.value("genre").toString(), "Rock");
    EXPECT_EQ(v.value("comment").toString(), "Seed comment");
    EXPECT_EQ(v.value("year").toLongLong(), 1999);
    EXPECT_EQ(v.value("albumArtist").toString(), "Various Ärtists");
    EXPECT_EQ(v.value("composer").toString(), "J. S. Bach");
    EXPECT_EQ(v.value("lyrics").toString(), "la la\nla");
    EXPECT_EQ(v.value("trackNumber").toLongLong(), 4);
    EXPECT_EQ(v.value("trackCount").toLongLong(), 12);
    EXPECT_EQ(v.value("discNumber").toLongLong(), 2);
    EXPECT_EQ(v.value("discCount").toLongLong(), 3);
    EXPECT_EQ(v.value("bpm").toLongLong(), 128);
    EXPECT_EQ(v.value("kind").toString(), "FLAC audio file");
    // A fifth of a second: the fraction survives.
    EXPECT_NEAR(v.value("duration").toDouble(), 0.2, 0.01);
    EXPECT_GT(v.value("bitRate").toLongLong(), 0);
}

TEST(LibraryImport, TextBeyondTheBasicPlaneIsReadWhole)
{
    TestFolder folder;
    const QString title = QStringLiteral("Moon \U0001F319 \U0001D11E clef");
    for (const QString &seed : {QStringLiteral("seed.flac"), QStringLiteral("seed.mp3")}) {
        const QString path = folder.addSeed(seed, "wide-" + seed);
        {
            TagLib::FileRef ref(QFile::encodeName(path).constData());
            ASSERT_FALSE(ref.isNull());
            ref.tag()->setTitle(TagLib::String(title.toStdString(), TagLib::String::UTF8));
            ASSERT_TRUE(ref.save());
        }
        EXPECT_EQ(libraryimport::readFile(path).values.value("name").toString(), title) << seed.toStdString();
    }
}

TEST(LibraryImport, EverySeedFormatIsRead)
{
    TestFolder folder;
    for (const QString &seed : seedNames()) {
        const ImportedFile file = libraryimport::readFile(folder.addSeed(seed, seed));
        EXPECT_EQ(file.values.value("name").toString(), "Seed Title") << seed.toStdString();
        EXPECT_GT(file.values.value("duration").toDouble(), 0.1) << seed.toStdString();
        EXPECT_FALSE(file.values.value("kind").toString().isEmpty()) << seed.toStdString();
    }
}

TEST(LibraryImport, BrokenFilesAreReportedAndPassedOver)
{
    LibraryBuilder b;
    TestFolder &folder = b.folder();
    folder.addSeed("seed.mp3", "in/Good/01 Good.mp3");
    folder.addSeed("seed.ogg", "in/Good/02 Also Good.OGG");
    const QString empty = folder.addFile("in/empty.mp3", {});
    const QString noise = folder.addFile("in/noise.flac", randomBytes(4096, 7));
    const QString text = folder.addFile("in/notes.m4a", "just some text, not audio\n");
    const QString fifo = folder.filePath("in/pipe.mp3");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    folder.addFile("in/cover.jpg", "not music");

    const libraryimport::Summary summary = libraryimport::importFolder(b.library(), folder.filePath("in"));
    EXPECT_EQ(summary.found, 6);
    EXPECT_EQ(summary.added, 2);
    EXPECT_EQ(summary.updated, 0);
    QStringList failed;
    for (const libraryimport::Failure &f : summary.failures) {
        failed.append(f.path);
        EXPECT_FALSE(f.reason.isEmpty());
    }
    failed.sort();
    EXPECT_EQ(failed, (QStringList{empty, noise, text, fifo}));
    EXPECT_EQ(b.library().trackCount(), 2);

    EXPECT_THROW(libraryimport::readFile(fifo), FileError);
    EXPECT_THROW(libraryimport::readFile(empty), FileError);
    EXPECT_THROW(libraryimport::readFile(folder.filePath("in/absent.mp3")), FileError);
    EXPECT_THROW(libraryimport::importFolder(b.library(), folder.filePath("nowhere")), FileError);
}

TEST(LibraryImport, ImportingAgainUpdatesInsteadOfDuplicating)
{
    LibraryBuilder b;
    const QString first = b.folder().addSeed("seed.mp3", "in/a.mp3");
    b.folder().addSeed("seed.wav", "in/sub/b.wav");
    QList<std::pair<int, int>> progress;
    libraryimport::Summary summary = libraryimport::importFolder(
        b.library(), b.folder().filePath("in"), [&](int done, int total) { progress.append({done, total}); });
    EXPECT_EQ(summary.added, 2);
    EXPECT_EQ(progress.constLast(), std::make_pair(2, 2));

    addProperties(first, {{"TITLE", "Retitled"}});
    summary = libraryimport::importFolder(b.library(), b.folder().filePath("in"));
    EXPECT_EQ(summary.added, 0);
    EXPECT_EQ(summary.updated, 2);
    EXPECT_EQ(b.library().trackCount(), 2);
    const QList<QVariantHash> names = b.library().properties(b.library().allTracks(), {"name", "location"});
    EXPECT_EQ(names[0].value("name").toString(), "Retitled");
    EXPECT_EQ(names[0].value("location").toString(), first);
}

TEST(LibraryImport, ANewTrackTakesItsFilesRatingAndPlayCountAndAChangedFileThatDisagreesIsReported)
{
    LibraryBuilder b;
    const QString rated = b.folder().addSeed("seed.mp3", "in/rated.mp3");
    addProperties(rated, {{"FMPS_RATING", "0.8"}, {"FMPS_PLAYCOUNT", "14"}});
    const QString odd = b.folder().addSeed("seed.flac", "in/odd.flac");
    addProperties(odd, {{"RATING", "not a number"}});
    libraryimport::Summary summary = libraryimport::importFolder(b.library(), b.folder().filePath("in"), {}, {});
    ASSERT_EQ(summary.ignored.size(), 1);
    EXPECT_EQ(summary.ignored[0].path, odd);
    EXPECT_TRUE(summary.ignored[0].reason.contains("not a number")) << summary.ignored[0].reason.toStdString();
    EXPECT_TRUE(summary.disagreements.isEmpty()) << "new tracks take their files' values";
    const auto values = [&] { return b.library().properties(b.library().allTracks(), {"rating", "playedCount"}); };
    QList<QVariantHash> rows = values();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].value("rating").toInt(), 0) << "a rating that is no number is no rating";
    EXPECT_EQ(rows[1].value("rating").toInt(), 80);
    EXPECT_EQ(rows[1].value("playedCount").toInt(), 14);

    // Played and rated in the library since: neither a re-import nor a
    // refresh takes the file's older values back, and an unchanged file has
    // nothing new to report.
    const TrackRef track = b.library().allTracks()[1];
    b.library().setProperty(track, "rating", 40);
    b.library().setProperty(track, "playedCount", 15);
    summary = libraryimport::importFolder(b.library(), b.folder().filePath("in"), {}, {});
    EXPECT_TRUE(summary.disagreements.isEmpty());

    // Another player rates the file: the refresh reads it, keeps the
    // library's values and lists the track, the file's value first.
    QThread::msleep(20); // a stamp of another time
    addProperties(rated, {{"FMPS_RATING", "0.6"}, {"FMPS_PLAYCOUNT", "15"}});
    libraryimport::RefreshSummary refreshed = libraryimport::refresh(b.library(), b.library().allTracks(), {}, {});
    ASSERT_EQ(refreshed.disagreements.size(), 1) << "the counts agree, the ratings do not";
    EXPECT_EQ(refreshed.disagreements[0].key, "rating");
    EXPECT_EQ(refreshed.disagreements[0].file.toInt(), 60);
    EXPECT_EQ(refreshed.disagreements[0].library.toInt(), 40);
    EXPECT_EQ(libraryimport::disagreementRows(refreshed.disagreements),
              QStringList{rated + QStringLiteral(": rating 60 (FMPS_RATING) \u2192 40")});
    rows = values();
    EXPECT_EQ(rows[1].value("rating").toInt(), 40);
    EXPECT_EQ(rows[1].value("playedCount").toInt(), 15);
    refreshed = libraryimport::refresh(b.library(), b.library().allTracks(), {}, {});
    EXPECT_TRUE(refreshed.disagreements.isEmpty()) << "reported once, until the file changes again";
}

// One file rated by three players and FMPS: which one a new track takes is
// the person's profile, else FMPS, else the surest POPM.
TEST(LibraryImport, TheRatingProfileChoosesAmongAFilesPlayers)
{
    LibraryBuilder b;
    const QString path = b.folder().addSeed("seed.mp3", "many.mp3");
    {
        TagLib::MPEG::File file(QFile::encodeName(path).constData());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
        for (const auto &[owner, byte, count] : {std::tuple{"MusicBee", 64, 0u}, std::tuple{"no@email", 255, 9u}}) {
            auto *frame = new TagLib::ID3v2::PopularimeterFrame();
            frame->setEmail(owner);
            frame->setRating(byte);
            frame->setCounter(count);
            tag->addFrame(frame);
        }
        auto *fmps = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
        fmps->setDescription("FMPS_Rating");
        fmps->setText("0.6");
        tag->addFrame(fmps);
        ASSERT_TRUE(file.save());
    }
    const auto taken = [&](const QString &profile) {
        const ImportedFile file = libraryimport::readFile(path, profile);
        return QStringLiteral("%1 %2 %3").arg(file.onAdd.value("rating").toString(),
                                              file.onAddFrom.value("rating"),
                                              file.onAdd.value("playedCount").toString());
    };
    EXPECT_EQ(taken({}), "60 FMPS_Rating 9");
    EXPECT_EQ(taken("musicbee"), "40 POPM MusicBee 9");
    EXPECT_EQ(taken("mediamonkey"), "100 POPM no@email 9");
    EXPECT_EQ(taken("winamp"), "60 FMPS_Rating 9") << "a profile the file lacks falls back to the order";
    const libraryimport::Summary summary = libraryimport::importPaths(b.library(), {path}, {}, {}, "musicbee");
    EXPECT_EQ(b.library().property(b.library().allTracks()[0], "rating").toInt(), 40);
    EXPECT_TRUE(summary.ignored.isEmpty());
}

} // namespace
