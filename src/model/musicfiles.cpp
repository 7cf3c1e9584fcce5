// SPDX-License-Identifier: GPL-3.0-or-later
#include "musicfiles.h"

#include "support/fileutils.h"

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

QStringList musicFilesBelow(const QString &folder, QList<files::Skipped> *skipped)
{
    QList<files::Skipped> left;
    QStringList files;
    for (const QString &path : files::dirContentsRecursive(folder, skipped ? &left : nullptr).value_or(QStringList())) {
        // A folder, pipe or device named like a music file is not a track.
        if (isMusicFile(path) && QFileInfo(path).isFile())
            files << path;
    }
    if (skipped)
        skipped->append(concerningMusic(left));
    return files;
}

QList<files::Skipped> concerningMusic(const QList<files::Skipped> &skipped)
{
    // Whatever else a folder holds is not a music source's business; a folder
    // left out may hold music.
    QList<files::Skipped> music;
    for (const files::Skipped &s : skipped)
        if (s.folder || isMusicFile(s.shown))
            music.append(s);
    return music;
}

QString skippedMessage(const QList<files::Skipped> &skipped)
{
    constexpr qsizetype shownAtMost = 10;
    QStringList lines;
    for (qsizetype i = 0; i < skipped.size() && i < shownAtMost; ++i)
        lines << QStringLiteral("%1: %2").arg(skipped[i].shown, skipped[i].reason);
    if (skipped.size() > shownAtMost)
        lines << QStringLiteral("…and %1 more.").arg(skipped.size() - shownAtMost);
    return QStringLiteral("%1 music files or folders cannot be reached under their exact names and were left "
                          "out:\n%2")
        .arg(skipped.size())
        .arg(lines.join(QLatin1Char('\n')));
}

} // namespace musicfiles
