// SPDX-License-Identifier: GPL-3.0-or-later
#include "nestingguard.h"

#include "checkedfilestream.h"

#include <QByteArray>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
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

// TagLib's ASF reader loops over the record counts of the metadata objects
// without looking at the bytes left, and goes on past the end of the file
// for every record a count claims: a 1 KiB file can claim 65535 records an
// object and take as long to read as a file that holds them. This walk
// follows the reader over the header objects, as far as it would go, and
// finds a count that the rest of the file cannot hold.
class AsfWalk {
public:
    explicit AsfWalk(CheckedFileStream &stream) : reader_(stream), end_(stream.length()) {}

    // Whether some metadata object claims more records than the file holds;
    // false too for a file that is not ASF.
    bool claimsTooMany()
    {
        if (!guidIs(headerGuid))
            return false;
        take(8);
        const int objects = int(quint32(take(4)));
        take(2);
        for (int i = 0; i < objects && end_ - position_ >= 24; ++i) {
            const QByteArray guid = guidAt();
            const quint64 size = take(8);
            if (guid == extendedContentGuid) {
                if (!records(0))
                    return true;
            } else if (guid == contentGuid) {
                quint64 lengths = 0;
                for (int field = 0; field < 5; ++field)
                    lengths += take(2);
                skip(lengths);
            } else if (guid == headerExtensionGuid) {
                skip(18);
                const qint64 dataSize = qint64(take(4));
                for (qint64 done = 0; done < dataSize && end_ - position_ >= 24;) {
                    const QByteArray inner = guidAt();
                    const quint64 innerSize = take(8);
                    if ((inner == metadataGuid && !records(1)) || (inner == metadataLibraryGuid && !records(2)))
                        return true;
                    if (inner != metadataGuid && inner != metadataLibraryGuid)
                        skipObject(innerSize);
                    // Wraps as the reader's sum does: a size past the signed range steps back.
                    done = qint64(quint64(done) + innerSize);
                }
            } else {
                skipObject(size);
            }
        }
        return false;
    }

private:
    static inline const QByteArray headerGuid{"\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16};
    static inline const QByteArray contentGuid{"\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16};
    static inline const QByteArray extendedContentGuid{"\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16};
    static inline const QByteArray headerExtensionGuid{"\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65", 16};
    static inline const QByteArray metadataGuid{"\xEA\xCB\xF8\xC5\xAF\x5B\x77\x48\x84\x67\xAA\x8C\x44\xFA\x4C\xCA", 16};
    static inline const QByteArray metadataLibraryGuid{"\x94\x1C\x23\x44\x98\x94\xD1\x49\xA1\x41\x1D\x13\x4E\x45\x70\x54", 16};

    // A little-endian field of size bytes; 0 when the file ends first, as
    // the reader takes it, with the position at the end.
    quint64 take(int size)
    {
        uchar bytes[8];
        if (end_ - position_ < size || !reader_.read(position_, bytes, size)) {
            position_ = end_;
            return 0;
        }
        position_ += size;
        quint64 value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | bytes[i];
        return value;
    }

    void skip(quint64 size) { position_ += qint64(std::min<quint64>(size, quint64(end_ - position_))); }

    QByteArray guidAt()
    {
        QByteArray guid(16, Qt::Uninitialized);
        if (!reader_.read(position_, reinterpret_cast<uchar *>(guid.data()), 16))
            guid.clear();
        skip(16);
        return guid;
    }

    bool guidIs(const QByteArray &wanted) { return guidAt() == wanted; }

    // An object the reader keeps whole: its body is read when its size, cut
    // to 32 bits, fits the file, and not at all otherwise.
    void skipObject(quint64 size)
    {
        const quint32 cut = quint32(size);
        if (cut > 24 && cut <= quint64(end_))
            skip(cut - 24);
    }

    // The records of a metadata object (kind 0: extended content, 1:
    // metadata, 2: metadata library); false when they cannot all be there.
    bool records(int kind)
    {
        const qint64 count = qint64(take(2));
        const qint64 smallest = kind == 0 ? 6 : 12;
        if (count * smallest > end_ - position_)
            return false;
        for (qint64 i = 0; i < count; ++i) {
            quint64 type = 0;
            quint64 size = 0;
            if (kind == 0) {
                skip(take(2));
                type = take(2);
                size = take(2);
            } else {
                take(4);
                const quint64 nameSize = take(2);
                type = take(2);
                size = take(4);
                skip(nameSize);
            }
            switch (type) {
            case 0: // text
            case 1: // bytes
            case 6: // GUID
                skip(size);
                break;
            case 2: // boolean
                skip(kind == 0 ? 4 : 2);
                break;
            case 3:
                skip(4);
                break;
            case 4:
                skip(8);
                break;
            case 5:
                skip(2);
                break;
            default:
                break;
            }
        }
        return true;
    }

    BlockReader reader_;
    qint64 end_;
    qint64 position_ = 0;
};

} // namespace

QString refusal(CheckedFileStream &stream, const QString &suffix)
{
    if (mp4Suffixes.contains(suffix)) {
        // Only a file long enough to hold the limit's worth of 8-byte atoms can exceed it.
        if (stream.length() / 8 > maxAtomDepth && atomDepth(stream) > maxAtomDepth)
            return QStringLiteral("nests its atoms too deeply to be read safely");
    } else if (chapterFrames(stream) > maxChapterFrames) {
        return QStringLiteral("nests its chapter frames too deeply to be read safely");
    }
    // By content, not name: TagLib tries the ASF reader on any file that
    // starts as one once the reader its name picks has failed.
    if (AsfWalk(stream).claimsTooMany())
        return QStringLiteral("has an ASF metadata object claiming more records than the file holds");
    return {};
}

} // namespace nestingguard
