// SPDX-License-Identifier: GPL-3.0-or-later
#include "musicfiles.h"

#include "support/fileutils.h"
#include "support/textutils.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace musicfiles {

const QStringList &musicExtensions()
{
    static const QStringList extensions = {"mp3", "aac", "m4a", "ogg", "flac", "mpc", "spx",
                                           "wv",  "tta", "wav", "aiff", "mp4", "asf", "opus", "wma"};
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

namespace {

const QString linkOutReason = QStringLiteral("a symbolic link to a file outside the chosen folder");

bool isInside(const QString &path, const QString &root)
{
    return !root.isEmpty() && !path.isEmpty() && (path.startsWith(root + QLatin1Char('/')) || root == QLatin1String("/"));
}

} // namespace

QStringList musicFilesBelow(const QString &folder, QList<files::Skipped> *skipped)
{
    QList<files::Skipped> left;
    QStringList files;
    QString root; // resolved once, for the first link met
    QList<bool> regular;
    const QStringList paths =
        files::dirContentsRecursive(folder, skipped ? &left : nullptr, &regular).value_or(QStringList());
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString &path = paths[i];
        // A folder, pipe or device named like a music file is not a track.
        if (!isMusicFile(path))
            continue;
        // What the listing says is a regular file needs no look of its own;
        // a link, or an entry of a file system that does not say, does.
        if (regular[i]) {
            files << path;
            continue;
        }
        const QFileInfo info(path);
        if (!info.isFile())
            continue;
        // The walk enters no linked folder, so only a file that is itself a link can lead out.
        if (info.isSymLink()) {
            if (root.isNull())
                root = QFileInfo(folder).canonicalFilePath();
            if (!isInside(info.canonicalFilePath(), root)) {
                left.append({files::shownPath(QFile::encodeName(path)), linkOutReason, false});
                continue;
            }
        }
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
    const bool linksOut = std::any_of(skipped.cbegin(), skipped.cend(),
                                      [](const files::Skipped &s) { return s.reason == linkOutReason; });
    if (linksOut)
        return QStringLiteral("%1 music files or folders were left out:\n%2")
            .arg(skipped.size())
            .arg(lines.join(QLatin1Char('\n')));
    return QStringLiteral("%1 music files or folders cannot be reached under their exact names and were left "
                          "out:\n%2")
        .arg(skipped.size())
        .arg(lines.join(QLatin1Char('\n')));
}

} // namespace musicfiles

QString musicfiles::vanishedFolderMessage(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return {};
    return QStringLiteral("The folder %1 no longer exists.")
        .arg(text::escapedControls(folder, text::ControlStyle::Window));
}
