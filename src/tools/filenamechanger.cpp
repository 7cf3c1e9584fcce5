// SPDX-License-Identifier: GPL-3.0-or-later
#include "filenamechanger.h"
#include "renamesummary.h"

#include "library/musiclibrary.h"
#include "library/tagcache.h"
#include "model/musictrack.h"
#include "support/filepool.h"
#include "operations/run.h"
#include "operations/runjournal.h"
#include "operations/progressthrottle.h"
#include "files/musicfiles.h"
#include "support/alerts.h"
#include "support/fileutils.h"
#include "support/safemove.h"
#include "support/textutils.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <array>
#include <limits>
#include <optional>

namespace tools {

const std::array<NamePlaceholder, 6> &namePlaceholders()
{
    // Made once, as every file of a run needs them.
    static const std::array<NamePlaceholder, 6> list{{
        {QStringLiteral("#a"), QStringLiteral("artist")},
        {QStringLiteral("#t"), QStringLiteral("name")},
        {QStringLiteral("#g"), QStringLiteral("genre")},
        {QStringLiteral("#l"), QStringLiteral("album")},
        {QStringLiteral("#y"), QStringLiteral("year")},
        {QStringLiteral("#n"), QStringLiteral("number")},
    }};
    return list;
}

bool isPlaceableNumber(const QString &text)
{
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    return ok && number >= 1 && number <= std::numeric_limits<qint32>::max();
}

namespace {

const QString &numberKey()
{
    return namePlaceholders()[5].key;
}



// The extension is what follows the last dot of the name, as the listing of
// music files sees it: a file named ".mp3" is an MP3 file with an empty name.
qsizetype extensionDot(QStringView fileName)
{
    return fileName.lastIndexOf(QLatin1Char('.'));
}

// The text a tag value puts into a name, or nothing when it counts as
// absent. Characters that would steer a terminal or disguise the name
// ("evil\u202Egpj.exe") are dropped, and so are blanks at either end, which
// would only leave a gap or a blank before the dot ("09 -   Purple Rain .mp3");
// a track number or year that is not a whole number from 1 to 2^31-1 (a
// negative one read back as 4294967295) is no number at all.
std::optional<QString> placedValue(const QString &key, const QVariant &value)
{
    if (!value.isValid())
        return std::nullopt;
    const QString text = value.toString();
    if (key == numberKey() || key == QLatin1String("year")) {
        if (!isPlaceableNumber(text))
            return std::nullopt;
        return text;
    }
    return text::withoutControlAndBidi(text).trimmed();
}

// The pattern filled from tags, with number standing for the "number" tag.
// A pattern pasted from elsewhere can carry control and bidi characters of
// its own; they leave the name as the values' do.
QString filledPattern(const QString &pattern, const QVariantHash &tags, const QVariant &number)
{
    text::ReplacementMap map;
    for (const NamePlaceholder &p : namePlaceholders()) {
        if (const auto value = placedValue(p.key, p.key == numberKey() ? number : tags.value(p.key)))
            map.append({p.text, *value});
    }
    return text::withoutControlAndBidi(text::stringByReplacingMultipleStrings(pattern, map));
}

} // namespace

QStringList renameTagKeys()
{
    QStringList keys;
    for (const NamePlaceholder &p : namePlaceholders())
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
    for (const NamePlaceholder &p : namePlaceholders())
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
        ++counts[files::folderOf(path)];
    return counts;
}

QString renameOutcomeText(RenameOutcome outcome)
{
    switch (outcome) {
    case RenameOutcome::Renamed:
        return QStringLiteral("renamed");
    case RenameOutcome::Unchanged:
        return QStringLiteral("unchanged");
    case RenameOutcome::NoPattern:
        return QStringLiteral("no pattern");
    case RenameOutcome::Unreadable:
        return QStringLiteral("tags unreadable");
    case RenameOutcome::PlaceholderMissing:
        return QStringLiteral("placeholder missing");
    case RenameOutcome::LeavesFolder:
        return QStringLiteral("would leave its folder");
    case RenameOutcome::NameTooLong:
        return QStringLiteral("name too long");
    case RenameOutcome::NameTaken:
        return QStringLiteral("name taken");
    case RenameOutcome::MoveFailed:
        return QStringLiteral("move failed");
    }
    return {};
}

bool renameFellShort(RenameOutcome outcome)
{
    // Unchanged and empty-pattern files needed no new name; skipping files
    // with a missing placeholder is what the person asked for.
    switch (outcome) {
    case RenameOutcome::Unreadable:
    case RenameOutcome::LeavesFolder:
    case RenameOutcome::NameTooLong:
    case RenameOutcome::NameTaken:
    case RenameOutcome::MoveFailed:
        return true;
    default:
        return false;
    }
}

PlannedRename plannedRename(const QString &path, const QVariantHash &tags, const RenameOptions &options,
                            int filesInFolder)
{
    PlannedRename plan{path, QString(), RenameOutcome::NoPattern};
    if (options.pattern.isEmpty())
        return plan;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QStringView fileName = QStringView(path).mid(slash + 1);
    const qsizetype dot = extensionDot(fileName);
    const QStringView oldName = dot < 0 ? fileName : fileName.left(dot);

    QVariant number = tags.value(numberKey());
    if (number.isValid())
        number = paddedTrackNumber(number.toString(), options.selectedTrailingZeroes, filesInFolder);
    const QString newName = filledPattern(options.pattern, tags, number);

    if (newName == oldName)
        plan.outcome = RenameOutcome::Unchanged;
    else if (options.skipMissing && containsPlaceholder(newName))
        plan.outcome = RenameOutcome::PlaceholderMissing;
    // A tag is not to move a file to another folder ("../x", "a/b") nor to
    // make it a hidden file without a name.
    else if (!isPlainFileName(newName))
        plan.outcome = RenameOutcome::LeavesFolder;
    else {
        const QString newFileName = dot < 0 ? newName : newName + fileName.mid(dot).toString();
        // The file system would refuse the move; the name is not cut short behind the person's back.
        if (QFile::encodeName(newFileName).size() > maxFileNameBytes)
            plan.outcome = RenameOutcome::NameTooLong;
        else {
            plan.target = path.left(slash + 1) + newFileName;
            plan.outcome = RenameOutcome::Renamed;
        }
    }
    return plan;
}

QString renameTarget(const QString &path, const QVariantHash &tags, const RenameOptions &options,
                     int filesInFolder)
{
    return plannedRename(path, tags, options, filesInFolder).target;
}

QStringList renameRunFiles(const QString &folder, bool recursive, QList<files::Skipped> *skipped)
{
    if (recursive)
        return musicfiles::musicFilesBelow(folder, skipped);
    QList<files::Skipped> left;
    QStringList files;
    for (const QString &name : files::dirContents(folder, skipped ? &left : nullptr).value_or(QStringList())) {
        const QString path = folder + QLatin1Char('/') + name;
        if (musicfiles::isMusicFile(path) && QFileInfo(path).isFile())
            files << path;
    }
    // The run enters no folder here, so only music files left out concern it.
    for (const files::Skipped &s : left)
        if (!s.folder && musicfiles::isMusicFile(s.shown))
            skipped->append(s);
    return files;
}

QList<PlannedRename> renamePlan(const QStringList &files, const RenameOptions &options,
                                const RenameProgress &progress)
{
    const QHash<QString, int> counts = filesPerFolder(files);
    const QStringList keys = renameTagKeys();
    // Names the run has taken so far, and names it has freed by moving a file away.
    QSet<QString> taken;
    QSet<QString> freed;
    QList<PlannedRename> plan;
    plan.reserve(files.size());
    const int n = int(files.size());
    // The tags are read several files at a time; the names are handed out in
    // the files' order, so the plan is the same however the reads interleave.
    // Unreadable tags read as absent; anything else leaves just this file alone.
    struct Read {
        QVariantHash tags;
        bool unreadable = false;
    };
    const std::function<Read(int)> read = [&](int i) {
        Read result;
        if (options.pattern.isEmpty())
            return result;
        try {
            result.tags = MusicTrack::withPath(files.at(i)).valuesInOrder(keys).toHash();
        } catch (const std::exception &e) {
            qWarning().noquote() << files.at(i) << e.what();
            result.unreadable = true;
        }
        return result;
    };
    filepool::ordered<Read>(n, read, [&](int i, Read &&tags) {
        const QString &path = files.at(i);
        if (progress)
            progress(i, n, path);
        if (options.pattern.isEmpty()) {
            plan.append({path, QString(), RenameOutcome::NoPattern});
            return;
        }
        if (tags.unreadable) {
            plan.append({path, QString(), RenameOutcome::Unreadable});
            return;
        }
        PlannedRename entry = plannedRename(path, tags.tags, options, counts.value(files::folderOf(path)));
        if (entry.outcome == RenameOutcome::Renamed) {
            const QFileInfo there(entry.target);
            const bool onDisk = !freed.contains(entry.target) && (there.exists() || there.isSymLink());
            if (taken.contains(entry.target) || onDisk) {
                entry.target.clear();
                entry.outcome = RenameOutcome::NameTaken;
            } else {
                taken.insert(entry.target);
                freed.remove(entry.target);
                taken.remove(path);
                freed.insert(path);
            }
        }
        plan.append(entry);
    });
    tagcache::flush();
    return plan;
}

namespace {

// Renamed files wait here until the library has followed them, so that a
// long run commits to the library in a few transactions instead of one per
// file. Worker only.
class LibraryFollower {
public:
    LibraryFollower(std::shared_ptr<MusicLibrary> library, QList<PlannedRename> &report)
        : library_(std::move(library)), report_(report)
    {
    }

    // The file of report entry index has moved. Returns why the library could
    // not follow, once it could not.
    std::optional<QString> moved(qsizetype index)
    {
        pending_.append(index);
        return pending_.size() >= batchSize ? flush() : std::nullopt;
    }

    std::optional<QString> flush()
    {
        if (pending_.isEmpty())
            return std::nullopt;
        QList<QPair<QString, QString>> moves;
        for (qsizetype index : pending_)
            moves.append({report_.at(index).path, report_.at(index).target});
        try {
            library_->filesMoved(moves);
            pending_.clear();
            return std::nullopt;
        } catch (const NamedException &e) {
            qWarning().noquote() << e.description();
            // A file the library can no longer find is what the library check
            // is there to prevent: the files of this batch get their names back.
            QStringList kept;
            for (auto it = pending_.crbegin(); it != pending_.crend(); ++it) {
                PlannedRename &entry = report_[*it];
                if (safemove::moveWithoutReplacing(entry.target, entry.path)) {
                    entry.target.clear();
                    entry.outcome = RenameOutcome::MoveFailed;
                } else {
                    kept << entry.target;
                }
            }
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
    QList<PlannedRename> &report_;
    QList<qsizetype> pending_;
};

struct RenameRun {
    QStringList files;
    RenameOptions options;
    std::shared_ptr<MusicLibrary> library;
    HistoryStore::Limits limits;
    QString folder;
};

// Every planned rename is in the history before the first file moves; only
// those that kept their new name are confirmed.
void journalRenames(RunJournal &journal, const QList<PlannedRename> &plan, bool confirm)
{
    if (!confirm) {
        QList<HistoryChange> changes;
        QList<qint64> positions;
        for (qsizetype i = 0; i < plan.size(); ++i) {
            if (plan[i].outcome != RenameOutcome::Renamed)
                continue;
            HistoryChange change;
            change.kind = HistoryChange::Kind::Renamed;
            change.path = plan[i].path;
            change.before = plan[i].path;
            change.after = plan[i].target;
            change.title = QFileInfo(plan[i].path).fileName();
            changes << change;
            positions << i;
        }
        journal.intendChanges(changes, positions);
        return;
    }
    for (qsizetype i = 0; i < plan.size(); ++i)
        if (plan[i].outcome == RenameOutcome::Renamed && !plan[i].target.isEmpty())
            journal.applied(i);
}

// Worker. Makes the plan, then renames file by file as it says; a file that
// the file system will not move keeps its name and the run goes on.
RenameReport renameFiles(ProgressSink &progress, const RenameRun &run)
{
    progress.setProgress(QStringLiteral("Preparing changes…"));
    ProgressThrottle throttle;
    RenameReport report;
    report.files = renamePlan(run.files, run.options, [&progress, &throttle](int i, int n, const QString &path) {
        if (throttle.due(i, n))
            progress.setProgress(
                QStringLiteral("%1/%2 - %3").arg(i + 1).arg(n).arg(QUrl::fromLocalFile(path).toString()));
    });
    RunJournal journal({HistoryStore::pathBeside(run.library->path()), QStringLiteral("Filename Changer"),
                        QStringLiteral("folder %1").arg(run.folder), run.limits, run.library});
    journalRenames(journal, report.files, false);
    // However the run ends, what was renamed is confirmed.
    const auto finish = [&] {
        journalRenames(journal, report.files, true);
        report.notRecorded = journal.finish();
    };
    LibraryFollower follower(run.library, report.files);
    for (qsizetype i = 0; i < report.files.size(); ++i) {
        PlannedRename &entry = report.files[i];
        if (entry.outcome != RenameOutcome::Renamed)
            continue;
        if (!safemove::moveWithoutReplacing(entry.path, entry.target)) {
            // Something outside the run took the name meanwhile, or the file system said no.
            entry.outcome = QFileInfo(entry.target).exists() || QFileInfo(entry.target).isSymLink()
                                ? RenameOutcome::NameTaken
                                : RenameOutcome::MoveFailed;
            entry.target.clear();
            continue;
        }
        if ((report.stopped = follower.moved(i))) {
            report.files.resize(i + 1);
            finish();
            return report;
        }
    }
    report.stopped = follower.flush();
    finish();
    return report;
}

} // namespace

std::shared_ptr<Run> renameFiles(const RenameStart &start, ProgressSink &progress,
                                 std::function<void(const RenameReport &)> finished)
{
    if (!start.libraryRunning)
        return Run::refuse(progress.port(), QStringLiteral("iTunes"),
                           QStringLiteral("You will need to launch iTunes before renaming files to prevent the "
                                          "renamed files from being broken in iTunes."));
    const QString &folder = start.folder;
    if (folder.isEmpty())
        return Run::refuse(progress.port(), QStringLiteral("No Folder"),
                           QStringLiteral("You didn't select a folder with music files to operate on."));
    if (folder.contains(QLatin1String("iTunes/iTunes Music"))) {
        const int answer = alertPanel(
            progress.port(), QStringLiteral("Warning"),
            QStringLiteral("You selected files within the 'iTunes Music' folder to be renamed. If you have not "
                           "unchecked the option 'Keep iTunes Media folder organized' in iTunes you probably do "
                           "not want to continue as iTunes manages the filenames anyway and will get confused if "
                           "the files are renamed."),
            QStringLiteral("Cancel"), QStringLiteral("Continue"));
        if (answer != 0) {
            RunOutcome declined;
            declined.kind = RunOutcome::Declined;
            return Run::ended(declined);
        }
    }
    RenameRun run;
    QList<files::Skipped> skipped;
    run.files = renameRunFiles(folder, start.recursive, &skipped);
    if (!skipped.isEmpty())
        alertPanel(progress.port(), QStringLiteral("Files Skipped"), musicfiles::skippedMessage(skipped));
    if (run.files.isEmpty())
        return Run::refuse(progress.port(), QStringLiteral("No Files"),
                           QStringLiteral("The folder you have selected doesn't seem to contain music files."));
    try {
        run.library = start.library();
    } catch (const NamedException &e) {
        return Run::refuse(progress.port(), e.name(), e.reason());
    }
    // The extension-hidden options have nothing to act on here: Linux file
    // systems keep no such attribute, and a name always shows its extension.
    run.options = start.options;
    run.limits = RunJournal::limitsFromSettings();
    run.folder = folder;

    return Run::start(progress, QStringLiteral("Applying changes…"),
                      [finished = std::move(finished), run = std::move(run)](ProgressSink &sink) -> Run::Finish {
                          RenameReport report = renameFiles(sink, run);
                          return [port = sink.port(), finished, report = std::move(report)] {
                              RunOutcome outcome;
                              outcome.kind = RunOutcome::Applied;
                              if (report.stopped) {
                                  alertPanel(port, QStringLiteral("Renaming Stopped"), *report.stopped);
                                  outcome.stopped = *report.stopped;
                                  outcome.ok = false;
                              }
                              for (const PlannedRename &entry : report.files)
                                  if (entry.outcome == RenameOutcome::Renamed)
                                      ++outcome.applied.written;
                              outcome.applied.enabled = int(report.files.size());
                              outcome.applied.notRecorded = report.notRecorded;
                              outcome.news = renameSummary(report.files, false);
                              outcome.tracksChanged = true;
                              if (finished)
                                  finished(report);
                              return outcome;
                          };
                      });
}

} // namespace tools
