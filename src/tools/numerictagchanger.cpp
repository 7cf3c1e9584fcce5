// SPDX-License-Identifier: GPL-3.0-or-later
#include "numerictagchanger.h"

#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "operations/applyengine.h"
#include "operations/run.h"
#include "operations/runnews.h"
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
    return Run::start(progress, QStringLiteral("Applying changes…"),
                      [options, openLibrary = std::move(openLibrary)](ProgressSink &sink) -> Run::Finish {
        ApplyResult result;
        try {
            const std::shared_ptr<MusicLibrary> library = openLibrary();
            const QList<TrackRef> refs = library->selection();
            result.enabled = int(refs.size());
            // The rows change in one transaction; the files (written before
            // their rows) one by one, so a failure keeps the earlier tracks.
            MusicLibrary::Batch batch(*library, QStringLiteral("change %1 tracks").arg(refs.size()));
            try {
                for (qsizetype i = 0; i < refs.size(); ++i) {
                    const TrackRef &ref = refs[i];
                    const QString &key = options.key;
                    // The name for the progress line and the current value, with one query.
                    const QVariantHash now = library->properties({ref}, {nameKey, key}).value(0);
                    result.failedTrack = tagText(now.value(nameKey));
                    sink.setProgress({QStringLiteral("%1/%2 - %3"), int(i + 1), int(refs.size()), result.failedTrack});
                    MusicTrack::withTrack(library, ref, sink.port()).setTag(key, numericResult(options.mode, now.value(key), options.number));
                    ++result.written;
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
        return [port = sink.port(), result] {
            applyengine::report(port, result);
            RunNews::instance().announce(runreport::numericChanged(result), true);
            RunOutcome outcome;
            outcome.kind = RunOutcome::Applied;
            outcome.applied = result;
            return outcome;
        };
    });
}

} // namespace tools
