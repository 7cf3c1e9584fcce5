// SPDX-License-Identifier: GPL-3.0-or-later
#include "numerictagchanger.h"

#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "operations/applyengine.h"
#include "operations/run.h"
#include "operations/runjournal.h"
#include "operations/runreport.h"
#include "support/alerts.h"
#include "support/textutils.h"

#include <QDebug>

#include <algorithm>
#include <limits>

namespace tools {

namespace {
const QString nameKey = QStringLiteral("name");
} // namespace

QVariant numericResult(int mode, const QVariant &current, const QVariant &entered)
{
    if (mode == NumericSet)
        return entered;
    const qint64 a = text::intValue(current);
    const qint64 b = text::intValue(entered);
    const qint64 result = mode == NumericAdd ? a + b : a - b;
    return QVariant(int(std::clamp<qint64>(result, std::numeric_limits<qint32>::min(),
                                           std::numeric_limits<qint32>::max())));
}

QList<NumericChange> numericPlan(const NumericOptions &options, MusicLibrary &library)
{
    const QList<TrackRef> refs = library.selection();
    const QString &key = options.key;
    const QList<QVariantHash> now = library.properties(refs, {nameKey, key});
    QList<NumericChange> plan;
    plan.reserve(refs.size());
    for (qsizetype i = 0; i < refs.size(); ++i) {
        const QVariantHash values = now.value(i);
        plan.append({refs[i], tagText(values.value(nameKey)), values.value(key),
                     numericResult(options.mode, values.value(key), options.number)});
    }
    return plan;
}

std::shared_ptr<Run> changeNumbers(const NumericOptions &options,
                                   std::function<std::shared_ptr<MusicLibrary>()> openLibrary, ProgressSink &progress)
{
    const QVariant number = options.number;
    if (!number.isValid() || number.isNull())
        return Run::refuse(progress.port(), QStringLiteral("Invalid Data"),
                           QStringLiteral("You have to enter a number to use the Numeric Tag Changer."));
    // Read here: the settings belong to the main thread.
    const HistoryStore::Limits limits = RunJournal::limitsFromSettings();
    return Run::start(progress, QStringLiteral("Applying changes…"),
                      [options, limits, openLibrary = std::move(openLibrary)](ProgressSink &sink) -> Run::Finish {
        ApplyResult result;
        std::unique_ptr<RunJournal> journal;
        try {
            const std::shared_ptr<MusicLibrary> library = openLibrary();
            journal = std::make_unique<RunJournal>(RunJournal::Run{HistoryStore::pathBeside(library->path()),
                                                                   QStringLiteral("Numeric Tag Changer"),
                                                                   QStringLiteral("library selection"), limits, library});
            // The rows change in one transaction; the files (written before
            // their rows) one by one, so a failure keeps the earlier tracks.
            MusicLibrary::Batch batch(*library, QStringLiteral("change numbers of the selection"));
            // Counted before the plan is read, so that a plan the library refuses tells how many were to change.
            result.enabled = int(library->selection().size());
            const QList<NumericChange> plan = numericPlan(options, *library);
            // Every change is in the history before the first one is made.
            QList<ChangeRecord> records;
            records.reserve(plan.size());
            for (const NumericChange &change : plan) {
                ChangeRecord &record = records.emplace_back();
                record.track = MusicTrack::withTrack(library, change.track, sink.port());
                record.tagToChange = options.key;
                record.oldTag = tagText(change.oldValue);
                record.newTag = tagText(change.newValue);
                record.title = change.title;
            }
            journal->intendTags(records);
            try {
                for (qsizetype i = 0; i < plan.size(); ++i) {
                    result.failedTrack = plan[i].title;
                    sink.setProgress({QStringLiteral("%1/%2 - %3"), int(i + 1), int(plan.size()), result.failedTrack});
                    records[i].track.setTag(options.key, plan[i].newValue);
                    ++result.written;
                    journal->applied(i);
                }
            } catch (...) {
                batch.commit();
                throw;
            }
            batch.commit();
        } catch (const std::exception &e) {
            // The writes made so far stay; the person learns where the run stopped.
            result.outcome = ApplyResult::Failed;
            result.error = QString::fromUtf8(e.what()); // a NamedException's what() is its description
            qWarning().noquote() << result.error;
        }
        if (journal)
            result.notRecorded = journal->finish();
        return [port = sink.port(), result] {
            return runreport::finishApplied(port, result, runreport::numericChanged(result));
        };
    });
}

} // namespace tools
