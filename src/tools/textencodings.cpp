// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/textencodings.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <memory>

namespace textencodings {
namespace {

struct Encoding {
    const char *displayName;
    const char *name;
    const char *icuName; // nullptr: this program's own codec
};

constexpr int kNonLossyAscii = 3;

constexpr std::array<Encoding, 14> kEncodings{{
    {"ASCII (7 bit)", "ascii", "US-ASCII"},
    {"UTF-8", "utf-8", "UTF-8"},
    {"ISO 8859-1 (Latin 1)", "iso-8859-1", "ISO-8859-1"},
    {"Non-lossy ASCII", "nonlossy-ascii", nullptr},
    {"ISO 8859-2 (Latin 2)", "iso-8859-2", "ISO-8859-2"},
    {"Windows-1251 (Cyrillic)", "windows-1251", "windows-1251"},
    {"Windows-1252 (Western)", "windows-1252", "windows-1252"},
    {"Windows-1253 (Greek)", "windows-1253", "windows-1253"},
    {"Windows-1254 (Turkish)", "windows-1254", "windows-1254"},
    {"Windows-1250 (Central European)", "windows-1250", "windows-1250"},
    {"ISO-2022-JP", "iso-2022-jp", "ISO-2022-JP"},
    {"Mac OS Roman", "macroman", "macintosh"},
    {"UTF-16", "utf-16", "UTF-16"},
    {"UTF-32", "utf-32", "UTF-32"},
}};

struct ConverterCloser {
    void operator()(UConverter *converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(const char *name)
{
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(name, &status));
    if (U_FAILURE(status))
        return nullptr;
    return converter;
}

bool validIndex(int index)
{
    return index >= 0 && index < int(kEncodings.size());
}

// The converter ICU resolves a name to, or nullptr for a name it does not know.
const char *icuConverterName(const char *name)
{
    UErrorCode status = U_ZERO_ERROR;
    const char *resolved = ucnv_getAlias(name, 0, &status);
    return U_SUCCESS(status) ? resolved : nullptr;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

} // namespace

int count()
{
    return int(kEncodings.size());
}

QStringList displayNames()
{
    QStringList list;
    for (const Encoding &e : kEncodings)
        list << QString::fromLatin1(e.displayName);
    return list;
}

QStringList names()
{
    QStringList list;
    for (const Encoding &e : kEncodings)
        list << QString::fromLatin1(e.name);
    return list;
}

int indexForName(const QString &name)
{
    bool isNumber = false;
    const int number = name.toInt(&isNumber);
    if (isNumber)
        return validIndex(number) ? number : -1;
    const QByteArray latin = name.toLatin1();
    for (int i = 0; i < count(); ++i) {
        if (ucnv_compareNames(latin.constData(), kEncodings[i].name) == 0
            || name.compare(QLatin1String(kEncodings[i].displayName), Qt::CaseInsensitive) == 0)
            return i;
    }
    const char *resolved = icuConverterName(latin.constData());
    if (!resolved)
        return -1;
    for (int i = 0; i < count(); ++i) {
        if (kEncodings[i].icuName && qstrcmp(icuConverterName(kEncodings[i].icuName), resolved) == 0)
            return i;
    }
    return -1;
}

namespace {

// The Windows code pages give bytes 0x80-0x9F printable characters or leave
// them undefined; ICU maps the undefined ones to the C1 controls of the same
// number, which none of these code pages has.
bool windowsCodePage(int index)
{
    return kEncodings[index].icuName && qstrncmp(kEncodings[index].icuName, "windows-", 8) == 0;
}

bool hasC1Control(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x80 && c.unicode() < 0xA0; });
}

std::optional<QByteArray> encode(const QString &text, int index, bool strict)
{
    if (!validIndex(index))
        return std::nullopt;
    if (index == kNonLossyAscii)
        return encodeNonLossyAscii(text);
    if (strict && windowsCodePage(index) && hasC1Control(text))
        return std::nullopt;
    Converter converter = openConverter(kEncodings[index].icuName);
    if (!converter)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    if (strict)
        ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    else
        ucnv_setSubstString(converter.get(), u"?", 1, &status);
    if (strict && U_FAILURE(status))
        return std::nullopt;
    status = U_ZERO_ERROR;
    const int32_t capacity =
        UCNV_GET_MAX_BYTES_FOR_STRING(int32_t(text.size()), ucnv_getMaxCharSize(converter.get())) + 8;
    QByteArray bytes(capacity, Qt::Uninitialized);
    const int32_t length = ucnv_fromUChars(converter.get(), bytes.data(), capacity,
                                           reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()),
                                           &status);
    if (U_FAILURE(status))
        return std::nullopt;
    bytes.truncate(length);
    return bytes;
}

} // namespace

std::optional<QByteArray> encodeLossy(const QString &text, int index)
{
    return encode(text, index, false);
}

std::optional<QByteArray> encodeStrict(const QString &text, int index)
{
    return encode(text, index, true);
}

std::optional<QString> decodeStrict(const QByteArray &bytes, int index)
{
    if (!validIndex(index))
        return std::nullopt;
    if (index == kNonLossyAscii)
        return decodeNonLossyAscii(bytes);
    Converter converter = openConverter(kEncodings[index].icuName);
    if (!converter)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    // No byte of these encodings yields more than one UTF-16 code unit, but a
    // retry keeps that assumption from ever cutting text short.
    int32_t capacity = int32_t(bytes.size()) + 1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        QString text(capacity, Qt::Uninitialized);
        status = U_ZERO_ERROR;
        ucnv_resetToUnicode(converter.get());
        const int32_t length = ucnv_toUChars(converter.get(), reinterpret_cast<UChar *>(text.data()), capacity,
                                             bytes.constData(), int32_t(bytes.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            capacity = length + 1;
            continue;
        }
        if (U_FAILURE(status))
            return std::nullopt;
        text.truncate(length);
        if (windowsCodePage(index) && hasC1Control(text))
            return std::nullopt;
        return text;
    }
    return std::nullopt;
}

QByteArray encodeNonLossyAscii(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit == u'\\')
            bytes += "\\\\";
        else if (unit < 0x80)
            bytes += char(unit);
        else
            bytes += QByteArrayLiteral("\\u") + QByteArray::number(unit, 16).rightJustified(4, '0');
    }
    return bytes;
}

std::optional<QString> decodeNonLossyAscii(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (uchar(c) >= 0x80)
            return std::nullopt;
        if (c != '\\' || i + 1 >= n) {
            text += QLatin1Char(c);
            continue;
        }
        const char next = bytes[i + 1];
        if (next == '\\') {
            text += QLatin1Char('\\');
            ++i;
        } else if (next == 'u' && i + 5 < n && hexDigit(bytes[i + 2]) >= 0 && hexDigit(bytes[i + 3]) >= 0
                   && hexDigit(bytes[i + 4]) >= 0 && hexDigit(bytes[i + 5]) >= 0) {
            const int unit = hexDigit(bytes[i + 2]) << 12 | hexDigit(bytes[i + 3]) << 8 | hexDigit(bytes[i + 4]) << 4
                | hexDigit(bytes[i + 5]);
            text += QChar(char16_t(unit));
            i += 5;
        } else if (i + 3 < n && isOctal(next) && isOctal(bytes[i + 2]) && isOctal(bytes[i + 3])) {
            const int value = (next - '0') << 6 | (bytes[i + 2] - '0') << 3 | (bytes[i + 3] - '0');
            if (value > 0xFF)
                return std::nullopt;
            text += QChar(char16_t(value));
            i += 3;
        } else {
            text += QLatin1Char('\\');
        }
    }
    if (!QStringView(text).isValidUtf16())
        return std::nullopt;
    return text;
}

} // namespace textencodings
