// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fileutils.h"
#include "threadcount.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tuple>
#include <vector>

using namespace files;

namespace {
QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

QStringList relative(const QStringList &paths, const QString &root)
{
    QStringList out;
    for (const QString &p : paths)
        out << p.mid(root.size() + 1);
    return out;
}

bool canOpen(const QString &folder)
{
    DIR *d = ::opendir(QFile::encodeName(folder).constData());
    if (d)
        ::closedir(d);
    return d != nullptr;
}
} // namespace

TEST(DirContents, NamesOfDirectEntriesWithDotFiles)
{
    TestFolder f;
    f.addFile("b.mp3", "x");
    f.addFile(".hidden", "x");
    f.addFile("sub/inner.flac", "x");
    f.addFolder("empty");
    const auto names = dirContents(f.path());
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(sorted(*names), (QStringList{".hidden", "b.mp3", "empty", "sub"}));
    ASSERT_TRUE(dirContents(f.filePath("empty")).has_value());
    EXPECT_TRUE(dirContents(f.filePath("empty"))->isEmpty());
}

TEST(DirContents, AFileOrAMissingPathIsNoFolder)
{
    TestFolder f;
    const QString file = f.addFile("song.mp3", "x");
    EXPECT_FALSE(dirContents(file).has_value());
    EXPECT_FALSE(dirContents(f.filePath("missing")).has_value());
    EXPECT_FALSE(dirContentsRecursive(file).has_value());
    EXPECT_FALSE(dirContentsRecursive(f.filePath("missing")).has_value());
}

TEST(DirContentsRecursive, EveryEntryAtAnyDepthEachFolderBeforeItsContents)
{
    TestFolder f;
    f.addFile("a/b", "x");
    f.addFile("a/deeper/.c", "x");
    f.addFile("top.ogg", "x");
    f.addFile(QString::fromUtf16(u"n\u00e4me with spaces/\u6f22.m4a"), "x");
    const auto all = dirContentsRecursive(f.path());
    ASSERT_TRUE(all.has_value());
    const QStringList rel = relative(*all, f.path());
    EXPECT_EQ(sorted(rel), (QStringList{"a", "a/b", "a/deeper", "a/deeper/.c", QString::fromUtf16(u"n\u00e4me with spaces"),
                                        QString::fromUtf16(u"n\u00e4me with spaces/\u6f22.m4a"), "top.ogg"}));
    EXPECT_LT(rel.indexOf("a"), rel.indexOf("a/b"));
    EXPECT_LT(rel.indexOf("a/deeper"), rel.indexOf("a/deeper/.c"));
    for (const QString &p : *all)
        EXPECT_TRUE(QFileInfo::exists(p)) << p.toStdString();
    // A trailing slash on the folder gives the same paths.
    EXPECT_EQ(dirContentsRecursive(f.path() + "/"), all);
}

// The folders inside are walked several at once; what comes out is what
// one thread walking them in turn finds, in the same order.
TEST(DirContentsRecursive, AWalkOnSeveralThreadsFindsWhatOneFindsInItsOrder)
{
    TestFolder f;
    for (int artist = 0; artist < 12; ++artist)
        for (int album = 0; album < 3; ++album)
            for (int song = 0; song < 4; ++song)
                f.addFile(QStringLiteral("artist %1/album %2/%3.mp3").arg(artist).arg(album).arg(song), "x");
    f.addFile("loose.ogg", "x");
    ASSERT_TRUE(QFile::link(f.filePath("artist 3"), f.filePath("artist 4/album 1/link")));
    // Names that are not UTF-8, at several depths of several folders.
    for (const char *bad : {"/artist 2/\xff.mp3", "/artist 7/album 0/caf\xe9", "/\xfe top"}) {
        const QByteArray path = QFile::encodeName(f.path()) + bad;
        ::close(::open(path.constData(), O_WRONLY | O_CREAT, 0600));
    }

    const auto walk = [&](int threads) {
        const ScopedThreadCount count(threads);
        QList<Skipped> skipped;
        QList<bool> regular;
        const auto paths = dirContentsRecursive(f.path(), &skipped, &regular);
        QStringList told;
        for (const Skipped &s : skipped)
            told << s.shown + " " + s.reason;
        return std::tuple{paths.value_or(QStringList()), regular, told};
    };
    const auto [paths, regular, told] = walk(1);
    EXPECT_EQ(paths.size(), 12 + 12 * 3 + 12 * 3 * 4 + 1 + 1);
    EXPECT_EQ(regular.count(true), 12 * 3 * 4 + 1);
    EXPECT_EQ(told.size(), 3);
    for (const int threads : {2, 8})
        EXPECT_EQ(walk(threads), std::tuple(paths, regular, told)) << threads << " threads";
}

TEST(DirContentsRecursive, LinkCyclesAreListedButNotEntered)
{
    TestFolder f;
    f.addFile("a/song.mp3", "x");
    ASSERT_TRUE(QFile::link(f.path(), f.filePath("a/up")));
    ASSERT_TRUE(QFile::link(f.filePath("a"), f.filePath("a/self")));
    const auto all = dirContentsRecursive(f.path());
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(sorted(relative(*all, f.path())), (QStringList{"a", "a/self", "a/song.mp3", "a/up"}));
}

// The system's limit is on bytes, not characters: a path of two-byte
// characters one byte short of it is listed, one byte longer is passed over
// and told with its length.
TEST(DirContentsRecursive, PathsAreHeldToTheSystemsLimitInBytes)
{
    TestFolder f;
    const QByteArray base = QFile::encodeName(f.path());
    const QByteArray component = QString(120, QChar(0xe4)).toUtf8(); // 240 bytes
    // The folders leave between 20 and 260 bytes for the last name.
    const qsizetype levels = (PATH_MAX - 1 - base.size() - 21) / (component.size() + 1);
    const qsizetype last = PATH_MAX - 1 - base.size() - levels * (component.size() + 1) - 1;
    ASSERT_GT(last, 4);
    ASSERT_LT(last, 255);
    std::vector<int> folders{::open(base.constData(), O_RDONLY | O_DIRECTORY)};
    for (qsizetype i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdirat(folders.back(), component.constData(), 0700), 0);
        folders.push_back(::openat(folders.back(), component.constData(), O_RDONLY | O_DIRECTORY));
        ASSERT_GE(folders.back(), 0);
    }
    const QByteArray fits = QByteArray(last - 4, 'f') + ".mp3";
    const QByteArray over = QByteArray(last - 3, 'o') + ".mp3";
    for (const QByteArray &name : {fits, over})
        ::close(::openat(folders.back(), name.constData(), O_WRONLY | O_CREAT, 0600));

    QList<Skipped> skipped;
    const auto all = dirContentsRecursive(f.path(), &skipped);
    ASSERT_TRUE(all.has_value());
    ASSERT_EQ(all->size(), levels + 1);
    EXPECT_EQ(QFile::encodeName(all->last()).size(), PATH_MAX - 1);
    EXPECT_TRUE(all->last().endsWith(QString::fromLatin1(fits)));
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_TRUE(skipped[0].shown.endsWith(QString::fromLatin1(over)));
    EXPECT_TRUE(skipped[0].reason.startsWith(QStringLiteral("the path is too long (%1 bytes").arg(PATH_MAX)))
        << skipped[0].reason.toStdString();

    for (const QByteArray &name : {fits, over})
        ::unlinkat(folders.back(), name.constData(), 0);
    for (qsizetype i = levels; i > 0; --i) {
        ::close(folders[i]);
        ::unlinkat(folders[i - 1], component.constData(), AT_REMOVEDIR);
    }
    ::close(folders[0]);
}

TEST(DirContentsRecursive, UnreadableSubFolderIsPassedOver)
{
    TestFolder f;
    f.addFile("open/one.mp3", "x");
    f.addFile("locked/secret.mp3", "x");
    f.addFile("z.mp3", "x");
    const QString locked = f.filePath("locked");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    const auto all = dirContentsRecursive(f.path());
    const bool stillReadable = canOpen(locked);
    ::chmod(QFile::encodeName(locked).constData(), 0700);
    ASSERT_TRUE(all.has_value());
    const QStringList rel = relative(*all, f.path());
    EXPECT_TRUE(rel.contains("open/one.mp3"));
    EXPECT_TRUE(rel.contains("z.mp3"));
    EXPECT_TRUE(rel.contains("locked"));
    if (stillReadable)
        GTEST_SKIP() << "running with privileges that read a folder of mode 000; cannot check passing it over";
    EXPECT_FALSE(rel.contains("locked/secret.mp3"));
    EXPECT_EQ(rel.size(), 4); // open, open/one.mp3, locked, z.mp3
}

TEST(UserDefaults, IntegersPersistInTheSettingsFile)
{
    ScopedUserLocations home;
    EXPECT_TRUE(userDefaultsPath().startsWith(home.settingsHome())) << userDefaultsPath().toStdString();
    EXPECT_EQ(defaultInt("Launches"), 0);
    setDefaultInt("Launches", 3);
    EXPECT_EQ(defaultInt("Launches"), 3);
    EXPECT_TRUE(QFile::exists(userDefaultsPath()));
    QSettings direct(userDefaultsPath(), QSettings::NativeFormat);
    EXPECT_EQ(direct.value("Launches").toInt(), 3);
    direct.setValue("Launches", "not a number");
    direct.sync();
    EXPECT_EQ(defaultInt("Launches"), 0);
}
