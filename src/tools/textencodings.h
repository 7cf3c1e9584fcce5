// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The character encodings the encoding conversion offers, by the index of its
// pop-up: 0 ASCII, 1 UTF-8, 2 ISO 8859-1, 3 non-lossy ASCII, 4 ISO 8859-2,
// 5-9 Windows-1251, -1252, -1253, -1254, -1250, 10 ISO-2022-JP, 11 Mac OS
// Roman, 12 UTF-16 (with a byte-order mark), 13 UTF-32.
namespace textencodings {

int count();
QStringList displayNames();
// The short names the command line shows ("utf-8", "windows-1252", "macroman", ...).
QStringList names();

// The index of an encoding given by its index in digits, its short or display
// name, or any name ICU knows for it ("latin1", "cp1251"); -1 when none fits.
int indexForName(const QString &name);

// The text as bytes in the encoding. Never fails for an index of the table:
// a character the encoding cannot represent becomes '?'. Nothing for an index
// outside the table.
std::optional<QByteArray> encodeLossy(const QString &text, int index);

// The text as bytes in the encoding, exactly; nothing when the encoding
// cannot represent every character of it (or the index is outside the table).
std::optional<QByteArray> encodeStrict(const QString &text, int index);

// The text the bytes spell in the encoding; nothing when they are not valid
// there (a byte a Windows code page leaves undefined is not), or the index is
// outside the table.
std::optional<QString> decodeStrict(const QByteArray &bytes, int index);

// 7-bit ASCII in which a backslash is written "\\" and every character beyond
// ASCII as "\uXXXX" (one escape per UTF-16 code unit), so nothing is lost.
QByteArray encodeNonLossyAscii(const QString &text);
// Reads "\\", "\uXXXX" and three-digit octal escapes "\ooo"; a backslash
// that starts none of them stands for itself. Bytes beyond 7 bits, and
// escapes that leave half a surrogate pair, are invalid.
std::optional<QString> decodeNonLossyAscii(const QByteArray &bytes);

} // namespace textencodings
