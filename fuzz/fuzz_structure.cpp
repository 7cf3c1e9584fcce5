// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes, as a file of any format, through the structure check a save
// makes first: no crash and a verdict, the same twice. A file it passes has
// its audio in order inside the file, and the lighter look taken after a
// save finds the same audio in it.
#include "fuzzsupport.h"

#include "files/checkedfilestream.h"
#include "files/filestructure.h"
#include "files/savecheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace {

using filestructure::Format;
using filestructure::Range;

const Format formats[] = {Format::Mpeg, Format::Flac, Format::Mp4, Format::Ogg,       Format::Asf,
                          Format::Wav,  Format::Aiff, Format::TrueAudio, Format::Musepack, Format::Other};

QString describe(const QList<Range> &ranges)
{
    QString text;
    for (const Range &range : ranges)
        text += QStringLiteral("%1+%2 ").arg(range.offset).arg(range.size);
    return text;
}

bool sameRanges(const QList<Range> &a, const QList<Range> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const Range &x, const Range &y) { return x.offset == y.offset && x.size == y.size; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const Format format = formats[data[0] % std::size(formats)];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString path = fuzzsupport::writeFile(QStringLiteral("bin"), bytes);

    CheckedFileStream stream(path, CheckedFileStream::Access::Read);
    if (!stream.isOpen())
        fuzzsupport::fail("the input file does not open", stream.error());
    const filestructure::Bytes file = savecheck::original(stream);
    QList<Range> audio;
    const QString verdict = filestructure::problem(file, format, &audio);
    QList<Range> again;
    if (filestructure::problem(file, format, &again) != verdict || !sameRanges(audio, again))
        fuzzsupport::fail("two checks of one file differ", verdict);
    if (!verdict.isEmpty())
        return 0;

    qint64 end = 0;
    for (const Range &range : audio) {
        if (range.size < 0 || range.offset < end || range.offset + range.size > bytes.size())
            fuzzsupport::fail("the audio lies outside the file or out of order", describe(audio));
        end = range.offset + range.size;
    }
    const QList<Range> saved = filestructure::audioOfSaved(file, format);
    if (!sameRanges(audio, saved))
        fuzzsupport::fail("the look after a save finds other audio",
                          describe(audio) + QStringLiteral("-- ") + describe(saved));
    return 0;
}
