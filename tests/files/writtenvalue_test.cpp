// SPDX-License-Identifier: GPL-3.0-or-later
// A save whose written value would not read back is refused, not reported done.
#include "files/committurn.h"
#include "files/filetags.h"
#include "support/namedexception.h"
#include "testfiles.h"
#include "writerefusal.h"

#include <gtest/gtest.h>
#include <thread>

TEST(WrittenValue, AFrameTagLibWouldSaveUnreadableIsRefusedAndTheFileKept)
{
    TestFolder folder;
    const QString plain = folder.addSeed("seed.mp3", "plain.mp3");
    filetags::write(plain, "name", "New title");
    EXPECT_EQ(filetags::read(plain, {"name"}).value("name").toString(), "New title");

    // The title frame's text encoding byte, which follows the seed's frame
    // header at 20, set to one no reader knows: TagLib keeps it for the new text.
    QByteArray bytes = TestFolder::readAll(TestFolder::seedPath("seed.mp3"));
    ASSERT_EQ(bytes.mid(10, 4), "TIT2");
    bytes[20] = '\xff';
    const QString odd = folder.addFile("odd.mp3", bytes);
    // The same frame alone in its tag, the other frames' bytes made padding:
    // the save keeps every other frame as it was, and the title is still read back.
    const qsizetype tagEnd =
        10 + ((bytes[6] & 0x7f) << 21 | (bytes[7] & 0x7f) << 14 | (bytes[8] & 0x7f) << 7 | (bytes[9] & 0x7f));
    QByteArray alone = bytes;
    alone.replace(32, tagEnd - 32, QByteArray(tagEnd - 32, '\0'));
    const QString lone = folder.addFile("lone.mp3", alone);
    for (const auto &[path, original] : {std::pair{odd, bytes}, std::pair{lone, alone}}) {
        EXPECT_EQ(writeRefusal(path, "name", "New title").toStdString(),
                  ("The save would leave the title it writes unreadable; the file was left as it was (" + path + ")")
                      .toStdString());
        EXPECT_EQ(TestFolder::readAll(path), original);
    }
}

TEST(WrittenValue, AFrameWhoseFlagsTagLibWouldDropIsNotSaved)
{
    // TagLib keeps an encrypted or grouped frame's bytes but writes its header
    // without those flags, so the saved frame reads as other data: an
    // encrypted title read as nothing before came back as its ciphertext.
    const QByteArray seed = TestFolder::readAll(TestFolder::seedPath("seed.mp3"));
    ASSERT_EQ(seed.mid(0, 4), QByteArray("ID3\x03", 4));
    const qsizetype artist = seed.indexOf("TPE1");
    ASSERT_GT(artist, 10);
    struct Case {
        qsizetype frame;
        char flags;
        const char *id;
        const char *why;
    };
    for (const Case &c : {Case{10, '\x40', "TIT2", "an encrypted"}, Case{artist, '\x20', "TPE1", "a grouped"}}) {
        TestFolder folder;
        QByteArray bytes = seed;
        bytes[c.frame + 9] = c.flags;
        const QString path = folder.addFile("flagged.mp3", bytes);
        EXPECT_EQ(writeRefusal(path, "name", "New title").toStdString(),
                  QStringLiteral("The file has %1 frame (%2) in its ID3v2 tag, which a save would leave unreadable; "
                                 "it was not written (%3)")
                      .arg(c.why, c.id, path)
                      .toStdString());
        EXPECT_EQ(TestFolder::readAll(path), bytes);
    }
}

TEST(WrittenValue, AFileTagLibReadsAsAnotherKindThanItsNameSaysIsNotWritten)
{
    // An MPEG file under an MP4 name: TagLib's MP4 reader fails and its MPEG
    // reader takes over, which would put an ID3v2 tag before any atom.
    TestFolder folder;
    const QString path = folder.addSeed("seed.mp3", "damaged.m4a");
    const QByteArray bytes = TestFolder::readAll(path);
    EXPECT_EQ(filetags::read(path, {"name"}).value("name").toString(), "Seed Title");
    EXPECT_EQ(writeRefusal(path, "name", "New title").toStdString(),
              ("The file is not the kind of file its name says (.m4a); it was not written (" + path + ")").toStdString());
    EXPECT_EQ(TestFolder::readAll(path), bytes);
}

// A save waits for its thread's turn even when TagLib runs it on another
// thread's large stack: a turn that says no leaves the file as it was, one
// that says yes lets it be written.
TEST(WrittenValue, ASaveOnALargeStackKeepsTheTurnOfTheThreadItSavesFor)
{
    TestFolder folder;
    const QString path = folder.addSeed("seed.flac", "song.flac");
    const QByteArray before = TestFolder::readAll(path);
    for (const bool allowed : {false, true}) {
        bool refused = false;
        int asked = 0;
        // A thread of its own has the small stack every new thread has.
        std::thread([&] {
            const committurn::Scope turn([&] {
                ++asked;
                return allowed;
            });
            try {
                filetags::write(path, "name", "In turn");
            } catch (const committurn::Refused &) {
                refused = true;
            }
        }).join();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(refused, !allowed);
        if (allowed) {
            EXPECT_EQ(filetags::read(path, {"name"}).value("name").toString(), "In turn");
        } else {
            EXPECT_EQ(TestFolder::readAll(path), before);
        }
    }
}
