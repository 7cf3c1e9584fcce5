// SPDX-License-Identifier: GPL-3.0-or-later
// An ASF file whose metadata object claims more records than the file holds
// is refused before TagLib reads it; one whose counts are true reads whole.
#include "files/filetags.h"
#include "support/namedexception.h"
#include "testfiles.h"
#include "writerefusal.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace {

template <typename T>
QByteArray le(T value)
{
    QByteArray bytes(sizeof(T), Qt::Uninitialized);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray guid(const char *bytes) { return QByteArray(bytes, 16); }

const QByteArray headerGuid = guid("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C");
const QByteArray dataGuid = guid("\x36\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C");
const QByteArray filePropertiesGuid = guid("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65");
const QByteArray streamPropertiesGuid = guid("\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65");
const QByteArray extendedContentGuid = guid("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50");
const QByteArray headerExtensionGuid = guid("\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65");
const QByteArray metadataLibraryGuid = guid("\x94\x1C\x23\x44\x98\x94\xD1\x49\xA1\x41\x1D\x13\x4E\x45\x70\x54");

QByteArray utf16(const QString &text)
{
    const QString terminated = text + QChar(0);
    return QByteArray(reinterpret_cast<const char *>(terminated.utf16()), terminated.size() * 2);
}

QByteArray object(const QByteArray &id, const QByteArray &body) { return id + le<quint64>(24 + body.size()) + body; }

// An extended content record holding text.
QByteArray textRecord(const QString &name, const QString &value)
{
    return le<quint16>(quint16(utf16(name).size())) + utf16(name) + le<quint16>(0) +
           le<quint16>(quint16(utf16(value).size())) + utf16(value);
}

// A metadata library record holding a 32-bit number.
QByteArray numberRecord(const QString &name, quint32 value)
{
    return le<quint16>(0) + le<quint16>(0) + le<quint16>(quint16(utf16(name).size())) + le<quint16>(3) +
           le<quint32>(4) + utf16(name) + le<quint32>(value);
}

// An ASF file with an album in its extended content and a track number in
// the metadata library of its header extension; each object's record count
// as given. inExtension follows the library inside the header extension.
QByteArray asfFile(quint16 contentCount, quint16 libraryCount, const QByteArray &inExtension = {})
{
    const QByteArray library = object(metadataLibraryGuid, le<quint16>(libraryCount) + numberRecord("WM/TrackNumber", 9));
    const QByteArray extensionData = library + inExtension;
    const QByteArray extension = object(headerExtensionGuid, QByteArray(16, '\x11') + le<quint16>(6) +
                                                                 le<quint32>(quint32(extensionData.size())) + extensionData);
    const QByteArray objects = object(filePropertiesGuid, QByteArray(80, 0)) + object(streamPropertiesGuid, QByteArray(78, 0)) +
                               object(extendedContentGuid, le<quint16>(contentCount) + textRecord("WM/AlbumTitle", "Counted")) +
                               extension;
    const QByteArray payload(2000, '\x5a');
    // The header counts more objects than it lists: the reader goes on past
    // the list for as long as it finds objects.
    return headerGuid + le<quint64>(30 + objects.size()) + le<quint32>(inExtension.isEmpty() ? 4 : 64) +
           QByteArray("\x01\x02", 2) + objects + dataGuid + le<quint64>(50 + payload.size()) + QByteArray(16, 0) +
           le<quint64>(0) + QByteArray("\x01\x01", 2) + payload;
}

} // namespace

TEST(AsfCounts, ACountTheFileCannotHoldIsRefusedBeforeTagLibReadsIt)
{
    TestFolder folder;
    const QString honest = folder.addFile("honest.asf", asfFile(1, 1));
    const QVariantHash values = filetags::read(honest, {"album", "number"});
    EXPECT_EQ(values.value("album").toString(), "Counted");
    EXPECT_EQ(values.value("number").toString(), "9");

    // The lie in either object, and under a name that picks another reader
    // first: TagLib falls back on the ASF reader by content.
    const QList<QPair<QString, QByteArray>> lying = {{"content.asf", asfFile(65535, 1)},
                                                      {"library.asf", asfFile(1, 65535)},
                                                      {"content.mp3", asfFile(65535, 1)},
                                                      // An object inside the header extension whose size
                                                      // is below zero ends the reader's walk of the
                                                      // extension; the objects after it are read as the
                                                      // header's own, a lying extended content among them.
                                                      {"after-extension.asf",
                                                       asfFile(1, 1, QByteArray(16, '\x22') + le<qint64>(-64) +
                                                                         object(extendedContentGuid, le<quint16>(65535)))}};
    for (const auto &[name, bytes] : lying) {
        SCOPED_TRACE(name.toStdString());
        const QString path = folder.addFile(name, bytes);
        const QVariantHash read = filetags::read(path, {"album", "number", "duration"});
        for (const QVariant &value : read)
            EXPECT_FALSE(value.isValid());
        EXPECT_EQ(writeRefusal(path, "name", "Overwritten").toStdString(),
                  ("The file has an ASF metadata object claiming more records than the file holds (" + path + ")").toStdString());
        EXPECT_EQ(TestFolder::readAll(path), bytes);
    }
}
