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
// object and take as long to read as a file that holds them. Where the reader
// meets such an object depends on sizes it half trusts: a header extension
// whose walk stops at a size it doubts has the objects after it read as the
// header's own, and an object whose size does not fit the file is stepped
// over by its header alone. So rather than follow that walk, every place that
// holds one of those objects' ids is looked at: wherever the reader meets
// one, it is there, with its count after its id and size. That costs a read
// of the whole file, so a header every reader walks the same way is checked
// first and spares it.
namespace asf {

const QByteArray headerGuid{"\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16};

// The ids of the objects made of records, and the fewest bytes a record takes in each.
struct RecordObject {
    QByteArray guid;
    qint64 smallestRecord;
};
const RecordObject recordObjects[] = {
    {{"\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16}, 6},  // extended content
    {{"\xEA\xCB\xF8\xC5\xAF\x5B\x77\x48\x84\x67\xAA\x8C\x44\xFA\x4C\xCA", 16}, 12}, // metadata
    {{"\x94\x1C\x23\x44\x98\x94\xD1\x49\xA1\x41\x1D\x13\x4E\x45\x70\x54", 16}, 12}, // metadata library
};

// An id, its 8-byte size and the 2-byte count.
constexpr qint64 countEnd = 16 + 8 + 2;

const QByteArray contentGuid{"\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16};
const QByteArray headerExtensionGuid{"\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65", 16};

quint16 le16(const uchar *p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const uchar *p) { return qFromLittleEndian<quint32>(p); }
bool is(const uchar *id, const QByteArray &guid) { return std::memcmp(id, guid.constData(), 16) == 0; }

// The bytes the reader takes for the records of an object's body (kind 0:
// extended content, 1: metadata, 2: metadata library), as it takes them: a
// value of a fixed-size type by its type, whatever its size says. -1 when
// they run past the body.
qint64 recordsLength(const uchar *body, qint64 size, int kind)
{
    if (size < 2)
        return -1;
    const int count = le16(body);
    qint64 at = 2;
    for (int i = 0; i < count; ++i) {
        quint32 type = 0;
        qint64 valueSize = 0;
        if (kind == 0) {
            if (size - at < 2)
                return -1;
            at += 2 + le16(body + at);
            if (at > size - 4)
                return -1;
            type = le16(body + at);
            valueSize = le16(body + at + 2);
            at += 4;
        } else {
            if (size - at < 12)
                return -1;
            type = le16(body + at + 6);
            valueSize = le32(body + at + 8);
            at += 12 + le16(body + at + 4);
        }
        switch (type) {
        case 0: // text
        case 1: // bytes
        case 6: // GUID
            at += valueSize;
            break;
        case 2: // boolean
            at += kind == 0 ? 4 : 2;
            break;
        case 3:
            at += 4;
            break;
        case 4:
            at += 8;
            break;
        case 5:
            at += 2;
            break;
        default: // a type the reader does not know: it reads no value
            break;
        }
        if (at > size)
            return -1;
    }
    return at;
}

// A header read the same by any reader: its objects, as many as it counts,
// lie end to end inside it, and every object the reader parses field by field
// (the content description, the extended content, the header extension and
// the metadata objects inside it) is filled exactly by its fields. The reader
// then takes each object at its size and reads no record past its object.
// Nearly every real file has such a header; a header larger than any real
// one is not looked at.
bool regularHeader(CheckedFileStream &stream)
{
    constexpr qint64 largestHeader = 16 * 1024 * 1024;
    uchar head[30];
    if (stream.readAt(0, reinterpret_cast<char *>(head), 30) != 30)
        return false;
    const quint64 declared = qFromLittleEndian<quint64>(head + 16);
    if (declared < 30 || declared > quint64(std::min<qint64>(stream.length(), largestHeader)))
        return false;
    QByteArray header(qsizetype(declared), Qt::Uninitialized);
    if (stream.readAt(0, header.data(), header.size()) != header.size())
        return false;
    const auto *p = reinterpret_cast<const uchar *>(header.constData());
    const qint64 size = header.size();
    // The objects from at to end, count of them, or all up to end when count is negative.
    const auto objectsFit = [p](qint64 at, qint64 end, qint64 count, bool inExtension, const auto &self) -> bool {
        for (qint64 seen = 0; count < 0 ? at < end : seen < count; ++seen) {
            if (end - at < 24)
                return false;
            const uchar *id = p + at;
            const quint64 objectSize = qFromLittleEndian<quint64>(p + at + 16);
            if (objectSize < 24 || objectSize > quint64(end - at))
                return false;
            const uchar *body = p + at + 24;
            const qint64 bodySize = qint64(objectSize) - 24;
            bool fits = true;
            if (!inExtension && is(id, contentGuid)) {
                fits = bodySize >= 10 &&
                       10 + le16(body) + le16(body + 2) + le16(body + 4) + le16(body + 6) + le16(body + 8) == bodySize;
            } else if (!inExtension && is(id, recordObjects[0].guid)) {
                fits = recordsLength(body, bodySize, 0) == bodySize;
            } else if (inExtension && (is(id, recordObjects[1].guid) || is(id, recordObjects[2].guid))) {
                fits = recordsLength(body, bodySize, is(id, recordObjects[1].guid) ? 1 : 2) == bodySize;
            } else if (!inExtension && is(id, headerExtensionGuid)) {
                fits = bodySize >= 22 && 22 + qint64(le32(body + 18)) == bodySize &&
                       self(at + 24 + 22, at + qint64(objectSize), -1, true, self);
            }
            if (!fits)
                return false;
            at += qint64(objectSize);
        }
        return true;
    };
    return objectsFit(30, size, le32(head + 24), false, objectsFit);
}

// Whether some record object claims more records than the bytes after its
// count can hold; false too for a file that is not ASF.
bool claimsTooManyRecords(CheckedFileStream &stream)
{
    const qint64 end = stream.length();
    char id[16];
    if (stream.readAt(0, id, 16) != 16 || QByteArray::fromRawData(id, 16) != headerGuid)
        return false;
    if (regularHeader(stream))
        return false;
    constexpr qint64 chunk = 256 * 1024;
    // Each chunk is read with the bytes an object starting at its last byte needs.
    QByteArray buffer(chunk + countEnd - 1, Qt::Uninitialized);
    for (qint64 offset = 0; offset < end; offset += chunk) {
        const qint64 got = stream.readAt(offset, buffer.data(), buffer.size());
        if (got <= 0)
            return false;
        const char *data = buffer.constData();
        for (const RecordObject &object : recordObjects) {
            for (qint64 at = 0; at < std::min(chunk, got);) {
                const void *found = memmem(data + at, size_t(got - at), object.guid.constData(), 16);
                if (!found)
                    break;
                const qint64 hit = static_cast<const char *>(found) - data;
                if (hit >= chunk)
                    break; // the next chunk finds it
                // A count the file cuts off reads as none.
                if (got - hit >= countEnd) {
                    const qint64 count = qFromLittleEndian<quint16>(data + hit + 24);
                    if (count * object.smallestRecord > end - (offset + hit + countEnd))
                        return true;
                }
                at = hit + 1;
            }
        }
    }
    return false;
}

} // namespace asf

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
    if (asf::claimsTooManyRecords(stream))
        return QStringLiteral("has an ASF metadata object claiming more records than the file holds");
    return {};
}

} // namespace nestingguard
