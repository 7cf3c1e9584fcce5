// SPDX-License-Identifier: GPL-3.0-or-later
// TagLib rewrites an APE tag from where its footer's size says the tag
// begins. A size that takes in bytes before the tag's items would have the
// save overwrite the audio there, so such a file is refused and kept whole.
#include "files/filetags.h"
#include "testfiles.h"
#include "writerefusal.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace {

constexpr qsizetype footerSize = 32;

quint32 footerField(const QByteArray &file, int at)
{
    return qFromLittleEndian<quint32>(file.constData() + file.size() - footerSize + at);
}

void setFooterField(QByteArray &file, int at, quint32 value)
{
    qToLittleEndian(value, file.data() + file.size() - footerSize + at);
}

// The seed's tag written the way some taggers write it: without a header.
QByteArray withoutHeader(QByteArray file)
{
    const qsizetype tagStart = file.size() - footerField(file, 12) - 32;
    file.remove(tagStart, 32);
    setFooterField(file, 20, footerField(file, 20) & ~0x80000000u);
    return file;
}

} // namespace

TEST(ApeTag, ASizeThatReachesIntoTheAudioIsRefusedAndTheFileKeptWhole)
{
    TestFolder folder;
    const QByteArray seed = TestFolder::readAll(TestFolder::seedPath("seed.wv"));
    ASSERT_EQ(seed.right(footerSize).left(8), "APETAGEX");
    ASSERT_TRUE(footerField(seed, 20) & 0x80000000u) << "the seed's tag has a header";

    // Honest tags, with a header and without, take the new title and keep the
    // audio before them byte for byte; so does one whose item count is too
    // high, as TagLib stops reading where the items end.
    QByteArray overcounted = seed;
    setFooterField(overcounted, 16, footerField(overcounted, 16) + 1);
    for (const QByteArray &honest : {seed, withoutHeader(seed), overcounted}) {
        const QString path = folder.addFile("honest.wv", honest);
        const qsizetype audioEnd = honest.size() - footerField(honest, 12) - ((footerField(honest, 20) >> 31) ? 32 : 0);
        EXPECT_EQ(writeRefusal(path, "name", "New title"), "written");
        EXPECT_EQ(filetags::read(path, {"name", "artist"}).value("name").toString(), "New title");
        EXPECT_EQ(filetags::read(path, {"artist"}).value("artist").toString(), "Seed Artist");
        EXPECT_EQ(TestFolder::readAll(path).left(audioEnd), honest.left(audioEnd));
    }

    // The size grown by 40 bytes: with a header announced, no header stands
    // where the size puts it; without one, the items no longer fill the tag.
    QByteArray grown = seed;
    setFooterField(grown, 12, footerField(grown, 12) + 40);
    QByteArray grownWithoutHeader = withoutHeader(seed);
    setFooterField(grownWithoutHeader, 12, footerField(grownWithoutHeader, 12) + 40);
    for (const QByteArray &damaged : {grown, grownWithoutHeader}) {
        const QString path = folder.addFile("damaged.wv", damaged);
        EXPECT_EQ(writeRefusal(path, "name", "New title").toStdString(),
                  ("The file has an APE tag whose size does not fit its items: its tag size runs into the audio; "
                   "it was not written (" + path + ")").toStdString());
        EXPECT_EQ(TestFolder::readAll(path), damaged);
    }
}

// A WavPack block that claims the bytes where the tag stands would take in
// the tag a save writes there, and the file would read back as other audio.
TEST(ApeTag, AWavPackBlockReachingIntoTheTagsIsRefusedAndTheFileKeptWhole)
{
    TestFolder folder;
    QByteArray file = TestFolder::readAll(TestFolder::seedPath("seed.wv"));
    ASSERT_TRUE(file.startsWith("wvpk"));
    qToLittleEndian(qFromLittleEndian<quint32>(file.constData() + 4) + quint32(file.size()), file.data() + 4);
    const QString path = folder.addFile("overlong.wv", file);
    EXPECT_EQ(writeRefusal(path, "name", "New title").toStdString(),
              ("The file is cut off: it ends in the middle of its audio; it was not written (" + path + ")")
                  .toStdString());
    EXPECT_EQ(TestFolder::readAll(path), file);
}

// TagLib reads a Musepack header on past the end of the audio, into the tag a
// save appends. A header that the audio holds whole is written; one cut short
// (version 7's 56 bytes, or a version 8 packet past the end) is refused.
TEST(ApeTag, AMusepackHeaderCutShortIsRefusedAndAWholeOneIsWritten)
{
    TestFolder folder;
    const auto packet = [](const char *key, const QByteArray &payload) {
        return QByteArray(key, 2) + char(3 + payload.size()) + payload;
    };
    const QByteArray streamHeader = QByteArray(4, '\0') + QByteArray::fromHex("0810000000");
    const QByteArray version8 = "MPCK" + packet("SH", streamHeader) + packet("RG", QByteArray(9, '\0')) +
                                packet("AP", QByteArray(40, 'a')) + packet("SE", {});
    QByteArray version7 = "MP+" + QByteArray::fromHex("17") + QByteArray::fromHex("10000000");
    version7 += QByteArray(56 - version7.size(), '\0') + QByteArray(64, 'a');

    for (const QByteArray &whole : {version7, version8}) {
        const QString path = folder.addFile(QStringLiteral("whole%1.mpc").arg(whole.size()), whole);
        filetags::write(path, "name", "New title");
        EXPECT_EQ(filetags::read(path, {"name"}).value("name").toString(), "New title");
        EXPECT_TRUE(TestFolder::readAll(path).startsWith(whole));
    }

    QByteArray overlong = version8;
    overlong[6] = char(0x7f); // the stream header claims more bytes than the file has
    const QByteArray noEnd = version8.left(version8.size() - 3); // the walk runs into the tag
    // A size of more bytes than any number holds.
    const QByteArray hugeSize = "MPCK" + QByteArray("SH") + QByteArray(8, '\xff') + '\x7f' + QByteArray(40, 'a');
    for (const QByteArray &cut : {version7.left(6), version7.left(55), overlong, noEnd.left(4 + 12), hugeSize}) {
        const QString path = folder.addFile(QStringLiteral("cut%1.mpc").arg(cut.size()), cut);
        const QString refusal = writeRefusal(path, "name", "New title");
        EXPECT_EQ(refusal.toStdString(),
                  ("The file is cut off: it ends in the middle of its audio; it was not written (" + path + ")")
                      .toStdString());
        EXPECT_EQ(TestFolder::readAll(path), cut) << cut.toHex().toStdString();
    }
}
