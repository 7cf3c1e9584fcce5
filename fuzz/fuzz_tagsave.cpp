// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes, under the name of any music file, get a new title the way the
// tools write one: either the write is refused and the file keeps every byte,
// or it succeeds and the file reads back with the new title and every other
// value as it was, and holds its audio as it was, found by a walk of the
// format independent of the check the save itself made.
#include "audiopayload.h"
#include "fuzzsupport.h"

#include "files/filetags.h"
#include "files/musicfiles.h"
#include "support/namedexception.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes;
    const QString path = fuzzsupport::writeMusicFile(data, size, bytes);
    if (path.isNull())
        return 0;

    static const QStringList keys = {"artist", "name", "album", "comment", "genre", "year", "number", "duration"};
    const QVariantHash before = filetags::read(path, keys);
    const QString title = QStringLiteral("Fuzzed title");
    try {
        filetags::write(path, QStringLiteral("name"), title);
    } catch (const FileError &e) {
        if (fuzzsupport::readFile(path) != bytes)
            fuzzsupport::fail("a refused write changed the file", e.description());
        return 0;
    }

    QVariantHash expected = before;
    expected.insert(QStringLiteral("name"), title);
    const QVariantHash after = filetags::read(path, keys);
    if (after != expected)
        fuzzsupport::fail("the saved file does not read back as written",
                          QStringLiteral("expected:\n") + fuzzsupport::describe(expected) +
                              QStringLiteral("read:\n") + fuzzsupport::describe(after));

    const QString extension = musicfiles::extensionOf(path);
    if (const std::optional<QByteArray> audio = audiopayload::of(bytes, extension)) {
        const std::optional<QByteArray> audioAfter = audiopayload::of(fuzzsupport::readFile(path), extension);
        if (!audioAfter)
            fuzzsupport::fail("the saved file's audio can no longer be found", extension);
        if (*audioAfter != *audio)
            fuzzsupport::fail("a save that passed its own check changed the audio",
                              QStringLiteral("%1: %2 bytes of audio before, %3 after")
                                  .arg(extension)
                                  .arg(audio->size())
                                  .arg(audioAfter->size()));
    }
    return 0;
}
