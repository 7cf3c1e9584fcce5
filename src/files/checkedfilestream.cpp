// SPDX-License-Identifier: GPL-3.0-or-later
#include "checkedfilestream.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr qint64 copyChunk = 1 << 20;

bool writeAll(int fd, qint64 offset, const char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, static_cast<size_t>(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

qint64 readFull(int fd, qint64 offset, char *buffer, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buffer + done, static_cast<size_t>(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

// Copies every extended attribute (ACLs and security labels among them); false when one cannot be kept.
bool copyAttributes(int from, int to)
{
    ssize_t listSize = ::flistxattr(from, nullptr, 0);
    if (listSize < 0)
        return errno == ENOTSUP;
    if (listSize == 0)
        return true;
    QByteArray names(listSize, '\0');
    listSize = ::flistxattr(from, names.data(), size_t(names.size()));
    if (listSize < 0)
        return false;
    for (qsizetype at = 0; at < listSize;) {
        const char *name = names.constData() + at;
        at += qsizetype(std::strlen(name)) + 1;
        const ssize_t valueSize = ::fgetxattr(from, name, nullptr, 0);
        if (valueSize < 0)
            return false;
        QByteArray value(valueSize, '\0');
        const ssize_t got = ::fgetxattr(from, name, value.data(), size_t(value.size()));
        if (got < 0 || ::fsetxattr(to, name, value.constData(), size_t(got), 0) != 0)
            return false;
    }
    return true;
}

} // namespace

namespace {

int openRetrying(const QByteArray &name, int flags)
{
    int fd;
    do
        fd = ::open(name.constData(), flags);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

CheckedFileStream::CheckedFileStream(const QString &path, Access access, Listed listed)
    : name_(QFile::encodeName(path))
{
    writable_ = access == Access::ReadWrite;
    const int flags = (writable_ ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    struct stat st;
    // A listed path held a regular file moments ago, or a link. Without
    // following a link, only a rename could have put anything else there: a
    // pipe, which the open does not wait on and the check below refuses, or a
    // device node, which takes the privileges to make one. So it is opened
    // straight away; a link, or any failure, takes the careful way.
    if (listed == Listed::Yes)
        fd_ = openRetrying(name_, flags | O_NOFOLLOW);
    if (fd_ < 0) {
        // stat before open: opening a device node can have effects of its own.
        if (::stat(name_.constData(), &st) != 0) {
            fail(QStringLiteral("cannot be found"), errno);
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            error_ = QStringLiteral("is not a regular file");
            return;
        }
        fd_ = openRetrying(name_, flags);
        if (fd_ < 0) {
            fail(writable_ ? QStringLiteral("cannot be opened for writing") : QStringLiteral("cannot be opened"),
                 errno);
            return;
        }
    }
    // The path may have been swapped for something else since it was looked at.
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        error_ = QStringLiteral("is not a regular file");
        return;
    }
    length_ = originalLength_ = std::min<qint64>(st.st_size, LONG_MAX);
    identity_ = {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
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

const char *CheckedFileStream::inBlock(qint64 offset, qint64 size, bool &ok)
{
    ok = true;
    const qint64 start = offset & ~(blockSize - 1);
    if (size >= blockSize || offset < 0)
        return nullptr;
    if (start != blockOffset_) {
        block_.resize(std::min(blockSize, originalLength_ - start));
        const qint64 got = readFull(fd_, start, block_.data(), block_.size());
        if (got < 0) {
            blockOffset_ = -1;
            fail(QStringLiteral("cannot be read"), errno);
            ok = false;
            return nullptr;
        }
        block_.resize(got);
        blockOffset_ = start;
    }
    return offset - start + size <= block_.size() ? block_.constData() + (offset - start) : nullptr;
}

qint64 CheckedFileStream::readOriginalAt(qint64 offset, char *buffer, qint64 size)
{
    if (fd_ < 0)
        return -1;
    // Past the length it had when opened the file holds nothing for us; not
    // asking spares a read that could only say so.
    size = std::min(size, std::max<qint64>(0, originalLength_ - offset));
    if (size <= 0)
        return 0;
    bool ok = true;
    if (const char *bytes = inBlock(offset, size, ok)) {
        std::memcpy(buffer, bytes, size_t(size));
        return size;
    }
    if (!ok)
        return -1;
    const qint64 got = readFull(fd_, offset, buffer, size);
    if (got < 0)
        fail(QStringLiteral("cannot be read"), errno);
    return got;
}

qint64 CheckedFileStream::readAt(qint64 offset, char *buffer, qint64 size)
{
    if (!edited_)
        return readOriginalAt(offset, buffer, size);
    size = std::max<qint64>(0, std::min(size, length_ - offset));
    qint64 start = 0;
    qint64 done = 0;
    for (const Piece &piece : pieces_) {
        if (done == size)
            break;
        const qint64 end = start + piece.size;
        const qint64 at = offset + done;
        if (at < end) {
            const qint64 inside = at - start;
            const qint64 n = std::min(size - done, piece.size - inside);
            if (piece.origin < 0) {
                std::memcpy(buffer + done, piece.bytes.constData() + inside, size_t(n));
            } else if (readOriginalAt(piece.origin + inside, buffer + done, n) != n) {
                if (error_.isEmpty())
                    error_ = QStringLiteral("ended while it was being read");
                return -1;
            }
            done += n;
        }
        start = end;
    }
    return done;
}

qint64 CheckedFileStream::originalOffset(qint64 offset, qint64 size) const
{
    if (!edited_)
        return offset;
    qint64 start = 0;
    for (const Piece &piece : pieces_) {
        if (offset < start + piece.size) {
            if (piece.origin < 0 || offset + size > start + piece.size)
                return -1;
            return piece.origin + (offset - start);
        }
        start += piece.size;
    }
    return -1;
}

TagLib::ByteVector CheckedFileStream::readBlock(unsigned long length)
{
    if (fd_ < 0 || position_ >= length_ || length == 0)
        return {};
    // Sizes come from the file itself: a crafted one must not make us allocate
    // more than the file holds.
    // Compared unsigned: a length past the signed range (a size TagLib worked
    // out below zero) must not turn negative here.
    const qint64 most = std::min<qint64>(length_ - position_, INT_MAX);
    const qint64 wanted = length < static_cast<unsigned long>(most) ? static_cast<qint64>(length) : most;
    // TagLib reads a tag or an atom tree a few bytes at a time: those come
    // straight from the block in memory, copied once, not zeroed first.
    if (!edited_) {
        bool ok = true;
        if (const char *bytes = inBlock(position_, wanted, ok)) {
            position_ += static_cast<long>(wanted);
            return TagLib::ByteVector(bytes, static_cast<unsigned int>(wanted));
        }
        if (!ok)
            return {};
    }
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

void CheckedFileStream::startEditing()
{
    if (edited_)
        return;
    edited_ = true;
    if (length_ > 0)
        pieces_.push_back({0, length_, {}});
}

// The index of the piece that starts at offset, splitting one if need be.
size_t CheckedFileStream::splitAt(qint64 offset)
{
    qint64 start = 0;
    for (size_t i = 0; i < pieces_.size(); ++i) {
        Piece &piece = pieces_[i];
        if (offset == start)
            return i;
        if (offset < start + piece.size) {
            const qint64 inside = offset - start;
            Piece tail{piece.origin < 0 ? -1 : piece.origin + inside, piece.size - inside,
                       piece.origin < 0 ? piece.bytes.mid(inside) : QByteArray()};
            piece.size = inside;
            if (piece.origin < 0)
                piece.bytes.truncate(inside);
            pieces_.insert(pieces_.begin() + qsizetype(i) + 1, std::move(tail));
            return i + 1;
        }
        start += piece.size;
    }
    return pieces_.size();
}

void CheckedFileStream::splice(qint64 begin, qint64 removed, const char *data, qint64 size)
{
    startEditing();
    const size_t first = splitAt(begin);
    const size_t last = splitAt(begin + removed);
    pieces_.erase(pieces_.begin() + qsizetype(first), pieces_.begin() + qsizetype(last));
    if (size > 0) {
        // A write that continues bytes of our own grows them: TagLib rewrites
        // chunk-offset tables four bytes at a time, and a piece per write
        // would make each later write walk them all.
        if (first > 0 && pieces_[first - 1].origin < 0) {
            Piece &before = pieces_[first - 1];
            before.bytes.append(data, size);
            before.size += size;
        } else {
            pieces_.insert(pieces_.begin() + qsizetype(first), Piece{-1, size, QByteArray(data, size)});
        }
    }
    length_ += size - removed;
}

bool CheckedFileStream::writeAt(qint64 offset, const char *data, qint64 size)
{
    if (!ensureWritable() || failed())
        return false;
    if (offset > length_) {
        const QByteArray gap(offset - length_, '\0');
        splice(length_, 0, gap.constData(), gap.size());
    }
    // Rewriting bytes written before (Ogg pages renumbered one by one) changes them where they are.
    qint64 start = 0;
    for (Piece &piece : pieces_) {
        if (offset >= start && offset + size <= start + piece.size && piece.origin < 0) {
            std::memcpy(piece.bytes.data() + (offset - start), data, size_t(size));
            return true;
        }
        if (offset < start + piece.size)
            break;
        start += piece.size;
    }
    splice(offset, std::min(size, length_ - offset), data, size);
    return true;
}

void CheckedFileStream::writeBlock(const TagLib::ByteVector &data)
{
    if (writeAt(position_, data.data(), data.size()))
        position_ += static_cast<long>(data.size());
}

void CheckedFileStream::insert(const TagLib::ByteVector &data, unsigned long start, unsigned long replace)
{
    if (!ensureWritable() || failed())
        return;
    const qint64 begin = std::min<qint64>(static_cast<qint64>(start), length_);
    const qint64 end = std::min<qint64>(begin + static_cast<qint64>(replace), length_);
    splice(begin, end - begin, data.data(), data.size());
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
        target = static_cast<long>(length_) + offset;
    if (target >= 0)
        position_ = target;
}

void CheckedFileStream::truncate(long length)
{
    if (!ensureWritable() || failed() || length < 0)
        return;
    if (length < length_) {
        splice(length, length_ - length, nullptr, 0);
    } else if (length > length_) {
        const QByteArray gap(length - length_, '\0');
        splice(length_, 0, gap.constData(), gap.size());
    }
}

bool CheckedFileStream::keepsEveryOriginalByteInPlace() const
{
    if (length_ != originalLength_)
        return false;
    qint64 start = 0;
    for (const Piece &piece : pieces_) {
        if (piece.origin >= 0 && piece.origin != start)
            return false;
        start += piece.size;
    }
    return true;
}

bool CheckedFileStream::writeEditsInPlace()
{
    qint64 start = 0;
    for (const Piece &piece : pieces_) {
        if (piece.origin < 0 && !writeAll(fd_, start, piece.bytes.constData(), piece.size)) {
            fail(QStringLiteral("cannot be written"), errno);
            return false;
        }
        start += piece.size;
    }
    return true;
}

// Where the new contents first differ from the file in place: bytes of its
// own or original bytes from elsewhere.
qint64 CheckedFileStream::firstMovedByte() const
{
    qint64 start = 0;
    for (const Piece &piece : pieces_) {
        if (piece.origin != start)
            return start;
        start += piece.size;
    }
    return start;
}

bool CheckedFileStream::rewriteFromMemory(qint64 from)
{
    QByteArray tail(length_ - from, Qt::Uninitialized);
    if (readAt(from, tail.data(), tail.size()) != tail.size()) {
        if (error_.isEmpty())
            error_ = QStringLiteral("ended while it was being saved");
        return false;
    }
    if (!growFirst())
        return false;
    if (!writeAll(fd_, from, tail.constData(), tail.size())) {
        fail(QStringLiteral("cannot be written"), errno);
        return false;
    }
    return shortenToLength();
}

// Claims the room a longer file needs before anything is overwritten, so
// that a full disk leaves the file as it was.
bool CheckedFileStream::growFirst()
{
    if (length_ <= originalLength_)
        return true;
    const int rc = ::posix_fallocate(fd_, originalLength_, length_ - originalLength_);
    if (rc != 0 && rc != EOPNOTSUPP && rc != EINVAL) {
        fail(QStringLiteral("cannot grow"), rc);
        return false;
    }
    return true;
}

bool CheckedFileStream::shortenToLength()
{
    if (length_ >= originalLength_)
        return true;
    int rc;
    do
        rc = ::ftruncate(fd_, length_);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        fail(QStringLiteral("cannot be shortened"), errno);
        return false;
    }
    return true;
}

bool CheckedFileStream::copyContentsTo(int fd)
{
    QByteArray buffer;
    qint64 at = 0;
    for (const Piece &piece : pieces_) {
        if (piece.origin < 0) {
            if (!writeAll(fd, at, piece.bytes.constData(), piece.size)) {
                fail(QStringLiteral("cannot be written"), errno);
                return false;
            }
            at += piece.size;
            continue;
        }
        buffer.resize(std::min(piece.size, copyChunk));
        for (qint64 done = 0; done < piece.size;) {
            const qint64 n = std::min<qint64>(buffer.size(), piece.size - done);
            if (readOriginalAt(piece.origin + done, buffer.data(), n) != n) {
                if (error_.isEmpty())
                    error_ = QStringLiteral("ended while it was being saved");
                return false;
            }
            if (!writeAll(fd, at, buffer.constData(), n)) {
                fail(QStringLiteral("cannot be written"), errno);
                return false;
            }
            done += n;
            at += n;
        }
    }
    return true;
}

// A new empty file in folder, named so that no folder walk takes it for music; -1 on failure.
int CheckedFileStream::makeCopyIn(const QByteArray &folder, QByteArray &copyName)
{
    copyName = folder + "/.quavertin-save-XXXXXX";
    return ::mkostemp(copyName.data(), O_CLOEXEC);
}

// tryInPlace is set when the copy could not be made or given the file's
// owner and attributes, so that nothing was changed yet.
bool CheckedFileStream::replaceWithCopy(bool &tryInPlace)
{
    tryInPlace = false;
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        fail(QStringLiteral("cannot be examined"), errno);
        return false;
    }
    if (st.st_nlink != 1) {
        tryInPlace = true;
        return false;
    }
    QByteArray copyName;
    const int copy = makeCopyIn(folderOf(name_), copyName);
    if (copy < 0) {
        tryInPlace = true;
        return false;
    }
    const auto discard = [&] {
        ::close(copy);
        ::unlink(copyName.constData());
    };
    const int rc = length_ > 0 ? ::posix_fallocate(copy, 0, length_) : 0;
    if (rc != 0 && rc != EOPNOTSUPP && rc != EINVAL) {
        fail(QStringLiteral("cannot be saved"), rc);
        discard();
        return false;
    }
    if (!copyContentsTo(copy)) {
        discard();
        return false;
    }
    if (::fchown(copy, st.st_uid, st.st_gid) != 0 || ::fchmod(copy, st.st_mode & 07777) != 0 ||
        !copyAttributes(fd_, copy)) {
        discard();
        tryInPlace = true;
        return false;
    }
    // The access time is the file's; the modification time is now, as after any change in place.
    const timespec times[2] = {st.st_atim, {0, UTIME_NOW}};
    ::futimens(copy, times);
    // Someone may have put another file in its place meanwhile: that one is not replaced.
    struct stat now;
    if (::stat(name_.constData(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
        discard();
        error_ = QStringLiteral("was replaced by another file while it was being saved");
        return false;
    }
    if (::rename(copyName.constData(), name_.constData()) != 0) {
        fail(QStringLiteral("cannot be replaced by its saved copy"), errno);
        discard();
        return false;
    }
    ::close(fd_);
    fd_ = copy;
    return true;
}

// The new contents are finished in a copy first (beside the file, else in the
// temporary folder), so that moving bytes within the file never reads bytes
// already overwritten.
bool CheckedFileStream::rewriteFromCopy()
{
    QByteArray copyName;
    int copy = makeCopyIn(folderOf(name_), copyName);
    if (copy < 0)
        copy = makeCopyIn(QFile::encodeName(QDir::tempPath()), copyName);
    if (copy < 0) {
        fail(QStringLiteral("cannot be saved: no room for a copy"), errno);
        return false;
    }
    const auto discard = [&] {
        ::close(copy);
        ::unlink(copyName.constData());
    };
    if (!copyContentsTo(copy)) {
        discard();
        return false;
    }
    if (!growFirst()) {
        discard();
        return false;
    }
    QByteArray buffer(std::min(std::max<qint64>(length_, 1), copyChunk), Qt::Uninitialized);
    for (qint64 done = 0; done < length_;) {
        const qint64 n = std::min<qint64>(buffer.size(), length_ - done);
        if (readFull(copy, done, buffer.data(), n) != n || !writeAll(fd_, done, buffer.constData(), n)) {
            fail(QStringLiteral("could only be written in part (its new contents are kept in %1)")
                     .arg(QFile::decodeName(copyName)),
                 errno);
            ::close(copy);
            return false;
        }
        done += n;
    }
    if (!shortenToLength()) {
        ::close(copy);
        return false;
    }
    discard();
    return true;
}

bool CheckedFileStream::commit()
{
    if (!edited_)
        return !failed();
    if (failed() || !ensureWritable())
        return false;
    // Whatever happens below, the file on disk is no longer the block read.
    const auto dropBlock = qScopeGuard([this] { blockOffset_ = -1; });
    bool committed = false;
    if (keepsEveryOriginalByteInPlace()) {
        committed = writeEditsInPlace();
    } else if (const qint64 from = firstMovedByte(); length_ - from <= inPlaceLimit) {
        committed = rewriteFromMemory(from);
    } else {
        bool tryInPlace = false;
        committed = replaceWithCopy(tryInPlace);
        if (!committed && tryInPlace)
            committed = rewriteFromCopy();
    }
    if (!committed)
        return false;
    pieces_.clear();
    edited_ = false;
    originalLength_ = length_;
    return true;
}
