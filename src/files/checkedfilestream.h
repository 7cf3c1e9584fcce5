// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fileidentity.h"

#include <QByteArray>
#include <QString>
#include <taglib/tiostream.h>

#include <vector>

// The stream TagLib reads and writes a music file through. Unlike TagLib's own
// stream it opens regular files only (a FIFO, socket or device named like a
// music file never blocks or gets written), and it remembers the first failed
// read or write, so that a save on a full disk is not taken for success.
//
// Writes never reach the file directly: they are kept as edits over its
// bytes, which every read sees, until commit() puts them on disk. So a save
// can be parsed again and checked before anything is changed, and a save
// that fails its check leaves the file's bytes as they were.
class CheckedFileStream : public TagLib::IOStream {
public:
    enum class Access { Read, ReadWrite };
    // Whether a folder listing has just named the path a regular file or a
    // link to one. Such a path is opened without a look of its own first.
    enum class Listed { No, Yes };

    CheckedFileStream(const QString &path, Access access, Listed listed = Listed::No);
    ~CheckedFileStream() override;
    CheckedFileStream(const CheckedFileStream &) = delete;
    CheckedFileStream &operator=(const CheckedFileStream &) = delete;

    // Why the file could not be opened, or the first read or write that
    // failed; empty while all went well.
    const QString &error() const { return error_; }
    bool failed() const { return !error_.isEmpty(); }

    // Reads up to size bytes at offset without moving the stream's position,
    // edits included; fewer at the end, -1 on failure.
    qint64 readAt(qint64 offset, char *buffer, qint64 size);
    // The same from the file as it is on disk, without the edits. Small reads
    // come from one block kept in memory: TagLib walks a tag or a chunk list
    // a few bytes at a time, which would otherwise cost a system call each.
    qint64 readOriginalAt(qint64 offset, char *buffer, qint64 size);
    qint64 originalLength() const { return originalLength_; }
    // The file opened; unknown when none was.
    FileIdentity identity() const { return identity_; }
    // Where size bytes at offset, edits included, lie unchanged in the file
    // on disk; -1 when they are not all original bytes in one run.
    qint64 originalOffset(qint64 offset, qint64 size) const;
    bool edited() const { return edited_; }

    // Puts the edits on disk. An edit that keeps every byte outside the
    // rewritten regions in place (a tag rewritten within its padding) is
    // written in place; so is one that moves at most inPlaceLimit bytes,
    // from a finished copy in memory. Any other is written to a copy beside
    // the file that takes the file's mode, owner, group, extended attributes
    // and access time and is renamed over it; a file with several hard
    // links, or one whose copy cannot be given all of these, is rewritten in
    // place from a finished copy instead. False, with error() set, when the
    // edits could not be stored; the file is then as it was unless the error
    // says where its new contents were kept.
    bool commit();

    // Creating and renaming a copy costs several times a small file's
    // rewrite; past this size the copy keeps the file whole should the
    // rewrite be cut short.
    static constexpr qint64 inPlaceLimit = 16 * 1024 * 1024;

    TagLib::FileName name() const override { return name_.constData(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector &data) override;
    void insert(const TagLib::ByteVector &data, unsigned long start = 0, unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override { return fd_ < 0 || !writable_; }
    bool isOpen() const override { return fd_ >= 0; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return position_; }
    long length() override { return static_cast<long>(length_); }
    void truncate(long length) override;

private:
    // A run of the file's new contents: original bytes from origin, or bytes of its own.
    struct Piece {
        qint64 origin; // -1 for bytes of its own
        qint64 size;
        QByteArray bytes;
    };

    bool ensureWritable();
    void startEditing();
    size_t splitAt(qint64 offset);
    void splice(qint64 begin, qint64 removed, const char *data, qint64 size);
    bool writeAt(qint64 offset, const char *data, qint64 size);
    bool keepsEveryOriginalByteInPlace() const;
    bool writeEditsInPlace();
    qint64 firstMovedByte() const;
    bool rewriteFromMemory(qint64 from);
    bool growFirst();
    bool shortenToLength();
    bool copyContentsTo(int fd);
    int makeCopyIn(const QByteArray &folder, QByteArray &copyName);
    bool replaceWithCopy(bool &tryInPlace);
    bool rewriteFromCopy();
    void fail(const QString &what, int errorNumber);
    // Where size bytes of the file on disk at offset lie in the block kept in
    // memory, the block read first when need be; nullptr when they are no
    // small read or do not fit in one block. ok turns false, with error()
    // set, when the block cannot be read.
    const char *inBlock(qint64 offset, qint64 size, bool &ok);
    static constexpr qint64 blockSize = 8192;

    QByteArray name_;
    int fd_ = -1;
    bool writable_ = false;
    long position_ = 0;
    qint64 length_ = 0;
    qint64 originalLength_ = 0;
    FileIdentity identity_;
    bool edited_ = false;
    std::vector<Piece> pieces_;
    QString error_;
    // The block of the file on disk that small reads come from; dropped
    // whenever the file is written.
    QByteArray block_;
    qint64 blockOffset_ = -1;
};
