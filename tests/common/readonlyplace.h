// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <sys/mount.h>
#include <unistd.h>

// A folder whose files can be made unwritable for real: by their
// permissions, or (root writes through those) by mounting a small tmpfs
// there and remounting it read-only. available() is false when neither works.
class ReadOnlyPlace {
public:
    ReadOnlyPlace(TestFolder &folder, const QString &relative) : folder_(folder), path_(folder.filePath(relative))
    {
        QDir().mkpath(path_);
        if (::geteuid() == 0)
            mounted_ = ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", 0, "size=1m") == 0;
        relative_ = relative;
    }
    ~ReadOnlyPlace()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
    }
    bool available() const { return ::geteuid() != 0 || mounted_; }
    QString addSeed(const QString &seed, const QString &name) { return folder_.addSeed(seed, relative_ + "/" + name); }
    // Every file placed here so far (and, under root, later) can no longer be written.
    bool lock()
    {
        if (mounted_)
            return ::mount(nullptr, QFile::encodeName(path_).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
        for (const QString &name : QDir(path_).entryList(QDir::Files))
            if (!QFile::setPermissions(path_ + "/" + name, QFile::ReadOwner | QFile::ReadGroup))
                return false;
        return true;
    }

private:
    TestFolder &folder_;
    QString path_;
    QString relative_;
    bool mounted_ = false;
};
