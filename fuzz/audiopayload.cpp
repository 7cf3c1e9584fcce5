// SPDX-License-Identifier: GPL-3.0-or-later
#include "audiopayload.h"

#include <QList>
#include <QtEndian>

namespace audiopayload {
namespace {

using Payload = std::optional<QByteArray>;

quint32 be32(const QByteArray &b, qsizetype at) { return qFromBigEndian<quint32>(b.constData() + at); }
quint32 le32(const QByteArray &b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); }
uchar byteAt(const QByteArray &b, qsizetype at) { return uchar(b.at(at)); }

// A leading ID3v2 tag's whole size, footer included; 0 when there is none.
qint64 leadingId3v2(const QByteArray &b)
{
    if (b.size() < 10 || !b.startsWith("ID3"))
        return 0;
    qint64 size = 0;
    for (int i = 6; i < 10; ++i)
        size = size << 7 | (byteAt(b, i) & 0x7f);
    return 10 + size + ((byteAt(b, 5) & 0x10) ? 10 : 0);
}

// Where trailing APE and ID3v1 tags begin, as taggers append them.
qint64 trailingTagsStart(const QByteArray &b, qint64 from)
{
    qint64 end = b.size();
    if (end - from >= 128 && b.mid(end - 128, 3) == "TAG")
        end -= 128;
    if (end - from >= 32 && b.mid(end - 32, 8) == "APETAGEX") {
        const bool hasHeader = le32(b, end - 12) & 0x80000000u;
        const qint64 size = le32(b, end - 20) + (hasHeader ? 32 : 0);
        // A header the footer announces but that is not where the size puts
        // it means the size is wrong: the bytes it claims are not the tag's.
        if (size <= end - from && (!hasHeader || b.mid(end - size, 8) == "APETAGEX"))
            end -= size;
    }
    return end;
}

Payload betweenTags(const QByteArray &b)
{
    const qint64 start = leadingId3v2(b);
    if (start > b.size())
        return std::nullopt;
    return b.mid(start, trailingTagsStart(b, start) - start);
}

Payload flac(const QByteArray &b)
{
    qint64 at = leadingId3v2(b);
    if (at + 4 > b.size() || b.mid(at, 4) != "fLaC")
        return std::nullopt;
    at += 4;
    for (bool last = false; !last;) {
        if (at + 4 > b.size())
            return std::nullopt;
        last = byteAt(b, at) & 0x80;
        at += 4 + (be32(b, at) & 0xffffff);
    }
    const qint64 end = b.size() >= at + 128 && b.mid(b.size() - 128, 3) == "TAG" ? b.size() - 128 : b.size();
    return at <= end ? Payload(b.mid(at, end - at)) : std::nullopt;
}

Payload asf(const QByteArray &b)
{
    static const QByteArray header("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
    if (b.size() < 30 || !b.startsWith(header))
        return std::nullopt;
    const quint64 size = qFromLittleEndian<quint64>(b.constData() + 16);
    return size <= quint64(b.size()) ? Payload(b.mid(qsizetype(size))) : std::nullopt;
}

// The payloads of the top-level mdat atoms, in order.
Payload mp4(const QByteArray &b)
{
    QByteArray audio;
    for (qint64 at = 0; at + 8 <= b.size();) {
        qint64 size = be32(b, at);
        qint64 header = 8;
        if (size == 1) {
            if (at + 16 > b.size())
                return std::nullopt;
            size = qint64(qFromBigEndian<quint64>(b.constData() + at + 8) & 0x7fffffffffffffffULL);
            header = 16;
        } else if (size == 0) {
            size = b.size() - at;
        }
        if (size < header || size > b.size() - at)
            return std::nullopt;
        if (b.mid(at + 4, 4) == "mdat")
            audio += b.mid(at + header, size - header);
        at += size;
    }
    return audio;
}

// The sound chunk of a RIFF WAVE or AIFF file.
Payload chunks(const QByteArray &b, bool aiff)
{
    const char *form = aiff ? "FORM" : "RIFF";
    const char *sound = aiff ? "SSND" : "data";
    if (b.size() < 12 || !b.startsWith(form))
        return std::nullopt;
    for (qint64 at = 12; at + 8 <= b.size();) {
        const qint64 size = aiff ? be32(b, at + 4) : le32(b, at + 4);
        if (size > b.size() - at - 8)
            return std::nullopt;
        if (b.mid(at, 4) == sound)
            return b.mid(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

// How many header packets the codec of a stream's first packet has.
int headerPackets(const QByteArray &first)
{
    if (first.startsWith("\x01vorbis"))
        return 3;
    if (first.startsWith("OpusHead"))
        return 2;
    if (first.startsWith("Speex   ") && first.size() >= 72)
        return 2 + int(le32(first, 68));
    if (first.startsWith("\x7f" "FLAC") && first.size() >= 9)
        return 1 + qFromBigEndian<quint16>(first.constData() + 7);
    return -1;
}

// The first logical stream's packets after its header packets, each after its length.
Payload ogg(const QByteArray &b)
{
    QList<QByteArray> packets{QByteArray()};
    bool first = true;
    quint32 serial = 0;
    for (qint64 at = 0; at < b.size();) {
        if (at + 27 > b.size() || b.mid(at, 4) != "OggS")
            return std::nullopt;
        const int segments = byteAt(b, at + 26);
        if (at + 27 + segments > b.size())
            return std::nullopt;
        const quint32 pageSerial = le32(b, at + 14);
        if (first)
            serial = pageSerial;
        first = false;
        qint64 body = at + 27 + segments;
        for (int i = 0; i < segments; ++i) {
            const int lace = byteAt(b, at + 27 + i);
            if (body + lace > b.size())
                return std::nullopt;
            if (pageSerial == serial) {
                packets.last() += b.mid(body, lace);
                if (lace < 255)
                    packets.append(QByteArray());
            }
            body += lace;
        }
        at = body;
    }
    const int headers = headerPackets(packets.first());
    if (headers < 0 || headers > packets.size())
        return std::nullopt;
    QByteArray audio;
    for (qsizetype i = headers; i < packets.size(); ++i)
        audio += QByteArray::number(packets.at(i).size()) + ':' + packets.at(i);
    return audio;
}

} // namespace

std::optional<QByteArray> of(const QByteArray &file, const QString &extension)
{
    if (extension == QLatin1String("flac"))
        return flac(file);
    if (extension == QLatin1String("asf"))
        return asf(file);
    if (extension == QLatin1String("m4a") || extension == QLatin1String("mp4"))
        return mp4(file);
    if (extension == QLatin1String("wav") || extension == QLatin1String("aiff"))
        return chunks(file, extension == QLatin1String("aiff"));
    if (extension == QLatin1String("ogg") || extension == QLatin1String("spx"))
        return ogg(file);
    return betweenTags(file);
}

} // namespace audiopayload
