// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantHash>

#include <cstddef>
#include <cstdint>

// What the fuzz targets share: a private folder for the files they make, and
// a way to stop with a readable message when an invariant breaks (libFuzzer
// then saves the input that broke it).
namespace fuzzsupport {

// A folder of this process, made on first use and removed at exit.
const QString &folder();

// Writes the bytes to a file of the folder with the extension; returns its path.
QString writeFile(const QString &extension, const QByteArray &bytes);

// A music file made from fuzz input: the first byte picks the extension (and
// so TagLib's reader), the other bytes are the file. Null when there are no
// bytes; bytes receives the file's content.
QString writeMusicFile(const uint8_t *data, size_t size, QByteArray &bytes);

// The file's bytes; empty when it cannot be read.
QByteArray readFile(const QString &path);

// Prints the message and the values and aborts.
[[noreturn]] void fail(const char *what, const QString &detail = {});

// Values as one line each, for messages.
QString describe(const QVariantHash &values);

} // namespace fuzzsupport
