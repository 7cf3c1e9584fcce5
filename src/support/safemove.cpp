// SPDX-License-Identifier: GPL-3.0-or-later
#include "safemove.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace safemove {

namespace {
// The no-replace flag is refused (not merely failing) by file systems that do
// not implement it; only then is the link fallback worth trying.
bool refusedFlag(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}
} // namespace

bool moveWithoutReplacing(const QString &from, const QString &to)
{
    return moveWithoutReplacing(QFile::encodeName(from), QFile::encodeName(to));
}

bool moveWithoutReplacing(const QByteArray &source, const QByteArray &target)
{
    // A name with an embedded NUL would be cut short by the system call and
    // name some other file.
    if (source.isEmpty() || target.isEmpty() || source.contains('\0') || target.contains('\0')) {
        errno = EINVAL;
        return false;
    }

    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (!refusedFlag(errno))
        return false;

    // link() fails with EEXIST when the name is taken, atomically.
    if (::link(source.constData(), target.constData()) != 0)
        return false;
    if (::unlink(source.constData()) != 0) {
        const int error = errno;
        ::unlink(target.constData());
        errno = error;
        return false;
    }
    return true;
}

} // namespace safemove
