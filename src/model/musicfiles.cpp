// SPDX-License-Identifier: GPL-3.0-or-later
#include "musicfiles.h"

#include "support/fileutils.h"

#include <QDir>
#include <QFileInfo>

namespace musicfiles {

const QStringList &musicExtensions()
{
    static const QStringList extensions = {"mp3", "aac", "m4a", "ogg", "flac", "mpc", "spx",
                                           "wv",  "tta", "wav", "aiff", "mp4", "asf"};
    return extensions;
}

QString extensionOf(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > path.lastIndexOf(QLatin1Char('/')) ? path.mid(dot + 1).toLower() : QString();
}

bool isMusicFile(const QString &path)
{
    const QString extension = extensionOf(path);
    return !extension.isEmpty() && musicExtensions().contains(extension);
}

QStringList musicFilesBelow(const QString &folder)
{
    QStringList files;
    for (const QString &path : files::dirContentsRecursive(folder).value_or(QStringList())) {
        // A folder, pipe or device named like a music file is not a track.
        if (isMusicFile(path) && QFileInfo(path).isFile())
            files << path;
    }
    return files;
}

} // namespace musicfiles

namespace musicfiles {

QStringList musicFilesBelow(const QString &folder, QStringList &linkedOutside)
{
    const QString root = QFileInfo(folder).canonicalFilePath();
    QStringList files;
    for (const QString &path : musicFilesBelow(folder)) {
        // The walk enters no linked folder, so only a file that is itself a link can lead out.
        const QFileInfo info(path);
        if (!info.isSymLink()) {
            files << path;
            continue;
        }
        const QString target = info.canonicalFilePath();
        if (root.isEmpty() || target.isEmpty() ||
            !(target.startsWith(root + QLatin1Char('/')) || (root == QLatin1String("/") && target.startsWith(root)))) {
            linkedOutside << path;
            continue;
        }
        files << path;
    }
    return files;
}

} // namespace musicfiles
