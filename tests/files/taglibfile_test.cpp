// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/checkedfilestream.h"
#include "files/musicfiles.h"
#include "files/taglibfile.h"
#include "testfiles.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <taglib/tag.h>

#include <typeinfo>

namespace {

// What a reading gives: the reader's kind and the title, or nothing.
std::string readingOf(const TagLib::FileRef &ref)
{
    if (ref.isNull())
        return "(none)";
    return std::string(typeid(*ref.file()).name()) + " " + ref.tag()->title().to8Bit(true);
}

} // namespace

// Every seed under every extension, the case of its letters changed too, and
// files that are no music at all: the reader the extension names is built
// directly, and whatever it gives must be what TagLib's own detection gives
// for the same stream, a file its name misnames included.
TEST(TagLibFile, ReadsEveryFileAsTagLibsOwnDetectionDoes)
{
    TestFolder folder;
    const QStringList extensions{"mp3", "m4a", "mp4", "flac", "ogg", "wav", "MP3", "M4a", "wv", "aiff"};
    QStringList paths;
    for (const QString &seed : seedNames() + QStringList{"seed.wv"})
        for (const QString &extension : extensions)
            paths << folder.addSeed(seed, QStringLiteral("%1 as %2.%3").arg(seed, extension.toLower(), extension));
    for (const QString &extension : extensions) {
        paths << folder.addFile("empty." + extension, {});
        paths << folder.addFile("text." + extension, QByteArray("not music at all, only words ").repeated(40));
    }

    for (const QString &path : paths) {
        const QString extension = musicfiles::extensionOf(path);
        for (const bool audio : {false, true}) {
            CheckedFileStream mine(path, CheckedFileStream::Access::Read);
            CheckedFileStream theirs(path, CheckedFileStream::Access::Read);
            ASSERT_TRUE(mine.isOpen() && theirs.isOpen()) << path.toStdString();
            const TagLib::FileRef ours = taglibfile::parse(mine, extension, audio);
            const TagLib::FileRef reference(&theirs, audio, TagLib::AudioProperties::Average);
            EXPECT_EQ(readingOf(ours), readingOf(reference)) << path.toStdString() << (audio ? " with audio" : "");
            EXPECT_EQ(ours.audioProperties() != nullptr, reference.audioProperties() != nullptr) << path.toStdString();
            // Not a match of two failures: a seed under its own name is read.
            if (QFileInfo(path).fileName().startsWith(QStringLiteral("seed.%1 ").arg(extension))) {
                EXPECT_FALSE(ours.isNull()) << path.toStdString();
            }
        }
    }
}
