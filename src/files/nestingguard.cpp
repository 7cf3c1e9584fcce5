// SPDX-License-Identifier: GPL-3.0-or-later
#include "nestingguard.h"

#include "checkedfilestream.h"

#include <QByteArray>
#include <QStringList>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace nestingguard {
namespace {

const QStringList mp4Suffixes = {"m4a", "m4b", "m4p", "m4r", "m4v", "mp4", "3g2"};

// The atoms TagLib's MP4 reader descends into, and the bytes it skips first.
int childOffset(const char *name)
{
    static const char *const containers[] = {"moov", "udta", "mdia", "ilst", "stbl", "minf", "moof", "traf", "trak"};
    for (const char *container : containers) {
        if (std::memcmp(name, container, 4) == 0)
            return 0;
    }
    if (std::memcmp(name, "meta", 4) == 0)
        return 4;
    if (std::memcmp(name, "stsd", 4) == 0)
        return 8;
    return -1;
}

// Reads small pieces of a stream that is walked mostly forwards, a block at a time.
class BlockReader {
public:
    explicit BlockReader(CheckedFileStream &stream) : stream_(stream), block_(64 * 1024, Qt::Uninitialized) {}

    bool read(qint64 offset, uchar *out, qint64 size)
    {
        if (offset < start_ || offset + size > start_ + filled_) {
            start_ = offset;
            filled_ = std::max<qint64>(0, stream_.readAt(offset, block_.data(), block_.size()));
            if (size > filled_)
                return false;
        }
        std::memcpy(out, block_.constData() + (offset - start_), size_t(size));
        return true;
    }

private:
    CheckedFileStream &stream_;
    QByteArray block_;
    qint64 start_ = 0;
    qint64 filled_ = 0;
};

// The deepest nesting of atoms TagLib's reader would descend, walked the same
// way but with a list instead of recursion; stops early past the limit.
qint64 atomDepth(CheckedFileStream &stream)
{
    const qint64 fileEnd = stream.length();
    BlockReader reader(stream);
    std::vector<qint64> openEnds; // where each container we are inside ends
    qint64 position = 0;
    qint64 deepest = 0;
    for (;;) {
        // A finished container leaves the reader at its declared end.
        while (!openEnds.empty() && position >= openEnds.back()) {
            position = openEnds.back();
            openEnds.pop_back();
        }
        if (openEnds.empty() && position + 8 > fileEnd)
            return deepest;
        uchar header[16];
        if (!reader.read(position, header, 8))
            return deepest;
        qint64 length = qFromBigEndian<quint32>(header);
        qint64 headerSize = 8;
        if (length == 1) {
            if (!reader.read(position + 8, header + 8, 8))
                return deepest;
            length = qint64(qFromBigEndian<quint64>(header + 8) & 0x7fffffffffffffffULL);
            headerSize = 16;
        } else if (length == 0) {
            length = fileEnd - position;
        }
        if (length < 8)
            return deepest; // the reader gives up on the whole file here
        const int offset = childOffset(reinterpret_cast<const char *>(header + 4));
        if (offset < 0) {
            position += length;
            continue;
        }
        openEnds.push_back(position + length);
        deepest = std::max<qint64>(deepest, qint64(openEnds.size()));
        if (deepest > maxAtomDepth)
            return deepest;
        position += headerSize + offset;
    }
}

// An ID3v2 tag at the start of the file: every level of nested chapters or
// tables of contents needs a frame whose four-letter id stands in the tag, so
// counting those ids bounds the depth.
qint64 chapterFrames(CheckedFileStream &stream)
{
    uchar header[10];
    if (stream.readAt(0, reinterpret_cast<char *>(header), 10) != 10 || std::memcmp(header, "ID3", 3) != 0)
        return 0;
    const qint64 size = (header[6] & 0x7f) << 21 | (header[7] & 0x7f) << 14 | (header[8] & 0x7f) << 7 | (header[9] & 0x7f);
    // The smallest nested frame (a table of contents with an empty id) takes
    // 13 bytes: a tag too small to hold the limit's worth cannot exceed it,
    // and most tags are not read twice.
    if (size < qint64(maxChapterFrames) * 13)
        return 0;
    QByteArray tag(size, Qt::Uninitialized);
    const qint64 got = stream.readAt(10, tag.data(), size);
    if (got <= 0)
        return 0;
    tag.truncate(got);
    return tag.count("CHAP") + tag.count("CTOC");
}

} // namespace

QString refusal(CheckedFileStream &stream, const QString &suffix)
{
    if (mp4Suffixes.contains(suffix)) {
        // Only a file long enough to hold the limit's worth of 8-byte atoms can exceed it.
        if (stream.length() / 8 > maxAtomDepth && atomDepth(stream) > maxAtomDepth)
            return QStringLiteral("nests its atoms too deeply to be read safely");
        return {};
    }
    if (chapterFrames(stream) > maxChapterFrames)
        return QStringLiteral("nests its chapter frames too deeply to be read safely");
    return {};
}

} // namespace nestingguard
