// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes, under the name of any music file the program opens, through the
// guarded open and TagLib: every value reads without a crash, a leak or
// undefined behaviour, and reads the same twice.
#include "fuzzsupport.h"

#include "files/filetags.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes;
    const QString path = fuzzsupport::writeMusicFile(data, size, bytes);
    if (path.isNull())
        return 0;

    static const QStringList keys = {"artist", "name",   "album", "comment", "genre",   "year",
                                     "number", "cover", "duration", "bitRate", "location"};
    const QVariantHash first = filetags::read(path, keys);
    const QVariantHash again = filetags::read(path, keys);
    if (first != again)
        fuzzsupport::fail("two reads of one file differ",
                          fuzzsupport::describe(first) + QStringLiteral("--\n") + fuzzsupport::describe(again));
    if (fuzzsupport::readFile(path) != bytes)
        fuzzsupport::fail("reading changed the file", path);
    return 0;
}
