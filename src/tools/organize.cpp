// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/organize.h"

#include "files/musicfiles.h"
#include "operations/choices.h"
#include "support/alerts.h"
#include "support/fileutils.h"
#include "tools/filenamechanger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <memory>

namespace tools {

namespace {

const QString locationKey = QStringLiteral("location");
const QString trackNumberKey = QStringLiteral("trackNumber");

// PATH_MAX of the file systems the program meets with its closing NUL, in
// bytes of the encoded path; a name's own limit is the filename changer's.
constexpr qsizetype maxPathBytes = 4095;


bool taken(const QString &path)
{
    const QFileInfo there(path);
    return there.exists() || there.isSymLink();
}

// One file of the walk, kept until every file is seen.
struct Walked {
    MusicTrack track;
    QString title;
    QString artist;
    PlannedMove move;
};

ChangeRecord moveRecord(const MusicTrack &track, const QString &title, const QString &artist,
                        const PlannedMove &move)
{
    ChangeRecord record;
    record.track = track;
    record.tagToChange = QStringLiteral("path");
    record.oldTag = move.path;
    record.newTag = move.target;
    record.title = title;
    record.artist = artist;
    return record;
}

// The other files of each folder whose music files all go to one folder
// together, to go along with them; a name taken there keeps its file home.
QList<PlannedMove> takenAlong(const QList<Walked> &walked, QList<PlannedMove> &left)
{
    QHash<QString, QString> destination; // old folder -> new folder, empty when the files part
    QHash<QString, int> moving;
    for (const Walked &w : walked) {
        const QString from = files::folderOf(w.move.path);
        const QString to = w.move.target.isEmpty() ? QString() : files::folderOf(w.move.target);
        if (!destination.contains(from))
            destination.insert(from, to);
        else if (destination.value(from) != to)
            destination[from].clear();
        ++moving[from];
    }
    QList<PlannedMove> along;
    for (auto it = destination.cbegin(); it != destination.cend(); ++it) {
        if (it.value().isEmpty())
            continue;
        const QDir folder(it.key());
        // Every music file of the folder must be among those that go.
        int music = 0;
        QStringList others;
        for (const QFileInfo &entry : folder.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
            if (musicfiles::isMusicFile(entry.filePath()))
                ++music;
            else if (!entry.isSymLink())
                others << entry.fileName();
        }
        if (music != moving.value(it.key()))
            continue;
        for (const QString &name : others) {
            PlannedMove move{it.key() + QLatin1Char('/') + name, it.value() + QLatin1Char('/') + name, {}};
            if (taken(move.target)) {
                move.reason = QStringLiteral("a file is already there");
                move.target.clear();
                left << move;
            } else {
                along << move;
            }
        }
    }
    return along;
}

} // namespace

PlannedMove organizeTarget(const QString &path, const QVariantHash &tags, const QString &root,
                           const QString &pattern)
{
    PlannedMove move{path, {}, {}};
    QVariantHash filled = tags;
    const QVariant number = tags.value(QStringLiteral("number"));
    if (number.isValid())
        filled.insert(QStringLiteral("number"), paddedTrackNumber(number.toString(), choices::AlwaysPad, 0));
    QStringList names;
    for (const QString &part : pattern.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QString name = nameFromPattern(part, filled);
        if (containsPlaceholder(name)) {
            move.reason = QStringLiteral("a placeholder has no value");
            return move;
        }
        if (!isPlainFileName(name)) {
            move.reason = QStringLiteral("a tag would make a folder of its own or leave one");
            return move;
        }
        names << name;
    }
    if (names.isEmpty()) {
        move.reason = QStringLiteral("the pattern gives no name");
        return move;
    }
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        names.last() += fileName.mid(dot);
    for (const QString &name : names)
        if (QFile::encodeName(name).size() > maxFileNameBytes) {
            move.reason = QStringLiteral("name too long");
            return move;
        }
    const QString target = QDir::cleanPath(root) + QLatin1Char('/') + names.join(QLatin1Char('/'));
    if (QFile::encodeName(target).size() > maxPathBytes) {
        move.reason = QStringLiteral("path too long");
        return move;
    }
    if (target != path)
        move.target = target;
    return move;
}

void settleTargets(QList<PlannedMove> &plan)
{
    QHash<QString, int> wanted;
    for (const PlannedMove &move : plan)
        if (!move.target.isEmpty())
            ++wanted[move.target];
    for (PlannedMove &move : plan) {
        if (move.target.isEmpty())
            continue;
        if (wanted.value(move.target) > 1)
            move.reason = QStringLiteral("another file of the run would go to %1").arg(move.target);
        else if (taken(move.target))
            move.reason = QStringLiteral("a file is already at %1").arg(move.target);
        else
            continue;
        move.target.clear();
    }
}

ToolStart organize(const OrganizeOptions &options, TrackSource source)
{
    if (options.root.isEmpty())
        return Refusal{QStringLiteral("No Folder"),
                       QStringLiteral("You need to choose the folder to organize the files into.")};
    if (options.pattern.isEmpty())
        return Refusal{QStringLiteral("No Pattern"),
                       QStringLiteral("You need to enter a pattern for the files' new paths.")};
    const QString root = QFileInfo(options.root).absoluteFilePath();

    CollectRun run;
    run.source = std::move(source);
    run.rename = true;
    run.removeEmptyFolders = options.removeEmptyFolders;
    run.tool = QStringLiteral("Organize Files into Folders");
    run.noChangesMessage = QStringLiteral("The files you've selected are where the pattern puts them already, or "
                                          "cannot go there.");
    const QStringList tagKeys = renameTagKeys();
    run.keys = tagKeys;
    run.keys.replace(run.keys.indexOf(QStringLiteral("number")), trackNumberKey);
    run.keys << locationKey;
    auto walked = std::make_shared<QList<Walked>>();
    run.step = [walked, root, pattern = options.pattern, tagKeys](const MusicTrack &track, const TrackValues &values,
                                                                   QList<ChangeRecord> &) {
        QString path = values.value(locationKey).toString();
        if (path.isEmpty() && !track.isLibraryTrack())
            path = track.path();
        if (path.isEmpty())
            return; // a library track whose file is gone
        QVariantHash tags;
        for (const QString &key : tagKeys) {
            const QVariant value =
                values.value(key == QLatin1String("number") ? trackNumberKey : key);
            // An absent number reads 0 in the library; "0" is no number for a name either.
            if (value.isValid() && !value.toString().isEmpty() && value.toString() != QLatin1String("0"))
                tags.insert(key, value);
        }
        walked->append({track, tagText(values.value(QStringLiteral("name"))),
                        tagText(values.value(QStringLiteral("artist"))), organizeTarget(path, tags, root, pattern)});
    };
    run.finish = [walked, takeAlong = options.takeAlong](QList<ChangeRecord> &records, ProgressSink &progress) {
        QList<PlannedMove> plan;
        for (const Walked &w : *walked)
            plan << w.move;
        settleTargets(plan);
        QList<PlannedMove> left;
        for (qsizetype i = 0; i < plan.size(); ++i) {
            (*walked)[i].move = plan.at(i);
            if (!plan.at(i).target.isEmpty())
                records << moveRecord(walked->at(i).track, walked->at(i).title, walked->at(i).artist, plan.at(i));
            else if (!plan.at(i).reason.isEmpty())
                left << plan.at(i);
        }
        if (takeAlong)
            for (const PlannedMove &move : takenAlong(*walked, left))
                records << moveRecord(MusicTrack::withPath(move.path), QString(), QString(), move);
        walked->clear();
        if (left.isEmpty())
            return;
        QStringList lines;
        for (const PlannedMove &move : left)
            lines << QStringLiteral("%1 (%2)").arg(move.path, move.reason);
        constexpr qsizetype shown = 20;
        QString text = lines.mid(0, shown).join(QLatin1Char('\n'));
        if (lines.size() > shown)
            text += QStringLiteral("\n… and %1 more").arg(lines.size() - shown);
        alertPanel(progress.port(), QStringLiteral("Files Staying"),
                   QStringLiteral("%1 files stay where they are:\n%2").arg(left.size()).arg(text));
    };
    return run;
}

} // namespace tools
