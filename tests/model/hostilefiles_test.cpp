// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakewindowport.h"
#include "files/checkedfilestream.h"
#include "model/musictrack.h"
#include "support/namedexception.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <thread>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QStringList tagLibKeys = {"name", "artist", "album", "comment", "genre", "year", "number", "duration", "bitRate"};

QByteArray be32(quint32 v)
{
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(bytes, 4);
}

QByteArray synchsafe(quint32 v)
{
    const char bytes[4] = {char((v >> 21) & 0x7f), char((v >> 14) & 0x7f), char((v >> 7) & 0x7f), char(v & 0x7f)};
    return QByteArray(bytes, 4);
}

// The seed MP3 with its tag replaced by an ID3v2.3 tag of chapter frames
// nested depth deep, the innermost holding a title frame.
QByteArray nestedChapters(int depth)
{
    const QByteArray seed = TestFolder::readAll(TestFolder::seedPath("seed.mp3"));
    const quint32 oldTagSize = 10 + ((seed[6] & 0x7f) << 21 | (seed[7] & 0x7f) << 14 | (seed[8] & 0x7f) << 7 | (seed[9] & 0x7f));
    const QByteArray title = "TIT2" + be32(6) + QByteArray(2, 0) + QByteArray("\0Deep\0", 6);
    constexpr int levelSize = 10 + 2 + 16; // frame header, element id "c\0", four times
    QByteArray frames;
    frames.reserve(levelSize * depth + title.size());
    for (int level = 0; level < depth; ++level) {
        const quint32 size = quint32(levelSize * (depth - level) + title.size());
        frames += "CHAP" + be32(size - 10) + QByteArray(2, 0) + QByteArray("c\0", 2) + QByteArray(16, '\xff');
    }
    frames += title;
    return "ID3" + QByteArray("\x03\x00\x00", 3) + synchsafe(quint32(frames.size())) + frames + seed.mid(oldTagSize);
}

// The seed M4A followed by a chain of container atoms nested depth deep.
QByteArray nestedAtoms(int depth)
{
    QByteArray atoms;
    atoms.reserve(8 * depth);
    for (int level = 0; level < depth; ++level)
        atoms += be32(quint32(8 * (depth - level))) + "udta";
    return TestFolder::readAll(TestFolder::seedPath("seed.m4a")) + atoms;
}

QByteArray noise(qsizetype size)
{
    QRandomGenerator random(20261207);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes.replace("image/", "IMAGE/");
}

void expectUnreadableAndUnwritable(const QString &path, WindowPort *port = nullptr)
{
    const MusicTrack track = MusicTrack::withPath(path, port);
    const QVariantHash values = track.valuesForTags(tagLibKeys + QStringList{"cover", "location"});
    for (const QString &key : tagLibKeys + QStringList{"cover"})
        EXPECT_FALSE(values.value(key).isValid()) << key.toStdString();
    EXPECT_EQ(values.value("location"), QVariant(path));
    EXPECT_FALSE(track.valueForTag("name").isValid());
    EXPECT_THROW(track.setTag("name", QString("Overwritten")), FileError);
    EXPECT_THROW(track.setTagIfUnchanged("year", 2001, {}), FileError);
}

// Runs the call on another thread and fails instead of hanging when it blocks
// (the blocked thread is left behind; the call must own what it uses).
void expectFinishesQuickly(std::function<void()> call, const std::function<void()> &unblock)
{
    auto finished = std::make_shared<std::promise<void>>();
    auto done = finished->get_future();
    std::thread([finished, call = std::move(call)] {
        try {
            call();
            finished->set_value();
        } catch (...) {
            finished->set_exception(std::current_exception());
        }
    }).detach();
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        unblock();
        ADD_FAILURE() << "blocked";
        return;
    }
    done.get();
}

// A tiny tmpfs for the cases only a real file system can show. Needs root;
// the tests that use it are skipped otherwise.
class TinyFileSystem {
public:
    explicit TinyFileSystem(const QString &where, int kilobytes) : path_(where)
    {
        QDir().mkpath(path_);
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k";
        mounted_ = ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~TinyFileSystem()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    bool makeReadOnly()
    {
        return ::mount(nullptr, QFile::encodeName(path_).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QString path_;
    bool mounted_ = false;
};

void fillUp(const QString &folder)
{
    QFile filler(folder + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(512, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
}

} // namespace

TEST(HostileFiles, ThingsThatAreNotRegularFilesNeverBlock)
{
    TestFolder folder;
    ScopedFakePort port;
    const QString fifo = folder.filePath("pipe.mp3");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString zero = folder.filePath("zero.ogg");
    ASSERT_TRUE(QFile::link("/dev/zero", zero));
    const QString socketPath = folder.filePath("sock.flac");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(socketPath);
    ASSERT_LT(size_t(encoded.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(sock, 1), 0);

    for (const QString &path : {fifo, zero, socketPath}) {
        SCOPED_TRACE(path.toStdString());
        expectFinishesQuickly([path, person = port.get()] { expectUnreadableAndUnwritable(path, person); },
                              [&] { ::close(::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK)); });
    }
    ::close(sock);
    EXPECT_TRUE(port->alerts.isEmpty());
}

TEST(HostileFiles, EmptyAndNoiseFilesReadAbsentAndStayUntouched)
{
    TestFolder folder;
    const QByteArray random = noise(64 * 1024);
    for (const char *suffix : {"mp3", "aac", "m4a", "ogg", "flac", "mpc", "spx", "wv", "tta", "wav", "aiff", "mp4", "asf"}) {
        for (const QByteArray &bytes : {QByteArray(), random}) {
            SCOPED_TRACE((QString(suffix) + " of " + QString::number(bytes.size()) + " bytes").toStdString());
            const QString path = folder.addFile(QString("file.") + suffix, bytes);
            expectUnreadableAndUnwritable(path);
            EXPECT_EQ(TestFolder::readAll(path), bytes);
        }
    }
}

TEST(HostileFiles, AMissingFileIsNotCreatedByAWrite)
{
    TestFolder folder;
    const QString path = folder.filePath("gone.mp3");
    expectUnreadableAndUnwritable(path);
    EXPECT_FALSE(QFile::exists(path));
}

TEST(HostileFiles, ChaptersNestedTensOfThousandsDeepReadAndWriteOnTheMainThread)
{
    TestFolder folder;
    // About 12 MiB of stack in TagLib: more than the main thread has.
    const QString path = folder.addFile("deep.mp3", nestedChapters(25000));
    const MusicTrack track = MusicTrack::withPath(path);
    EXPECT_EQ(track.valueForTag("name"), QVariant(QString("")));
    EXPECT_EQ(track.valueForTag("bitRate"), QVariant(13));
    track.setTag("name", QString("Shallow"));
    EXPECT_EQ(track.valueForTag("name"), QVariant(QString("Shallow")));
    EXPECT_GT(QFile(path).size(), 25000 * 28);
}

TEST(HostileFiles, AtomsNestedAHundredThousandDeepReadAndWriteOnTheMainThread)
{
    TestFolder folder;
    const QString path = folder.addFile("deep.m4a", nestedAtoms(100000));
    const MusicTrack track = MusicTrack::withPath(path);
    EXPECT_EQ(track.valueForTag("name"), QVariant(QString("Seed Title")));
    track.setTag("album", QString("Survived"));
    const QVariantHash values = track.valuesForTags({"album", "artist"});
    EXPECT_EQ(values.value("album"), QVariant(QString("Survived")));
    EXPECT_EQ(values.value("artist"), QVariant(QString("Seed Artist")));
}

TEST(HostileFiles, NestingDeeperThanAnyRealFileIsRefusedUnread)
{
    TestFolder folder;
    // Deep enough to stall a save for minutes, or to need hundreds of MiB of stack.
    const QByteArray chapters = nestedChapters(150000);
    const QByteArray atoms = nestedAtoms(1100000);
    const QString mp3 = folder.addFile("chapters.mp3", chapters);
    const QString m4a = folder.addFile("atoms.m4a", atoms);
    expectUnreadableAndUnwritable(mp3);
    expectUnreadableAndUnwritable(m4a);
    EXPECT_EQ(TestFolder::readAll(mp3), chapters);
    EXPECT_EQ(TestFolder::readAll(m4a), atoms);
    try {
        MusicTrack::withPath(m4a).setTag("name", QString("x"));
    } catch (const FileError &e) {
        EXPECT_TRUE(e.reason().contains("too deeply")) << e.reason().toStdString();
    }
    // A real file as long as the deep one is walked and read as usual.
    const QByteArray padding(9 * 1024 * 1024, '\0');
    const QString big = folder.addFile("big.m4a", TestFolder::readAll(TestFolder::seedPath("seed.m4a")) +
                                                      be32(quint32(padding.size() + 8)) + "free" + padding);
    EXPECT_EQ(MusicTrack::withPath(big).title(), "Seed Title");
}

TEST(FailedSaves, AFileThatMayNotGrowIsLeftAsItWas)
{
    TestFolder folder;
    const QString path = folder.addSeed("seed.mp3", "a.mp3");
    const QByteArray before = TestFolder::readAll(path);
    // The process may not make files longer than they are: a write that needs
    // room fails like one on a full disk.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = rlim_t(before.size());
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const MusicTrack track = MusicTrack::withPath(path);
    EXPECT_THROW(track.setTag("comment", QString(4000, 'c')), FileError);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(TestFolder::readAll(path), before);
}

TEST(FailedSaves, AFullDiskThrowsAndKeepsTheFile)
{
    TestFolder folder;
    TinyFileSystem disk(folder.filePath("disk"), 64);
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    const QString path = folder.addSeed("seed.flac", "disk/a.flac");
    fillUp(folder.filePath("disk"));
    const QByteArray before = TestFolder::readAll(path);
    try {
        MusicTrack::withPath(path).setTag("comment", QString(20000, 'c'));
        ADD_FAILURE() << "the save passed for success";
    } catch (const FileError &e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_TRUE(e.reason().contains("could not be saved")) << e.reason().toStdString();
    }
    EXPECT_EQ(TestFolder::readAll(path), before);
    EXPECT_EQ(MusicTrack::withPath(path).valueForTag("comment"), QVariant(QString("Seed comment")));
}

TEST(FailedSaves, AReadOnlyFileThrowsAndIsStillRead)
{
    TestFolder folder;
    TinyFileSystem disk(folder.filePath("disk"), 256);
    QString path;
    if (::geteuid() != 0) {
        path = folder.addSeed("seed.ogg", "a.ogg");
        ASSERT_TRUE(QFile(path).setPermissions(QFile::ReadOwner | QFile::ReadGroup));
    } else {
        // Root writes through permissions; a read-only file system stops it.
        if (!disk.mounted())
            GTEST_SKIP() << "root cannot make a read-only file without a mount";
        path = folder.addSeed("seed.ogg", "disk/a.ogg");
        ASSERT_TRUE(disk.makeReadOnly());
    }
    const QByteArray before = TestFolder::readAll(path);
    const MusicTrack track = MusicTrack::withPath(path);
    EXPECT_THROW(track.setTag("name", QString("Nope")), FileError);
    // A verified write still tells a changed file from an unwritable one.
    EXPECT_FALSE(track.setTagIfUnchanged("name", QString("Nope"), {{"name", "Changed Meanwhile"}}));
    EXPECT_THROW(track.setTagIfUnchanged("name", QString("Nope"), {{"name", "Seed Title"}}), FileError);
    EXPECT_EQ(track.title(), "Seed Title");
    EXPECT_EQ(TestFolder::readAll(path), before);
}

TEST(HostileFiles, ASizeWorkedOutBelowZeroReadsWhatTheFileHolds)
{
    // Found by fuzzing: a crafted Musepack packet size made TagLib ask for
    // 2^64 - 3 bytes, which turned negative here and allocated 4 GiB.
    TestFolder folder;
    const QByteArray bytes = "MPCK" + TestFolder::readAll(folder.addSeed("seed.m4a", "seed.m4a"));
    const QString path = folder.addFile("crafted.m4a", bytes);
    CheckedFileStream stream(path, CheckedFileStream::Access::Read);
    ASSERT_TRUE(stream.isOpen());
    EXPECT_EQ(stream.readBlock(~0UL - 2).size(), static_cast<unsigned int>(bytes.size()));
    EXPECT_EQ(stream.tell(), bytes.size());
    stream.seek(10);
    EXPECT_EQ(stream.readBlock(~0UL).size(), static_cast<unsigned int>(bytes.size() - 10));
    EXPECT_FALSE(stream.failed());
    // Every value of the file still reads, as absent or as what it holds.
    const QVariantHash values = MusicTrack::withPath(path).valuesForTags({"name", "duration", "bitRate"});
    EXPECT_EQ(values.size(), 3);
    EXPECT_EQ(TestFolder::readAll(path), bytes);
}
