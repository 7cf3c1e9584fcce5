// SPDX-License-Identifier: GPL-3.0-or-later
#include "filenamechanger.h"

#include "app/appdelegate.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "operations/collector.h"
#include "operations/progressthrottle.h"
#include "model/musicfiles.h"
#include "support/alerts.h"
#include "support/dispatch.h"
#include "support/fileutils.h"
#include "support/safemove.h"
#include "support/textutils.h"

#include <QDebug>
#include <QFileInfo>
#include <QUrl>

#include <array>

namespace tools {

namespace {

struct Placeholder {
    QString text;
    QString key;
};

// The six placeholders and the tag each one stands for; made once, as every
// file of a run needs them.
const std::array<Placeholder, 6> &placeholders()
{
    static const std::array<Placeholder, 6> list{{
        {QStringLiteral("#a"), QStringLiteral("artist")},
        {QStringLiteral("#t"), QStringLiteral("name")},
        {QStringLiteral("#g"), QStringLiteral("genre")},
        {QStringLiteral("#l"), QStringLiteral("album")},
        {QStringLiteral("#y"), QStringLiteral("year")},
        {QStringLiteral("#n"), QStringLiteral("number")},
    }};
    return list;
}

const QString &numberKey()
{
    return placeholders()[5].key;
}

// The folder part of an absolute path, as QFileInfo::path gives it.
QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QStringLiteral("/");
}

// The extension is what follows the last dot of the name; a dot that starts
// the name marks a hidden file, not an extension.
qsizetype extensionDot(QStringView fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? dot : -1;
}

// The pattern filled from tags, with number standing for the "number" tag.
QString filledPattern(const QString &pattern, const QVariantHash &tags, const QVariant &number)
{
    text::ReplacementMap map;
    for (const Placeholder &p : placeholders()) {
        const QVariant value = p.key == numberKey() ? number : tags.value(p.key);
        if (value.isValid())
            map.append({p.text, value.toString()});
    }
    return text::stringByReplacingMultipleStrings(pattern, map);
}

} // namespace

QStringList renameTagKeys()
{
    QStringList keys;
    for (const Placeholder &p : placeholders())
        keys << p.key;
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
    return filledPattern(pattern, tags, tags.value(numberKey()));
}

bool containsPlaceholder(const QString &name)
{
    for (const Placeholder &p : placeholders())
        if (name.contains(p.text))
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
        ++counts[folderOf(path)];
    return counts;
}

QString renameTarget(const QString &path, const QVariantHash &tags, const RenameOptions &options,
                     int filesInFolder)
{
    if (options.pattern.isEmpty())
        return {};
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QStringView fileName = QStringView(path).mid(slash + 1);
    const qsizetype dot = extensionDot(fileName);
    const QStringView oldName = dot < 0 ? fileName : fileName.left(dot);

    QVariant number = tags.value(numberKey());
    if (number.isValid())
        number = paddedTrackNumber(number.toString(), options.selectedTrailingZeroes, filesInFolder);
    const QString newName = filledPattern(options.pattern, tags, number);

    if (newName == oldName)
        return {};
    if (options.skipMissing && containsPlaceholder(newName))
        return {};
    // A tag is not to move a file to another folder ("../x", "a/b") nor to
    // make it a hidden file without a name.
    if (!isPlainFileName(newName))
        return {};
    QString target = path.left(slash + 1) + newName;
    if (dot >= 0)
        target += fileName.mid(dot);
    return target;
}

namespace {

// The music files directly in the folder, in the order the file system gives them.
QStringList musicFilesIn(const QString &folder)
{
    QStringList files;
    for (const QString &name : files::dirContents(folder).value_or(QStringList())) {
        const QString path = folder + QLatin1Char('/') + name;
        if (musicfiles::isMusicFile(path) && QFileInfo(path).isFile())
            files << path;
    }
    return files;
}

struct RenameRun {
    QStringList files;
    RenameOptions options;
    std::shared_ptr<MusicLibrary> library;
};

// Renamed files wait here until the library has followed them, so that a
// long run commits to the library in a few transactions instead of one per
// file. Worker only.
class LibraryFollower {
public:
    explicit LibraryFollower(std::shared_ptr<MusicLibrary> library) : library_(std::move(library)) {}

    // Returns why the library could not follow, once it could not.
    std::optional<QString> moved(const QString &from, const QString &to)
    {
        pending_.append({from, to});
        return pending_.size() >= batchSize ? flush() : std::nullopt;
    }

    std::optional<QString> flush()
    {
        if (pending_.isEmpty())
            return std::nullopt;
        try {
            library_->filesMoved(pending_);
            pending_.clear();
            return std::nullopt;
        } catch (const NamedException &e) {
            qWarning().noquote() << e.description();
            // A file the library can no longer find is what the library check
            // is there to prevent: the files of this batch get their names back.
            QStringList kept;
            for (auto it = pending_.crbegin(); it != pending_.crend(); ++it)
                if (!safemove::moveWithoutReplacing(it->second, it->first))
                    kept << it->second;
            const int count = int(pending_.size());
            pending_.clear();
            QString message = QStringLiteral("The library could not follow the renamed files (%1). The last %2 "
                                             "renamed files were given their old names back, and the remaining "
                                             "files were not renamed.")
                                  .arg(e.reason())
                                  .arg(count - kept.size());
            if (!kept.isEmpty())
                message += QStringLiteral(" These files could not get their old names back: %1")
                               .arg(kept.join(QStringLiteral(", ")));
            return message;
        }
    }

private:
    static constexpr qsizetype batchSize = 256;
    std::shared_ptr<MusicLibrary> library_;
    QList<QPair<QString, QString>> pending_;
};

// Worker. Renames file by file; returns why the run had to stop early, if it did.
std::optional<QString> renameFiles(AppDelegate &app, const RenameRun &run)
{
    app.setProgress(QStringLiteral("Preparing changes…"));
    const QHash<QString, int> counts = filesPerFolder(run.files);
    const QStringList keys = renameTagKeys();
    LibraryFollower follower(run.library);
    ProgressThrottle throttle;
    const int n = int(run.files.size());
    for (int i = 0; i < n; ++i) {
        const QString &path = run.files.at(i);
        if (throttle.due(i, n))
            app.setProgress(
                QStringLiteral("%1/%2 - %3").arg(i + 1).arg(n).arg(QUrl::fromLocalFile(path).toString()));
        if (run.options.pattern.isEmpty())
            continue;
        QVariantHash tags;
        try {
            tags = MusicTrack::withPath(path).valuesForTags(keys);
        } catch (const std::exception &e) {
            // Unreadable tags read as absent; anything else leaves just this file alone.
            qWarning().noquote() << path << e.what();
            continue;
        }
        const QString target = renameTarget(path, tags, run.options, counts.value(folderOf(path)));
        if (target.isNull() || !safemove::moveWithoutReplacing(path, target))
            continue;
        if (auto stopped = follower.moved(path, target))
            return stopped;
    }
    return follower.flush();
}

} // namespace

void performRename(AppDelegate &app)
{
    app.endEditing();
    if (!MusicLibrary::isRunning(app.libraryPath())) {
        collector::refuse(QStringLiteral("iTunes"),
                          QStringLiteral("You will need to launch iTunes before renaming files to prevent the "
                                         "renamed files from being broken in iTunes."));
        return;
    }
    const QString folder = app.folderPath();
    if (folder.isEmpty()) {
        collector::refuse(QStringLiteral("No Folder"),
                          QStringLiteral("You didn't select a folder with music files to operate on."));
        return;
    }
    if (folder.contains(QLatin1String("iTunes/iTunes Music"))) {
        const int answer = alertPanel(
            QStringLiteral("Warning"),
            QStringLiteral("You selected files within the 'iTunes Music' folder to be renamed. If you have not "
                           "unchecked the option 'Keep iTunes Media folder organized' in iTunes you probably do "
                           "not want to continue as iTunes manages the filenames anyway and will get confused if "
                           "the files are renamed."),
            QStringLiteral("Cancel"), QStringLiteral("Continue"));
        if (answer != 0)
            return;
    }
    RenameRun run;
    run.files = app.renameRecursiveScan() ? musicfiles::musicFilesBelow(folder) : musicFilesIn(folder);
    if (run.files.isEmpty()) {
        collector::refuse(QStringLiteral("No Files"),
                          QStringLiteral("The folder you have selected doesn't seem to contain music files."));
        return;
    }
    try {
        run.library = app.library();
    } catch (const NamedException &e) {
        collector::refuse(e.name(), e.reason());
        return;
    }
    // The extension-hidden options have nothing to act on here: Linux file
    // systems keep no such attribute, and a name always shows its extension.
    run.options = RenameOptions{app.filenameString(), app.selectedTrailingZeroes(), app.renameSkipMissing()};

    app.beginProgress(QStringLiteral("Applying changes…"));
    dispatchAsyncBackground([&app, run = std::move(run)] {
        const std::optional<QString> stopped = renameFiles(app, run);
        dispatchAsyncMain([&app, stopped] {
            app.endProgress();
            if (stopped)
                alertPanel(QStringLiteral("Renaming Stopped"), *stopped);
        });
    });
}

} // namespace tools
