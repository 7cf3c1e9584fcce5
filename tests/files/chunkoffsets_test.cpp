// SPDX-License-Identifier: GPL-3.0-or-later
// A save that grows an MP4 file's tag rewrites its chunk offset table entry
// by entry. A table whose count runs past its end would have TagLib write
// over the bytes after it, so such a file is refused and kept whole.
#include "testfiles.h"
#include "writerefusal.h"

#include <QtEndian>
#include <gtest/gtest.h>

TEST(ChunkOffsets, ATableCountingMoreEntriesThanItHoldsIsRefusedAndTheFileKeptWhole)
{
    TestFolder folder;
    const QByteArray seed = TestFolder::readAll(TestFolder::seedPath("seed.m4a"));
    const qsizetype table = seed.indexOf("stco");
    ASSERT_GT(table, 0);
    const quint32 atomSize = qFromBigEndian<quint32>(seed.constData() + table - 4);
    const quint32 entries = qFromBigEndian<quint32>(seed.constData() + table + 8);
    ASSERT_EQ(atomSize, 16 + 4 * entries) << "the seed's table is exactly full";

    const QString honest = folder.addFile("honest.m4a", seed);
    EXPECT_EQ(writeRefusal(honest, "name", "A title long enough to move the audio"), "written");
    EXPECT_EQ(filetags::read(honest, {"name"}).value("name").toString(), "A title long enough to move the audio");

    QByteArray damaged = seed;
    qToBigEndian<quint32>(entries + 1, damaged.data() + table + 8);
    const QString path = folder.addFile("damaged.m4a", damaged);
    EXPECT_EQ(writeRefusal(path, "name", "A title long enough to move the audio").toStdString(),
              ("The file has a chunk offset table (stco) claiming more entries than it holds; it was not written (" +
               path + ")").toStdString());
    EXPECT_EQ(TestFolder::readAll(path), damaged);
}
