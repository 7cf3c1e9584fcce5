// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzsupport.h"

#include "files/musicfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace fuzzsupport {

const QString &folder()
{
    // Static storage: the folder is removed when the process ends normally;
    // a crashing run leaves it under the temporary folder for a look.
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quavertin-fuzz-XXXXXX"));
    static const QString path = dir.path();
    if (!dir.isValid())
        fail("cannot make a temporary folder");
    return path;
}

QString writeFile(const QString &extension, const QByteArray &bytes)
{
    const QString path = folder() + QStringLiteral("/input.") + extension;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail("cannot write the input file", path);
    return path;
}

QString writeMusicFile(const uint8_t *data, size_t size, QByteArray &bytes)
{
    if (size < 1)
        return {};
    const QStringList &extensions = musicfiles::musicExtensions();
    bytes = QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    return writeFile(extensions.at(data[0] % extensions.size()), bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "invariant broken: %s\n%s\n", what, qUtf8Printable(detail));
    std::fflush(stderr);
    std::abort();
}

QString describe(const QVariantHash &values)
{
    QStringList keys = values.keys();
    std::sort(keys.begin(), keys.end());
    QString text;
    for (const QString &key : keys)
        text += key + QStringLiteral(" = ") + values.value(key).toString() + QLatin1Char('\n');
    return text;
}

} // namespace fuzzsupport
