// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <taglib/tiostream.h>

// The stream TagLib reads and writes a music file through. Unlike TagLib's own
// stream it opens regular files only (a FIFO, socket or device named like a
// music file never blocks or gets written), and it remembers the first failed
// write, so that a save on a full disk is not taken for success. A file that
// must grow is extended before anything moves, so running out of space leaves
// the file as it was.
class CheckedFileStream : public TagLib::IOStream {
public:
    enum class Access { Read, ReadWrite };

    CheckedFileStream(const QString &path, Access access);
    ~CheckedFileStream() override;
    CheckedFileStream(const CheckedFileStream &) = delete;
    CheckedFileStream &operator=(const CheckedFileStream &) = delete;

    // Why the file could not be opened, or the first read or write that
    // failed; empty while all went well.
    const QString &error() const { return error_; }
    bool failed() const { return !error_.isEmpty(); }

    // Reads up to size bytes at offset without moving the stream's position;
    // fewer at the end of the file, -1 on failure.
    qint64 readAt(qint64 offset, char *buffer, qint64 size);

    TagLib::FileName name() const override { return name_.constData(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector &data) override;
    void insert(const TagLib::ByteVector &data, unsigned long start = 0, unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override { return fd_ < 0 || !writable_; }
    bool isOpen() const override { return fd_ >= 0; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return position_; }
    long length() override { return length_; }
    void truncate(long length) override;

private:
    bool ensureWritable();
    bool writeAt(qint64 offset, const char *data, qint64 size);
    bool moveTail(qint64 from, qint64 to, qint64 size);
    void fail(const QString &what, int errorNumber);

    QByteArray name_;
    int fd_ = -1;
    bool writable_ = false;
    long position_ = 0;
    long length_ = 0;
    QString error_;
};
