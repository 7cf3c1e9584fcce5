// SPDX-License-Identifier: GPL-3.0-or-later
// The guarded stream serves small reads from a block it keeps: they must read
// what the file holds wherever they fall, and what a commit put there after it.
#include "files/checkedfilestream.h"
#include "testfiles.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(CheckedFileStream, SmallReadsAnywhereReadTheFileAndACommitIsSeenAfter)
{
    TestFolder folder;
    QByteArray bytes(20000 + 17, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    const QString path = folder.addFile("blocks.mp3", bytes);

    CheckedFileStream stream(path, CheckedFileStream::Access::ReadWrite);
    ASSERT_TRUE(stream.isOpen());
    // Inside a block, across a block's end, at the file's end and past it,
    // and a read as large as a block.
    const std::pair<qint64, qint64> reads[] = {{0, 4},    {4, 10},    {8190, 10}, {8192, 1}, {16000, 500},
                                               {20010, 7}, {20010, 40}, {20017, 4}, {3, 8192}, {12, 4}};
    for (const auto &[offset, size] : reads) {
        QByteArray got(size, '\0');
        const qint64 n = stream.readOriginalAt(offset, got.data(), size);
        const QByteArray expected = bytes.mid(offset, size);
        ASSERT_EQ(n, expected.size()) << offset << "+" << size;
        EXPECT_EQ(got.left(n), expected) << offset << "+" << size;
    }
    // TagLib's reads, handed over from the block where they fit in it.
    const auto readBlockAt = [&stream](qint64 offset, qint64 size) {
        stream.seek(offset);
        const TagLib::ByteVector got = stream.readBlock(static_cast<unsigned long>(size));
        return QByteArray(got.data(), got.size());
    };
    for (const auto &[offset, size] : reads) {
        const QByteArray expected = bytes.mid(offset, size);
        EXPECT_EQ(readBlockAt(offset, size), expected) << offset << "+" << size;
        EXPECT_EQ(stream.tell(), offset + expected.size()) << offset << "+" << size;
    }

    // An edit inside the block read last: read with it before the commit,
    // and after it the file and the stream both hold it.
    stream.seek(14);
    stream.writeBlock(TagLib::ByteVector("EDITED", 6));
    QByteArray edited = bytes;
    edited.replace(14, 6, "EDITED");
    EXPECT_EQ(readBlockAt(12, 10), edited.mid(12, 10));
    ASSERT_TRUE(stream.commit());
    bytes = edited;
    EXPECT_EQ(TestFolder::readAll(path), bytes);
    QByteArray again(10, '\0');
    ASSERT_EQ(stream.readOriginalAt(12, again.data(), 10), 10);
    EXPECT_EQ(again, bytes.mid(12, 10));
    EXPECT_EQ(readBlockAt(10, 12), bytes.mid(10, 12));
    EXPECT_FALSE(stream.failed());
}

// TagLib rewrites an MP4 chunk-offset table one four-byte write after another,
// then may insert before it and rewrite inside it: every such edit must land
// where a plain file would put it, before and after the commit.
TEST(CheckedFileStream, RunsOfSmallWritesInsertsAndRewritesReadBackAsAPlainFileWould)
{
    TestFolder folder;
    QByteArray bytes(50000, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 13 + i / 97) & 0xff);
    const QString path = folder.addFile("offsets.m4a", bytes);
    QByteArray expected = bytes;

    CheckedFileStream stream(path, CheckedFileStream::Access::ReadWrite);
    ASSERT_TRUE(stream.isOpen());
    stream.seek(1000);
    for (int i = 0; i < 5000; ++i) {
        const TagLib::ByteVector value = TagLib::ByteVector::fromUInt(unsigned(i) * 2654435761u);
        stream.writeBlock(value);
        expected.replace(1000 + 4 * i, 4, QByteArray(value.data(), 4));
    }
    // Bytes of our own rewritten in place, an insert in front of them, and a
    // run of writes that goes on past the end of the file.
    stream.seek(1000 + 4 * 2500 + 2);
    stream.writeBlock(TagLib::ByteVector("rewritten", 9));
    expected.replace(1000 + 4 * 2500 + 2, 9, "rewritten");
    stream.insert(TagLib::ByteVector("moov", 4), 500, 0);
    expected.insert(500, "moov");
    stream.seek(expected.size() - 6);
    for (int i = 0; i < 4; ++i)
        stream.writeBlock(TagLib::ByteVector("tail", 4));
    expected.replace(expected.size() - 6, 6, "tailta");
    expected.append("iltailtail");

    ASSERT_EQ(stream.length(), expected.size());
    stream.seek(0);
    EXPECT_EQ(QByteArray(stream.readBlock(expected.size()).data(), expected.size()), expected);
    ASSERT_TRUE(stream.commit());
    EXPECT_EQ(TestFolder::readAll(path), expected);
    EXPECT_FALSE(stream.failed());
}

// A folder listing's paths are opened without a look first. Whatever lies at
// such a path when it is opened, the stream must end as one opened with the
// look does: the same file, or the same refusal, never a wait.
TEST(CheckedFileStream, AListedPathEndsAsAnUnlistedOneWhateverLiesThereNow)
{
    TestFolder folder;
    const QString regular = folder.addFile("song.mp3", QByteArray("ID3 and some bytes"));
    const QString linked = folder.filePath("linked.mp3");
    ASSERT_TRUE(QFile::link(regular, linked));
    const QString pipe = folder.filePath("pipe.mp3");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString device = folder.filePath("zero.mp3");
    ASSERT_TRUE(QFile::link("/dev/zero", device));
    const QString directory = folder.addFolder("folder.mp3");
    const QString dangling = folder.filePath("dangling.mp3");
    ASSERT_TRUE(QFile::link(folder.filePath("nothing.mp3"), dangling));
    const QString missing = folder.filePath("missing.mp3");

    for (const QString &path : {regular, linked, pipe, device, directory, dangling, missing}) {
        SCOPED_TRACE(path.toStdString());
        CheckedFileStream looked(path, CheckedFileStream::Access::Read);
        CheckedFileStream listed(path, CheckedFileStream::Access::Read, CheckedFileStream::Listed::Yes);
        EXPECT_EQ(listed.isOpen(), looked.isOpen());
        EXPECT_EQ(listed.error(), looked.error());
        EXPECT_EQ(listed.identity(), looked.identity());
        EXPECT_EQ(listed.length(), looked.length());
        const bool opens = path == regular || path == linked;
        EXPECT_EQ(listed.isOpen(), opens);
        if (opens) {
            char head[3] = {};
            EXPECT_EQ(listed.readOriginalAt(0, head, 3), 3);
            EXPECT_EQ(QByteArray(head, 3), "ID3");
        }
    }
}
