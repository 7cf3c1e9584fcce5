// SPDX-License-Identifier: GPL-3.0-or-later
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

TestFolder::TestFolder() : path_(dir_.path())
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

namespace {

int removeEntry(const char *path, const struct stat *, int kind, struct FTW *)
{
    if (kind == FTW_DP)
        ::rmdir(path);
    else
        ::unlink(path);
    return 0;
}

int openUp(const char *path, const struct stat *info, int kind, struct FTW *)
{
    if (kind == FTW_D || kind == FTW_DNR)
        ::chmod(path, (info->st_mode & 07777) | S_IRWXU);
    return 0;
}

} // namespace

// Removed by its bytes: names that are not UTF-8, which tests make on
// purpose, cannot be named through QString, so QTemporaryDir would leave
// them (and the folder) behind. Folders a test made unreadable are opened
// up first.
TestFolder::~TestFolder()
{
    const QByteArray root = QFile::encodeName(path_);
    ::nftw(root.constData(), openUp, 16, FTW_PHYS);
    ::nftw(root.constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

QString TestFolder::filePath(const QString &relative) const
{
    return path_ + QLatin1Char('/') + relative;
}

QString TestFolder::addSeed(const QString &seed, const QString &relative)
{
    const QString target = filePath(relative);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    if (!QFile::copy(seedPath(seed), target))
        throw std::runtime_error(("cannot copy seed " + seed).toStdString());
    // Seeds are read-only in some checkouts; the copies must be writable.
    QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return target;
}

QString TestFolder::addFile(const QString &relative, const QByteArray &bytes)
{
    const QString target = filePath(relative);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile f(target);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error(("cannot write " + target).toStdString());
    return target;
}

QString TestFolder::addFolder(const QString &relative)
{
    const QString target = filePath(relative);
    QDir().mkpath(target);
    return target;
}

QString TestFolder::seedPath(const QString &seed)
{
    return QStringLiteral(QUAVERTIN_TEST_DATA) + QLatin1Char('/') + seed;
}

QByteArray TestFolder::readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QStringList seedNames()
{
    return {"seed.mp3", "seed.flac", "seed.ogg", "seed.m4a", "seed.wav"};
}
