// SPDX-License-Identifier: GPL-3.0-or-later
#include "safemove.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace safemove {

namespace {
// The no-replace flag is refused (not merely failing) by file systems that do
// not implement it; only then is the link fallback worth trying.
bool refusedFlag(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}
// Removes a name the move made, leaving errno telling why the move failed.
void unlinkKeepingErrno(const QByteArray &path)
{
    const int error = errno;
    ::unlink(path.constData());
    errno = error;
}

// Closes the descriptor when it goes, keeping errno as it was.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0) {
            const int error = errno;
            ::close(fd_);
            errno = error;
        }
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool writeAll(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

ssize_t readSome(int fd, char *data, size_t size)
{
    ssize_t got;
    do
        got = ::read(fd, data, size);
    while (got < 0 && errno == EINTR);
    return got;
}

// Copies the open source into the open target, then reads the target back
// and compares it with the source from the start.
bool copyAndCompare(int source, int target)
{
    constexpr size_t block = 1 << 16;
    QByteArray buffer(block, Qt::Uninitialized);
    QByteArray again(block, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = readSome(source, buffer.data(), block);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (!writeAll(target, buffer.constData(), got))
            return false;
    }
    if (::fsync(target) != 0 || ::lseek(source, 0, SEEK_SET) != 0 || ::lseek(target, 0, SEEK_SET) != 0)
        return false;
    for (;;) {
        const ssize_t got = readSome(source, buffer.data(), block);
        if (got < 0)
            return false;
        qsizetype have = 0;
        while (have < got) {
            const ssize_t more = readSome(target, again.data() + have, size_t(got - have));
            if (more <= 0)
                return false;
            have += more;
        }
        if (std::memcmp(buffer.constData(), again.constData(), size_t(got)) != 0)
            return false;
        if (got == 0)
            return readSome(target, again.data(), 1) == 0;
    }
}

// The move between file systems: a verified copy, then the original goes.
bool copyAcross(const QByteArray &source, const QByteArray &target)
{
    const Descriptor in(::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat status {};
    if (in.get() < 0 || ::fstat(in.get(), &status) != 0)
        return false;
    if (!S_ISREG(status.st_mode)) {
        errno = EINVAL;
        return false;
    }
    const qsizetype slash = target.lastIndexOf('/');
    QByteArray temporary = target.left(slash + 1) + ".quavertin-move-XXXXXX";
    const Descriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (out.get() < 0)
        return false;
    const timespec times[2] = {status.st_atim, status.st_mtim};
    const bool copied = copyAndCompare(in.get(), out.get()) && ::fchmod(out.get(), status.st_mode & 07777) == 0 &&
                        ::futimens(out.get(), times) == 0;
    if (!copied || !moveWithoutReplacing(temporary, target)) {
        unlinkKeepingErrno(temporary);
        return false;
    }
    if (::unlink(source.constData()) != 0) {
        // Kept twice is no move: the copy goes, the original stays.
        unlinkKeepingErrno(target);
        return false;
    }
    return true;
}

} // namespace

bool moveMakingFolders(const QString &from, const QString &to)
{
    const QString folder = QFileInfo(to).path();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        errno = EACCES;
        return false;
    }
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (moveWithoutReplacing(source, target))
        return true;
    if (errno != EXDEV)
        return false;
    return copyAcross(source, target);
}

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
        unlinkKeepingErrno(target);
        return false;
    }
    return true;
}

} // namespace safemove
