// SPDX-License-Identifier: GPL-3.0-or-later
#include "checkedfilestream.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 moveChunk = 1 << 20;

} // namespace

CheckedFileStream::CheckedFileStream(const QString &path, Access access) : name_(QFile::encodeName(path))
{
    // stat before open: opening a device node can have effects of its own.
    struct stat st;
    if (::stat(name_.constData(), &st) != 0) {
        fail(QStringLiteral("cannot be found"), errno);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        error_ = QStringLiteral("is not a regular file");
        return;
    }
    writable_ = access == Access::ReadWrite;
    const int flags = (writable_ ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    do
        fd_ = ::open(name_.constData(), flags);
    while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        fail(writable_ ? QStringLiteral("cannot be opened for writing") : QStringLiteral("cannot be opened"), errno);
        return;
    }
    // The path may have been swapped for something else since the stat.
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        error_ = QStringLiteral("is not a regular file");
        return;
    }
    length_ = static_cast<long>(st.st_size);
}

CheckedFileStream::~CheckedFileStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void CheckedFileStream::fail(const QString &what, int errorNumber)
{
    if (error_.isEmpty())
        error_ = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errorNumber));
}

qint64 CheckedFileStream::readAt(qint64 offset, char *buffer, qint64 size)
{
    if (fd_ < 0)
        return -1;
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd_, buffer + done, static_cast<size_t>(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            fail(QStringLiteral("cannot be read"), errno);
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

TagLib::ByteVector CheckedFileStream::readBlock(unsigned long length)
{
    if (fd_ < 0 || position_ >= length_ || length == 0)
        return {};
    // Sizes come from the file itself: a crafted one must not make us allocate
    // more than the file holds.
    const qint64 wanted = std::min<qint64>({static_cast<qint64>(length), length_ - position_, qint64(INT_MAX)});
    TagLib::ByteVector data(static_cast<unsigned int>(wanted));
    const qint64 got = readAt(position_, data.data(), wanted);
    if (got <= 0)
        return {};
    data.resize(static_cast<unsigned int>(got));
    position_ += static_cast<long>(got);
    return data;
}

bool CheckedFileStream::ensureWritable()
{
    if (!readOnly())
        return true;
    if (error_.isEmpty())
        error_ = QStringLiteral("is open for reading only");
    return false;
}

bool CheckedFileStream::writeAt(qint64 offset, const char *data, qint64 size)
{
    if (!ensureWritable())
        return false;
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd_, data + done, static_cast<size_t>(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fail(QStringLiteral("cannot be written"), n < 0 ? errno : EIO);
            return false;
        }
        done += n;
    }
    length_ = std::max<long>(length_, static_cast<long>(offset + size));
    return true;
}

void CheckedFileStream::writeBlock(const TagLib::ByteVector &data)
{
    if (writeAt(position_, data.data(), data.size()))
        position_ += static_cast<long>(data.size());
}

// Moves size bytes from offset from to offset to; the ranges may overlap.
bool CheckedFileStream::moveTail(qint64 from, qint64 to, qint64 size)
{
    if (size <= 0 || from == to)
        return true;
    QByteArray buffer(static_cast<qsizetype>(std::min(size, moveChunk)), Qt::Uninitialized);
    for (qint64 done = 0; done < size;) {
        const qint64 n = std::min<qint64>(buffer.size(), size - done);
        // Moving towards the end copies from the back so nothing is overwritten before it is read.
        const qint64 offset = to > from ? size - done - n : done;
        if (readAt(from + offset, buffer.data(), n) != n) {
            if (error_.isEmpty())
                error_ = QStringLiteral("ended while it was being rewritten");
            return false;
        }
        if (!writeAt(to + offset, buffer.constData(), n))
            return false;
        done += n;
    }
    return true;
}

void CheckedFileStream::insert(const TagLib::ByteVector &data, unsigned long start, unsigned long replace)
{
    if (!ensureWritable() || failed())
        return;
    const qint64 begin = std::min<qint64>(static_cast<qint64>(start), length_);
    const qint64 tailStart = std::min<qint64>(begin + static_cast<qint64>(replace), length_);
    const qint64 tailSize = length_ - tailStart;
    const qint64 delta = static_cast<qint64>(data.size()) - (tailStart - begin);
    if (delta > 0) {
        // Claim the room first: when the disk is full, nothing has moved yet.
        const int rc = ::posix_fallocate(fd_, length_, delta);
        if (rc != 0 && rc != EOPNOTSUPP && rc != EINVAL) {
            fail(QStringLiteral("cannot grow"), rc);
            return;
        }
        if (!moveTail(tailStart, tailStart + delta, tailSize))
            return;
        if (!writeAt(begin, data.data(), data.size()))
            return;
    } else {
        if (!writeAt(begin, data.data(), data.size()))
            return;
        if (delta < 0) {
            if (!moveTail(tailStart, tailStart + delta, tailSize))
                return;
            truncate(static_cast<long>(length_ + delta));
        }
    }
    position_ = static_cast<long>(begin + data.size());
}

void CheckedFileStream::removeBlock(unsigned long start, unsigned long length)
{
    insert(TagLib::ByteVector(), start, length);
}

void CheckedFileStream::seek(long offset, Position p)
{
    long target = offset;
    if (p == Current)
        target = position_ + offset;
    else if (p == End)
        target = length_ + offset;
    if (target >= 0)
        position_ = target;
}

void CheckedFileStream::truncate(long length)
{
    if (!ensureWritable())
        return;
    int rc;
    do
        rc = ::ftruncate(fd_, length);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        fail(QStringLiteral("cannot be shortened"), errno);
        return;
    }
    length_ = length;
}
