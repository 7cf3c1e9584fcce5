// SPDX-License-Identifier: GPL-3.0-or-later
// The filename changer's pattern over any tag values and any old name: the
// file is renamed within its folder or not at all, and keeps its extension;
// the name it gets is a plain one of at most 255 bytes, and the part the
// pattern made holds no control or bidi character.
#include "fuzzsupport.h"

#include "tools/filenamechanger.h"

#include <QFile>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

namespace {

QString textFrom(FuzzedDataProvider &input)
{
    return QString::fromUtf8(input.ConsumeRandomLengthString(64));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    tools::RenameOptions options;
    options.selectedTrailingZeroes = input.ConsumeIntegralInRange<int>(0, 3);
    options.skipMissing = input.ConsumeBool();
    const int filesInFolder = input.ConsumeIntegralInRange<int>(1, 20);
    const QString folder = QStringLiteral("/music/a");
    const QString oldName = textFrom(input).remove(QLatin1Char('/')).remove(QChar(u'\0'));
    if (oldName.isEmpty())
        return 0;
    QVariantHash tags;
    for (const QString &key : tools::renameTagKeys()) {
        // An absent tag and an empty one are different cases.
        if (input.ConsumeBool())
            tags.insert(key, textFrom(input));
    }
    options.pattern = QString::fromUtf8(input.ConsumeRemainingBytesAsString());

    const QString path = folder + QLatin1Char('/') + oldName;
    const QString target = tools::renameTarget(path, tags, options, filesInFolder);
    if (target.isNull())
        return 0;
    if (!target.startsWith(folder + QLatin1Char('/')))
        fuzzsupport::fail("the new name leaves the folder", target);
    const QString newName = target.mid(folder.size() + 1);
    if (newName.isEmpty() || newName == QLatin1String(".") || newName == QLatin1String("..") ||
        newName.contains(QLatin1Char('/')) || newName.contains(QChar(u'\0')))
        fuzzsupport::fail("the new name is not a plain file name", target);
    if (QFile::encodeName(newName).size() > 255)
        fuzzsupport::fail("the new name is longer than 255 bytes", target);
    if (newName == oldName)
        fuzzsupport::fail("a rename to the same name", target);
    const qsizetype dot = oldName.lastIndexOf(QLatin1Char('.'));
    // As the music file listing sees it: ".mp3" is an MP3 file with an empty name.
    const QString extension = dot >= 0 ? oldName.mid(dot) : QString();
    if (!newName.endsWith(extension))
        fuzzsupport::fail("the extension was not kept", oldName + QStringLiteral(" -> ") + newName);
    const QString stem = newName.chopped(extension.size());
    // The extension is the old name's; what the pattern and the tags made is checked.
    for (const char32_t c : stem.toUcs4()) {
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x061c || c == 0x200e || c == 0x200f ||
            (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069))
            fuzzsupport::fail("the new name holds a control or bidi character", target);
    }
    if (options.skipMissing && tools::containsPlaceholder(stem))
        fuzzsupport::fail("a placeholder stayed although missing ones skip the file", target);
    return 0;
}
