// SPDX-License-Identifier: GPL-3.0-or-later
#include "filenamechanger.h"

#include "support/textutils.h"

#include <QFileInfo>

namespace tools {

namespace {

struct Placeholder {
    const char *text;
    const char *key;
};

// The six placeholders and the tag each one stands for.
constexpr Placeholder placeholders[] = {
    {"#a", "artist"}, {"#t", "name"}, {"#g", "genre"}, {"#l", "album"}, {"#y", "year"}, {"#n", "number"},
};

// The extension is what follows the last dot of the name; a dot that starts
// the name marks a hidden file, not an extension.
qsizetype extensionDot(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? dot : -1;
}

} // namespace

QStringList renameTagKeys()
{
    QStringList keys;
    for (const Placeholder &p : placeholders)
        keys << QString::fromLatin1(p.key);
    return keys;
}

QString paddedTrackNumber(const QString &number, int selectedTrailingZeroes, int filesInFolder)
{
    if (number.size() != 1)
        return number;
    const bool pad = (selectedTrailingZeroes == 0 && filesInFolder > 9) || selectedTrailingZeroes == 2;
    return pad ? QLatin1Char('0') + number : number;
}

QString nameFromPattern(const QString &pattern, const QVariantHash &tags)
{
    text::ReplacementMap map;
    for (const Placeholder &p : placeholders) {
        const QVariant value = tags.value(QString::fromLatin1(p.key));
        if (value.isValid())
            map.append({QString::fromLatin1(p.text), value.toString()});
    }
    return text::stringByReplacingMultipleStrings(pattern, map);
}

bool containsPlaceholder(const QString &name)
{
    for (const Placeholder &p : placeholders)
        if (name.contains(QLatin1String(p.text)))
            return true;
    return false;
}

bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0'));
}

QHash<QString, int> filesPerFolder(const QStringList &paths)
{
    QHash<QString, int> counts;
    for (const QString &path : paths)
        ++counts[QFileInfo(path).path()];
    return counts;
}

QString renameTarget(const QString &path, const QVariantHash &tags, const RenameOptions &options,
                     int filesInFolder)
{
    if (options.pattern.isEmpty())
        return {};
    const QFileInfo info(path);
    const QString fileName = info.fileName();
    const qsizetype dot = extensionDot(fileName);
    const QString oldName = dot < 0 ? fileName : fileName.left(dot);

    QVariantHash values = tags;
    const QVariant number = tags.value(QStringLiteral("number"));
    if (number.isValid())
        values.insert(QStringLiteral("number"),
                      paddedTrackNumber(number.toString(), options.selectedTrailingZeroes, filesInFolder));
    const QString newName = nameFromPattern(options.pattern, values);

    if (newName == oldName)
        return {};
    if (options.skipMissing && containsPlaceholder(newName))
        return {};
    // A tag is not to move a file to another folder ("../x", "a/b") nor to
    // make it a hidden file without a name.
    if (!isPlainFileName(newName))
        return {};
    const QString newFileName = dot < 0 ? newName : newName + fileName.mid(dot);
    return info.path() + QLatin1Char('/') + newFileName;
}

} // namespace tools
