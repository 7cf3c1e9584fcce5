// SPDX-License-Identifier: GPL-3.0-or-later
// A save whose written value would not read back is refused, not reported done.
#include "files/filetags.h"
#include "support/namedexception.h"
#include "testfiles.h"

#include <gtest/gtest.h>

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
    try {
        filetags::write(odd, "name", "New title");
        ADD_FAILURE() << "the write was reported done";
    } catch (const FileError &e) {
        EXPECT_EQ(e.reason(), "The save would leave the title it writes unreadable; the file was left as it was (" + odd + ")")
            << e.reason().toStdString();
    }
    EXPECT_EQ(TestFolder::readAll(odd), bytes);
}
