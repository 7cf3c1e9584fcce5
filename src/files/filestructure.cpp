// SPDX-License-Identifier: GPL-3.0-or-later
#include "filestructure.h"

#include <QByteArray>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <optional>
#include <zlib.h>

namespace filestructure {
namespace {

const QString cutOff = QStringLiteral("is cut off: it ends in the middle of its audio");

// Exact reads of small pieces, a block at a time.
class Reader {
public:
    explicit Reader(const Bytes &file)
        : file_(file), block_(std::min<qint64>(64 * 1024, std::max<qint64>(file.length, 16)), Qt::Uninitialized)
    {
    }

    qint64 length() const { return file_.length; }

    bool read(qint64 offset, void *out, qint64 size)
    {
        if (offset < 0 || size < 0 || offset + size > file_.length)
            return false;
        if (size > block_.size()) {
            return file_.readAt(offset, static_cast<char *>(out), size) == size;
        }
        if (offset < start_ || offset + size > start_ + filled_) {
            start_ = offset;
            filled_ = std::max<qint64>(0, file_.readAt(offset, block_.data(), block_.size()));
            if (size > filled_)
                return false;
        }
        std::memcpy(out, block_.constData() + (offset - start_), size_t(size));
        return true;
    }

    QByteArray bytes(qint64 offset, qint64 size)
    {
        QByteArray out;
        if (offset < 0 || size < 0 || offset + size > file_.length)
            return out;
        out.resize(size);
        if (!read(offset, out.data(), size))
            out.clear();
        return out;
    }

    bool startsWith(qint64 offset, const char *magic)
    {
        const qint64 n = qint64(std::strlen(magic));
        char buffer[16];
        return read(offset, buffer, n) && std::memcmp(buffer, magic, size_t(n)) == 0;
    }

private:
    const Bytes &file_;
    QByteArray block_;
    qint64 start_ = 0;
    qint64 filled_ = 0;
};

quint32 be32(const uchar *p) { return qFromBigEndian<quint32>(p); }
quint32 le32(const uchar *p) { return qFromLittleEndian<quint32>(p); }
quint16 le16(const uchar *p) { return qFromLittleEndian<quint16>(p); }
quint32 synchsafe(const uchar *p) { return quint32(p[0]) << 21 | quint32(p[1]) << 14 | quint32(p[2]) << 7 | p[3]; }

// ---- ID3v2 ----------------------------------------------------------------

// How far the frame's data inflates, stopping just past the bound.
std::optional<qint64> inflatedSize(const char *data, qint64 size)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    stream.avail_in = uInt(size);
    std::vector<Bytef> out(256 * 1024);
    qint64 total = 0;
    int rc = Z_OK;
    while (rc == Z_OK && total <= maxInflatedFrame) {
        stream.next_out = out.data();
        stream.avail_out = uInt(out.size());
        rc = inflate(&stream, Z_NO_FLUSH);
        total += qint64(out.size() - stream.avail_out);
        if (rc == Z_BUF_ERROR && stream.avail_in == 0)
            break;
    }
    inflateEnd(&stream);
    if (rc != Z_OK && rc != Z_STREAM_END)
        return std::nullopt;
    return total;
}


// Walks the frames of a tag body; plainSizes reads ID3v2.4 sizes as ordinary
// integers, as some taggers wrongly write them.
QString id3v2FramesProblem(const QByteArray &body, int version, bool plainSizes)
{
    const int headerSize = version == 2 ? 6 : 10;
    const int idSize = version == 2 ? 3 : 4;
    const auto *data = reinterpret_cast<const uchar *>(body.constData());
    const qint64 end = body.size();
    qint64 at = 0;
    while (at < end) {
        if (body.at(at) == '\0') {
            // Padding: nothing but zeros may follow.
            for (qint64 i = at; i < end; ++i) {
                if (body.at(i) != '\0')
                    return QStringLiteral("has other data than padding after the frames of its ID3v2 tag: its tag size runs into the audio");
            }
            return {};
        }
        if (end - at < headerSize)
            return QStringLiteral("has other data than padding after the frames of its ID3v2 tag: its tag size runs into the audio");
        for (int i = 0; i < idSize; ++i) {
            if (!isFrameIdChar(body.at(at + i)))
                return QStringLiteral("has other data than frames in its ID3v2 tag: its tag size runs into the audio");
        }
        const QString id = QString::fromLatin1(body.constData() + at, idSize);
        qint64 size;
        if (version == 2)
            size = qint64(data[at + 3]) << 16 | data[at + 4] << 8 | data[at + 5];
        else if (version == 4 && !plainSizes)
            size = synchsafe(data + at + 4);
        else
            size = be32(data + at + 4);
        if (size > end - at - headerSize)
            return QStringLiteral("has a frame (%1) running past the end of its ID3v2 tag").arg(id);
        if (version >= 3) {
            const uchar flags = data[at + 9];
            const bool compressed = version == 3 ? (flags & 0x80) : (flags & 0x08);
            const bool encrypted = version == 3 ? (flags & 0x40) : (flags & 0x04);
            qint64 skip = 0;
            if (version == 3) {
                skip = (compressed ? 4 : 0) + (encrypted ? 1 : 0) + ((flags & 0x20) ? 1 : 0);
            } else {
                skip = ((flags & 0x40) ? 1 : 0) + (encrypted ? 1 : 0) + ((flags & 0x01) ? 4 : 0);
            }
            if (skip > size)
                return QStringLiteral("has a frame (%1) too short for its own flags in its ID3v2 tag").arg(id);
            // TagLib keeps such a frame's bytes but saves it without the flags
            // that say how to read them: the saved frame would read as other data.
            if (encrypted)
                return QStringLiteral("has an encrypted frame (%1) in its ID3v2 tag, which a save would leave unreadable").arg(id);
            if (version == 3 ? (flags & 0x20) : (flags & 0x40))
                return QStringLiteral("has a grouped frame (%1) in its ID3v2 tag, which a save would leave unreadable").arg(id);
            if (compressed && !encrypted) {
                const std::optional<qint64> inflated =
                    inflatedSize(body.constData() + at + headerSize + skip, size - skip);
                if (!inflated)
                    return QStringLiteral("has a compressed frame (%1) in its ID3v2 tag that cannot be inflated").arg(id);
                if (*inflated > maxInflatedFrame)
                    return QStringLiteral("has a compressed frame (%1) in its ID3v2 tag that inflates past %2 MiB")
                        .arg(id)
                        .arg(maxInflatedFrame / (1024 * 1024));
            }
        }
        at += headerSize + size;
    }
    return {};
}

// The ID3v2 tag at offset, which must end by limit; *end gets where it ends.
QString id3v2Problem(Reader &reader, qint64 offset, qint64 limit, qint64 *end)
{
    uchar header[10];
    *end = offset;
    if (!reader.read(offset, header, 10))
        return QStringLiteral("is cut off inside its ID3v2 tag");
    const int version = header[3];
    if (version < 2 || version > 4 || header[4] == 0xff || (header[6] | header[7] | header[8] | header[9]) & 0x80)
        return QStringLiteral("has a damaged ID3v2 tag header");
    const uchar flags = header[5];
    const qint64 size = synchsafe(header + 6);
    const qint64 total = 10 + size + ((version == 4 && (flags & 0x10)) ? 10 : 0);
    if (offset + total > limit)
        return QStringLiteral("has an ID3v2 tag that claims more bytes than the file holds");
    *end = offset + total;
    QByteArray body = reader.bytes(offset + 10, size);
    if (body.size() != size)
        return QStringLiteral("cannot be read");
    if (version < 4 && (flags & 0x80))
        body.replace(QByteArray("\xff\x00", 2), QByteArray("\xff", 1)); // undo the tag's unsynchronisation
    if (version == 2 && (flags & 0x40))
        return QStringLiteral("has a compressed ID3v2.2 tag");
    if (version >= 3 && (flags & 0x40)) {
        if (body.size() < 4)
            return QStringLiteral("has an ID3v2 extended header running past its tag");
        const auto *p = reinterpret_cast<const uchar *>(body.constData());
        const qint64 extended = version == 3 ? 4 + qint64(be32(p)) : qint64(synchsafe(p));
        if (extended > body.size() || extended < 4)
            return QStringLiteral("has an ID3v2 extended header running past its tag");
        body.remove(0, extended);
    }
    const QString strict = id3v2FramesProblem(body, version, false);
    if (strict.isEmpty() || version != 4)
        return strict;
    return id3v2FramesProblem(body, version, true).isEmpty() ? QString() : strict;
}

// Leading ID3v2 tags (some files carry several); *end is where the rest begins.
QString leadingId3v2Problem(Reader &reader, qint64 *end)
{
    *end = 0;
    while (reader.startsWith(*end, "ID3")) {
        const QString why = id3v2Problem(reader, *end, reader.length(), end);
        if (!why.isEmpty())
            return why;
    }
    return {};
}

// A save replaces an APE tag from where its footer's size says it begins: a
// size larger than its items takes the bytes before the tag, audio included,
// with it. So the items must fill the tag exactly, and the header the footer
// announces must stand where the size puts it.
QString apeItemsProblem(Reader &reader, qint64 footerAt, quint32 count, qint64 tagStart, bool hasHeader)
{
    const QString runsIntoAudio = QStringLiteral("has an APE tag whose size does not fit its items: its tag size runs into the audio");
    if (hasHeader && !reader.startsWith(tagStart, "APETAGEX"))
        return runsIntoAudio;
    const qint64 itemsStart = tagStart + (hasHeader ? 32 : 0);
    if (itemsStart > footerAt)
        return runsIntoAudio;
    const QByteArray items = reader.bytes(itemsStart, footerAt - itemsStart);
    if (items.size() != footerAt - itemsStart)
        return QStringLiteral("cannot be read");
    const auto *p = reinterpret_cast<const uchar *>(items.constData());
    const qint64 size = items.size();
    qint64 at = 0;
    // A count past the items that fill the tag costs nothing: the reader stops where they end.
    for (quint32 i = 0; i < count && at < size; ++i) {
        if (size - at < 9)
            return runsIntoAudio;
        const qint64 valueSize = le32(p + at);
        const char *key = items.constData() + at + 8;
        const void *keyEnd = std::memchr(key, '\0', size_t(size - at - 8));
        if (!keyEnd)
            return runsIntoAudio;
        at = (static_cast<const char *>(keyEnd) - items.constData()) + 1;
        if (valueSize > size - at)
            return runsIntoAudio;
        at += valueSize;
    }
    return at == size ? QString() : runsIntoAudio;
}

// Tags at the end of the file (an ID3v1 tag, an APE tag before it); *end is where they begin.
QString trailingTagsProblem(Reader &reader, qint64 start, qint64 *end)
{
    *end = reader.length();
    if (*end - start >= 128 && reader.startsWith(*end - 128, "TAG"))
        *end -= 128;
    if (*end - start >= 32 && reader.startsWith(*end - 32, "APETAGEX")) {
        uchar footer[32];
        reader.read(*end - 32, footer, 32);
        const bool hasHeader = le32(footer + 20) & 0x80000000u;
        const qint64 size = qint64(le32(footer + 12)) + (hasHeader ? 32 : 0);
        if (size < 32 || size > *end - start)
            return QStringLiteral("has an APE tag that claims more bytes than the file holds");
        const QString why = apeItemsProblem(reader, *end - 32, le32(footer + 16), *end - size, hasHeader);
        if (!why.isEmpty())
            return why;
        *end -= size;
    }
    return {};
}

// ---- FLAC -------------------------------------------------------------------

QString flacPictureProblem(const QByteArray &block)
{
    const auto *p = reinterpret_cast<const uchar *>(block.constData());
    qint64 at = 4;
    for (int field = 0; field < 2; ++field) { // MIME type, description
        if (at + 4 > block.size())
            return QStringLiteral("has a picture block whose sizes do not fit it");
        at += 4 + qint64(be32(p + at));
    }
    at += 16;
    if (at + 4 > block.size() || at + 4 + qint64(be32(p + at)) > block.size())
        return QStringLiteral("has a picture block whose sizes do not fit it");
    return {};
}

QString vorbisCommentProblem(const QByteArray &block)
{
    const auto *p = reinterpret_cast<const uchar *>(block.constData());
    const qint64 size = block.size();
    if (size < 4 || 4 + qint64(le32(p)) + 4 > size)
        return QStringLiteral("has a comment block whose sizes do not fit it");
    qint64 at = 4 + qint64(le32(p));
    const qint64 count = le32(p + at);
    at += 4;
    for (qint64 i = 0; i < count; ++i) {
        if (at + 4 > size || at + 4 + qint64(le32(p + at)) > size)
            return QStringLiteral("has a comment block whose sizes do not fit it");
        at += 4 + qint64(le32(p + at));
    }
    return {};
}

struct FlacLayout {
    qint64 audioStart = 0;
    qint64 audioEnd = 0;
};

QString flacProblem(Reader &reader, FlacLayout *layout)
{
    qint64 at = 0;
    QString why = leadingId3v2Problem(reader, &at);
    if (!why.isEmpty())
        return why;
    if (!reader.startsWith(at, "fLaC"))
        return QStringLiteral("does not begin as a FLAC stream");
    at += 4;
    for (bool last = false; !last;) {
        uchar header[4];
        if (!reader.read(at, header, 4))
            return QStringLiteral("is cut off in its metadata blocks");
        last = header[0] & 0x80;
        const int type = header[0] & 0x7f;
        const qint64 size = qint64(header[1]) << 16 | header[2] << 8 | header[3];
        if (at + 4 + size > reader.length())
            return QStringLiteral("has a metadata block running past the end of the file");
        if (type == 6 || type == 4) {
            const QByteArray block = reader.bytes(at + 4, size);
            why = type == 6 ? flacPictureProblem(block) : vorbisCommentProblem(block);
            if (!why.isEmpty())
                return why;
        }
        at += 4 + size;
    }
    qint64 end = 0;
    why = trailingTagsProblem(reader, at, &end);
    if (!why.isEmpty())
        return why;
    uchar sync[2];
    if (!reader.read(at, sync, 2) || sync[0] != 0xff || (sync[1] & 0xfe) != 0xf8)
        return QStringLiteral("is cut off: it ends before its audio");
    layout->audioStart = at;
    layout->audioEnd = end;
    return {};
}

// ---- MP4 --------------------------------------------------------------------

int mp4ChildOffset(const char *name, bool insideIlst)
{
    if (insideIlst)
        return 0; // every item holds data atoms
    static const char *const containers[] = {"moov", "trak", "mdia", "minf", "stbl", "udta",
                                             "ilst", "moof", "traf", "edts", "dinf"};
    for (const char *container : containers) {
        if (std::memcmp(name, container, 4) == 0)
            return 0;
    }
    if (std::memcmp(name, "meta", 4) == 0)
        return 4;
    // TagLib looks for chunk offset tables inside the sample descriptions too.
    if (std::memcmp(name, "stsd", 4) == 0)
        return 8;
    return -1;
}

bool isMetaChild(const uchar *name)
{
    for (const char *child : {"hdlr", "ilst", "mhdr", "ctry", "lang"}) {
        if (std::memcmp(name, child, 4) == 0)
            return true;
    }
    return false;
}

QString mp4Problem(Reader &reader, QList<Range> *mdat)
{
    struct Open {
        qint64 end;
        bool ilst;
    };
    std::vector<Open> open;
    qint64 at = 0;
    bool sawMoov = false;
    for (;;) {
        while (!open.empty() && at >= open.back().end) {
            if (at > open.back().end)
                return QStringLiteral("has an MP4 atom running past the end of its container");
            open.pop_back();
        }
        const qint64 limit = open.empty() ? reader.length() : open.back().end;
        if (open.empty() && at == limit)
            break;
        uchar header[16];
        if (limit - at < 8 || !reader.read(at, header, 8))
            return open.empty() ? QStringLiteral("is cut off in the middle of an MP4 atom")
                                : QStringLiteral("has an MP4 atom running past the end of its container");
        qint64 size = be32(header);
        qint64 headerSize = 8;
        if (size == 1) {
            if (!reader.read(at + 8, header + 8, 8))
                return QStringLiteral("is cut off in the middle of an MP4 atom");
            const quint64 large = qFromBigEndian<quint64>(header + 8);
            size = large > quint64(limit) ? limit + 1 : qint64(large);
            headerSize = 16;
        } else if (size == 0 && open.empty()) {
            size = limit - at;
        }
        const char *name = reinterpret_cast<const char *>(header + 4);
        if (size < headerSize)
            return QStringLiteral("has an MP4 atom with an impossible size");
        if (at + size > limit) {
            return open.empty() ? QStringLiteral("has an MP4 atom (%1) claiming more bytes than the file holds")
                                      .arg(QString::fromLatin1(name, 4))
                                : QStringLiteral("has an MP4 atom (%1) claiming more bytes than its container holds")
                                      .arg(QString::fromLatin1(name, 4));
        }
        if (open.empty() && std::memcmp(name, "mdat", 4) == 0)
            mdat->append({at + headerSize, size - headerSize});
        if (open.empty() && std::memcmp(name, "moov", 4) == 0)
            sawMoov = true;
        const bool insideIlst = !open.empty() && open.back().ilst;
        // A save that moves the audio rewrites every entry a chunk offset
        // table counts, in place: a count past the table's end would have it
        // write over whatever follows, four or eight bytes an entry.
        if (!open.empty() && !insideIlst && (std::memcmp(name, "stco", 4) == 0 || std::memcmp(name, "co64", 4) == 0)) {
            uchar count[4];
            const qint64 entrySize = name[0] == 's' ? 4 : 8;
            if (size - headerSize < 8 || !reader.read(at + headerSize + 4, count, 4) ||
                qint64(be32(count)) * entrySize > size - headerSize - 8)
                return QStringLiteral("has a chunk offset table (%1) claiming more entries than it holds")
                    .arg(QString::fromLatin1(name, 4));
        }
        int offset = mp4ChildOffset(name, insideIlst);
        if (offset == 4) {
            // A QuickTime meta atom has no version and flags: its first child follows at once.
            uchar child[8];
            if (reader.read(at + headerSize, child, 8) && isMetaChild(child + 4))
                offset = 0;
        }
        if (offset < 0 || headerSize + offset > size) {
            at += size;
            continue;
        }
        open.push_back({at + size, std::memcmp(name, "ilst", 4) == 0});
        at += headerSize + offset;
    }
    if (!sawMoov)
        return QStringLiteral("has no MP4 movie atom");
    return {};
}

// ---- Ogg --------------------------------------------------------------------

QString oggProblem(Reader &reader, QList<Range> *audio)
{
    qint64 at = 0;
    bool inAudio = false;
    while (at < reader.length()) {
        uchar header[27];
        if (!reader.read(at, header, 27))
            return QStringLiteral("is cut off in the middle of an Ogg page");
        if (std::memcmp(header, "OggS", 4) != 0 || header[4] != 0)
            return QStringLiteral("has data that is not an Ogg page at byte %1").arg(at);
        const int segments = header[26];
        uchar table[255];
        if (!reader.read(at + 27, table, segments))
            return QStringLiteral("is cut off in the middle of an Ogg page");
        qint64 body = 0;
        for (int i = 0; i < segments; ++i)
            body += table[i];
        const qint64 bodyStart = at + 27 + segments;
        if (bodyStart + body > reader.length())
            return QStringLiteral("is cut off in the middle of an Ogg page");
        // Header packets end where granule positions start counting samples.
        // A page on which no packet ends has the position -1: the pages of a
        // comment packet too large for one page (a picture) are no audio.
        const qint64 granule = qFromLittleEndian<qint64>(header + 6);
        if (!inAudio && granule != 0 && granule != -1)
            inAudio = true;
        if (inAudio && body > 0) {
            if (!audio->isEmpty() && audio->back().offset + audio->back().size == bodyStart)
                audio->back().size += body;
            else
                audio->append({bodyStart, body});
        }
        at = bodyStart + body;
    }
    return {};
}

// ---- ASF --------------------------------------------------------------------

using Guid = uchar[16];
const Guid headerGuid = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Guid dataGuid = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Guid contentGuid = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Guid extendedContentGuid = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11, 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
const Guid headerExtensionGuid = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11, 0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Guid metadataGuid = {0xEA, 0xCB, 0xF8, 0xC5, 0xAF, 0x5B, 0x77, 0x48, 0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA};
const Guid metadataLibraryGuid = {0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49, 0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};

const QString asfObjectTooBig = QStringLiteral("has an ASF object claiming more bytes than its container holds");

bool is(const uchar *guid, const Guid &wanted) { return std::memcmp(guid, wanted, 16) == 0; }

// The attribute lists inside one metadata object must fill it exactly. TagLib
// writes their lengths and counts in 16 bits: a field of 64 KiB or more, or
// more than 65,535 attributes, leaves lengths that wrap round or a count that
// falls short, and the object then holds bytes its fields do not account for.
// Read again, such an object gives other fields than were written, and a save
// renders it from what was read, losing the rest.
QString asfAttributesProblem(const QByteArray &object, const uchar *guid)
{
    const auto *p = reinterpret_cast<const uchar *>(object.constData());
    const qint64 size = object.size();
    const QString name = is(guid, contentGuid)           ? QStringLiteral("Content Description")
                         : is(guid, extendedContentGuid) ? QStringLiteral("Extended Content Description")
                         : is(guid, metadataGuid)        ? QStringLiteral("Metadata")
                                                         : QStringLiteral("Metadata Library");
    const QString unfilled = QStringLiteral("has an ASF %1 object whose fields do not fill it exactly").arg(name);
    if (is(guid, contentGuid)) {
        if (size < 10)
            return unfilled;
        qint64 total = 10;
        for (int i = 0; i < 5; ++i)
            total += le16(p + 2 * i);
        return total != size ? unfilled : QString();
    }
    if (size < 2)
        return unfilled;
    const int count = le16(p);
    qint64 at = 2;
    for (int i = 0; i < count; ++i) {
        if (is(guid, extendedContentGuid)) {
            if (at + 2 > size || at + 2 + le16(p + at) + 4 > size)
                return unfilled;
            at += 2 + le16(p + at) + 2;
            at += 2 + le16(p + at);
        } else {
            if (at + 12 > size)
                return unfilled;
            at += 12 + qint64(le16(p + at + 4)) + qint64(le32(p + at + 8));
        }
        if (at > size)
            return unfilled;
    }
    return at != size ? unfilled : QString();
}

// The objects from at to end, count of them when count >= 0.
QString asfObjectsProblem(Reader &reader, qint64 at, qint64 end, qint64 count, int depth)
{
    qint64 seen = 0;
    while (count < 0 ? at < end : seen < count) {
        uchar header[24];
        if (end - at < 24 || !reader.read(at, header, 24))
            return count >= 0 ? QStringLiteral("has fewer ASF header objects than it claims") : asfObjectTooBig;
        const quint64 size = qFromLittleEndian<quint64>(header + 16);
        if (size < 24 || size > quint64(end - at))
            return asfObjectTooBig;
        const qint64 bodySize = qint64(size) - 24;
        if (is(header, contentGuid) || is(header, extendedContentGuid) || is(header, metadataGuid) ||
            is(header, metadataLibraryGuid)) {
            const QString why = asfAttributesProblem(reader.bytes(at + 24, bodySize), header);
            if (!why.isEmpty())
                return why;
        } else if (is(header, headerExtensionGuid) && depth == 0) {
            uchar extension[22];
            if (bodySize < 22 || !reader.read(at + 24, extension, 22) || 22 + qint64(le32(extension + 18)) > bodySize)
                return asfObjectTooBig;
            const QString why = asfObjectsProblem(reader, at + 46, at + 46 + le32(extension + 18), -1, depth + 1);
            if (!why.isEmpty())
                return why;
        }
        at += qint64(size);
        ++seen;
    }
    return {};
}

QString asfProblem(Reader &reader, QList<Range> *audio)
{
    uchar header[30];
    if (!reader.read(0, header, 30) || !is(header, headerGuid))
        return QStringLiteral("is cut off in its ASF header");
    const quint64 size = qFromLittleEndian<quint64>(header + 16);
    if (size < 30 || size > quint64(reader.length()))
        return QStringLiteral("has an ASF header claiming more bytes than the file holds");
    const QString why = asfObjectsProblem(reader, 30, qint64(size), le32(header + 24), 0);
    if (!why.isEmpty())
        return why;
    uchar data[24];
    const qint64 at = qint64(size);
    if (!reader.read(at, data, 24) || !is(data, dataGuid))
        return QStringLiteral("is cut off: it ends before its ASF data object");
    const quint64 dataSize = qFromLittleEndian<quint64>(data + 16);
    if (dataSize < 50 || dataSize > quint64(reader.length() - at))
        return QStringLiteral("is cut off: its ASF data object claims more bytes than the file holds");
    audio->append({at, qint64(dataSize)});
    return {};
}

// ---- RIFF and AIFF ------------------------------------------------------------

QString riffProblem(Reader &reader, bool aiff, QList<Range> *audio)
{
    uchar header[12];
    if (!reader.read(0, header, 12))
        return QStringLiteral("is cut off in its header");
    const auto size32 = [aiff](const uchar *p) { return qint64(aiff ? be32(p) : le32(p)); };
    const qint64 formEnd = 8 + size32(header + 4);
    if (formEnd > reader.length())
        return QStringLiteral("is cut off: its %1 header claims more bytes than the file holds")
            .arg(aiff ? QStringLiteral("FORM") : QStringLiteral("RIFF"));
    const char *sound = aiff ? "SSND" : "data";
    qint64 at = 12;
    while (at + 8 <= formEnd) {
        uchar chunk[8];
        reader.read(at, chunk, 8);
        const qint64 size = size32(chunk + 4);
        if (at + 8 + size > formEnd)
            return QStringLiteral("has a chunk (%1) claiming more bytes than the file holds")
                .arg(QString::fromLatin1(reinterpret_cast<const char *>(chunk), 4));
        if (std::memcmp(chunk, sound, 4) == 0) {
            audio->append({at + 8, size});
        } else if (std::memcmp(chunk, aiff ? "ID3 " : "id3 ", 4) == 0 || std::memcmp(chunk, "ID3 ", 4) == 0) {
            qint64 end = 0;
            const QString why = id3v2Problem(reader, at + 8, at + 8 + size, &end);
            if (!why.isEmpty())
                return why;
        }
        at += 8 + size + (size & 1);
    }
    if (audio->isEmpty())
        return QStringLiteral("has no sound data chunk");
    return {};
}

// ---- TrueAudio ------------------------------------------------------------------

QString trueAudioProblem(Reader &reader, qint64 start, qint64 end)
{
    uchar header[22];
    if (!reader.read(start, header, 22) || std::memcmp(header, "TTA1", 4) != 0)
        return QStringLiteral("is cut off in its TTA header");
    const qint64 rate = le32(header + 10);
    const qint64 samples = le32(header + 14);
    const qint64 frameSamples = rate * 256 / 245;
    if (frameSamples <= 0)
        return QStringLiteral("has a damaged TTA header");
    const qint64 frames = samples / frameSamples + (samples % frameSamples ? 1 : 0);
    const qint64 tableAt = start + 22;
    if (tableAt + frames * 4 + 4 > end)
        return QStringLiteral("is cut off in its TTA seek table");
    const QByteArray table = reader.bytes(tableAt, frames * 4);
    qint64 audioSize = 0;
    for (qint64 i = 0; i < frames; ++i)
        audioSize += le32(reinterpret_cast<const uchar *>(table.constData()) + 4 * i);
    if (tableAt + frames * 4 + 4 + audioSize > end)
        return cutOff;
    return {};
}

// WavPack blocks one after another from start: a block that claims more bytes
// than lie before the trailing tags would take in the tag a save appends
// there, and the file would read back as other audio.
QString wavPackProblem(Reader &reader, qint64 start, qint64 end)
{
    for (qint64 at = start; at + 8 <= end && reader.startsWith(at, "wvpk");) {
        uchar header[8];
        if (!reader.read(at, header, 8))
            return cutOff;
        const qint64 next = at + 8 + qint64(le32(header + 4));
        if (next > end)
            return cutOff;
        at = next;
    }
    return {};
}

// TagLib reads a Musepack stream's header from where the audio starts without
// minding where the audio ends: a header cut short by the trailing tags (or by
// the end of the file) is read on into the tag a save writes there, and the
// file reads back with other audio properties. Stream versions 7 and older
// keep a header of 56 bytes; version 8 a run of packets (a two-letter key and a
// size that counts the whole packet), read until the stream-end packet or
// until both the stream header and the gain packet are read.
QString musepackProblem(Reader &reader, qint64 start, qint64 end)
{
    constexpr qint64 olderHeaderSize = 56;
    if (!reader.startsWith(start, "MPCK"))
        return end - start < olderHeaderSize ? cutOff : QString();
    bool header = false;
    bool gain = false;
    for (qint64 at = start + 4; !(header && gain);) {
        char key[2];
        if (at + 2 > end || !reader.read(at, key, 2))
            return cutOff;
        qint64 size = 0;
        qint64 sizeEnd = at + 2;
        for (bool more = true; more;) {
            uchar byte;
            if (sizeEnd >= end || !reader.read(sizeEnd, &byte, 1))
                return cutOff;
            ++sizeEnd;
            size = size << 7 | (byte & 0x7f);
            // Checked as it grows: a long run of size bytes would overflow.
            if (size > end - at)
                return cutOff;
            more = byte & 0x80;
        }
        if (size < sizeEnd - at)
            return cutOff;
        if (std::memcmp(key, "SE", 2) == 0)
            return {};
        header = header || std::memcmp(key, "SH", 2) == 0;
        gain = gain || std::memcmp(key, "RG", 2) == 0;
        at += size;
    }
    return {};
}

// Leading ID3v2 tags, the format's own structure, and trailing tags.
QString problemAndAudio(const Bytes &file, Format format, QList<Range> *audio)
{
    Reader reader(file);
    switch (format) {
    case Format::Flac: {
        FlacLayout layout;
        const QString why = flacProblem(reader, &layout);
        if (why.isEmpty())
            audio->append({layout.audioStart, layout.audioEnd - layout.audioStart});
        return why;
    }
    case Format::Mp4:
        return mp4Problem(reader, audio);
    case Format::Ogg:
        return oggProblem(reader, audio);
    case Format::Asf:
        return asfProblem(reader, audio);
    case Format::Wav:
    case Format::Aiff:
        return riffProblem(reader, format == Format::Aiff, audio);
    case Format::Mpeg:
    case Format::TrueAudio:
    case Format::Musepack:
    case Format::Other:
        break;
    }
    qint64 start = 0;
    QString why = leadingId3v2Problem(reader, &start);
    qint64 end = 0;
    if (why.isEmpty())
        why = trailingTagsProblem(reader, start, &end);
    // MPEG frames are not walked: a short last frame, or junk after the last
    // whole one, is common in files that play well, and a save leaves the
    // bytes between the tags as they are; the comparison after it sees to that.
    if (why.isEmpty() && format == Format::TrueAudio)
        why = trueAudioProblem(reader, start, end);
    if (why.isEmpty() && format == Format::Musepack)
        why = musepackProblem(reader, start, end);
    if (why.isEmpty() && format == Format::Other && reader.startsWith(start, "wvpk"))
        why = wavPackProblem(reader, start, end);
    if (why.isEmpty())
        audio->append({start, end - start});
    return why;
}

} // namespace

QString problem(const Bytes &file, Format format, QList<Range> *audio)
{
    QList<Range> ranges;
    return problemAndAudio(file, format, audio ? audio : &ranges);
}

QList<Range> audioOfSaved(const Bytes &file, Format format)
{
    QList<Range> ranges;
    if (!problemAndAudio(file, format, &ranges).isEmpty())
        ranges.clear();
    return ranges;
}

bool sameBytes(const Bytes &a, const QList<Range> &inA, const Bytes &b, const QList<Range> &inB)
{
    qint64 totalA = 0;
    qint64 totalB = 0;
    for (const Range &r : inA)
        totalA += r.size;
    for (const Range &r : inB)
        totalB += r.size;
    if (totalA != totalB)
        return false;
    // Most files are small: buffers no larger than what is compared stay off the heap's mapped pages.
    const qint64 chunk = std::min<qint64>(256 * 1024, std::max<qint64>(totalA, 1));
    QByteArray bufferA(chunk, Qt::Uninitialized);
    QByteArray bufferB(chunk, Qt::Uninitialized);
    qsizetype ia = 0, ib = 0;
    qint64 doneA = 0, doneB = 0; // within the current ranges
    while (ia < inA.size() && ib < inB.size()) {
        const Range &ra = inA.at(ia);
        const Range &rb = inB.at(ib);
        const qint64 n = std::min({chunk, ra.size - doneA, rb.size - doneB});
        const bool sameOnDisk = b.originalOffset && b.originalOffset(rb.offset + doneB, n) == ra.offset + doneA;
        if (n > 0 && !sameOnDisk) {
            if (a.readAt(ra.offset + doneA, bufferA.data(), n) != n || b.readAt(rb.offset + doneB, bufferB.data(), n) != n ||
                std::memcmp(bufferA.constData(), bufferB.constData(), size_t(n)) != 0)
                return false;
        }
        doneA += n;
        doneB += n;
        if (doneA == ra.size) {
            ++ia;
            doneA = 0;
        }
        if (doneB == rb.size) {
            ++ib;
            doneB = 0;
        }
    }
    return true;
}

} // namespace filestructure
