// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/trash.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

QByteArray fileName(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

bool isUtf8(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// The Path= value of a .trashinfo, after checking the file has exactly its three lines.
QByteArray recordedPath(const QByteArray &infoPath)
{
    const QList<QByteArray> lines = TestFolder::readAll(QFile::decodeName(infoPath)).split('\n');
    EXPECT_EQ(lines.size(), 4); // the last line ends in a newline
    EXPECT_EQ(lines.value(0), "[Trash Info]");
    EXPECT_TRUE(lines.value(2).startsWith("DeletionDate=")) << lines.value(2).toStdString();
    EXPECT_TRUE(lines.value(1).startsWith("Path=")) << lines.value(1).toStdString();
    return lines.value(1).mid(5);
}

} // namespace

TEST(Trash, LongAndOddNamesGoToTheTrashAndComeBack)
{
    ScopedUserLocations locations;
    TestFolder folder;
    // 255 bytes, the most a name can hold, made of two-byte characters so that
    // a careless cut would split one.
    const QString longName = "a" + QString(125, QChar(0xe9)) + ".mp3";
    ASSERT_EQ(longName.toUtf8().size(), 255);
    const QString first = folder.addFile(longName, "one");
    const QString second = folder.addFile("again/" + longName, "two");

    const trash::Outcome a = trash::moveToTrash(first);
    ASSERT_TRUE(a.moved) << a.error.toStdString();
    const trash::Outcome b = trash::moveToTrash(second);
    ASSERT_TRUE(b.moved) << b.error.toStdString();
    for (const trash::Outcome *o : {&a, &b}) {
        const QByteArray name = fileName(o->where.trashedPath);
        EXPECT_LE(fileName(o->where.infoPath).size(), 255);
        EXPECT_EQ(fileName(o->where.infoPath), name + ".trashinfo");
        EXPECT_TRUE(isUtf8(name)) << name.toHex().toStdString();
        EXPECT_TRUE(name.endsWith(".mp3"));
        EXPECT_EQ(QFileInfo(QFile::decodeName(o->where.trashedPath)).path(), locations.dataHome() + "/Trash/files");
    }
    EXPECT_NE(a.where.trashedPath, b.where.trashedPath);
    EXPECT_TRUE(fileName(b.where.trashedPath).contains(" 2.mp3"));
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_EQ(TestFolder::readAll(QFile::decodeName(b.where.trashedPath)), "two");
    EXPECT_EQ(QByteArray::fromPercentEncoding(recordedPath(a.where.infoPath)), QFile::encodeName(first));

    // '%', blanks and a line break in a name are escaped, so the key stays one line.
    const QString odd = folder.addFile("50% off\nrock.mp3", "three");
    const trash::Outcome c = trash::moveToTrash(odd);
    ASSERT_TRUE(c.moved) << c.error.toStdString();
    const QByteArray path = recordedPath(c.where.infoPath);
    EXPECT_TRUE(path.endsWith("/50%25%20off%0Arock.mp3")) << path.toStdString();
    EXPECT_EQ(QByteArray::fromPercentEncoding(path), QFile::encodeName(odd));

    // Put back, the file is where it was and the Trash forgets it.
    ASSERT_TRUE(trash::putBack(c.where));
    EXPECT_EQ(TestFolder::readAll(odd), "three");
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(c.where.infoPath)));
    // Not over a file that took its name meanwhile.
    folder.addFile(longName, "newcomer");
    EXPECT_FALSE(trash::putBack(a.where));
    EXPECT_EQ(TestFolder::readAll(first), "newcomer");
    EXPECT_EQ(TestFolder::readAll(QFile::decodeName(a.where.trashedPath)), "one");

    EXPECT_EQ(trash::nameInTrash("x.mp3", 0), "x.mp3");
    EXPECT_EQ(trash::nameInTrash("x.mp3", 2), "x 3.mp3");
    // An ending too long to be a type is cut with the rest.
    const QByteArray longEnding = "x." + QByteArray(300, 'e');
    EXPECT_EQ(trash::nameInTrash(longEnding, 0), longEnding.left(245));
}

TEST(Trash, AFileThatCannotGoStaysWhereItIsAndTheTriesEnd)
{
    ScopedUserLocations locations;
    TestFolder folder;
    const QString file = folder.addFile("song.mp3", "bytes");
    const QString info = locations.dataHome() + "/Trash/info";

    // Every name the Trash could give is taken: the tries stop, nothing is left behind.
    ASSERT_TRUE(QDir().mkpath(info));
    ASSERT_TRUE(QDir().mkpath(locations.dataHome() + "/Trash/files"));
    for (int attempt = 0; attempt < 1000; ++attempt)
        QFile(info + "/" + QFile::decodeName(trash::nameInTrash("song.mp3", attempt)) + ".trashinfo")
            .open(QIODevice::WriteOnly);
    const trash::Outcome full = trash::moveToTrash(file);
    EXPECT_FALSE(full.moved);
    EXPECT_TRUE(full.error.contains("too many")) << full.error.toStdString();
    EXPECT_EQ(TestFolder::readAll(file), "bytes");
    EXPECT_EQ(QDir(info).entryList(QDir::Files).size(), 1000);

    // A Trash that is not a folder takes nothing, and says so.
    ASSERT_TRUE(QDir(info).removeRecursively());
    QFile blocker(info);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const trash::Outcome blocked = trash::moveToTrash(file);
    EXPECT_FALSE(blocked.moved);
    EXPECT_TRUE(blocked.error.contains("Trash")) << blocked.error.toStdString();
    EXPECT_EQ(TestFolder::readAll(file), "bytes");
}
