// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a playlist file of another program (M3U, M3U8, PLS, XSPF, or
// a name that says nothing): the reader refuses it with a FileError or gives
// entries that are absolute, clean paths a file can have, the same twice.
#include "fuzzsupport.h"

#include "library/playlistfiles.h"
#include "support/namedexception.h"

#include <QDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const QStringList extensions = {"m3u", "m3u8", "pls", "xspf", "txt"};
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString path = fuzzsupport::writeFile(extensions.at(data[0] % extensions.size()), bytes);

    playlistfiles::ParsedPlaylist first;
    try {
        first = playlistfiles::read(path);
    } catch (const FileError &e) {
        if (e.reason().isEmpty())
            fuzzsupport::fail("a refusal without a reason");
        return 0;
    }
    for (const QString &entry : first.paths) {
        if (!entry.startsWith(QLatin1Char('/')) || QDir::cleanPath(entry) != entry || entry.contains(QChar(u'\0')))
            fuzzsupport::fail("an entry is not an absolute, clean path", entry);
    }
    for (const playlistfiles::Notice &notice : first.notices) {
        if (notice.reason.isEmpty())
            fuzzsupport::fail("a notice without a reason", notice.entry);
    }
    const playlistfiles::ParsedPlaylist again = playlistfiles::read(path);
    if (again.paths != first.paths || again.title != first.title || again.notices.size() != first.notices.size())
        fuzzsupport::fail("two reads of one playlist differ", first.paths.join(QLatin1Char('\n')));
    return 0;
}
