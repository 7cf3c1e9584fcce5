// SPDX-License-Identifier: GPL-3.0-or-later
#include "numerictagchanger.h"

#include "app/appdelegate.h"
#include "library/musiclibrary.h"
#include "model/musictrack.h"
#include "operations/applyengine.h"
#include "operations/runnews.h"
#include "operations/runreport.h"
#include "support/alerts.h"
#include "support/dispatch.h"
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

QList<NumericChange> numericPlan(AppDelegate &app)
{
    const std::shared_ptr<MusicLibrary> library = app.library();
    const QList<TrackRef> refs = app.selectedTracks();
    const QString key = app.integerTags().value(app.selectedNumericTag());
    const QList<QVariantHash> now = library->properties(refs, {nameKey, key});
    QList<NumericChange> plan;
    plan.reserve(refs.size());
    for (qsizetype i = 0; i < refs.size(); ++i) {
        const QVariantHash values = now.value(i);
        plan.append({refs[i], tagText(values.value(nameKey)), values.value(key),
                     numericResult(app.selectedNumeric(), values.value(key), app.numericString())});
    }
    return plan;
}

void performNumeric(AppDelegate &app)
{
    app.endEditing();
    const QVariant number = app.numericString();
    if (!number.isValid() || number.isNull()) {
        alertPanel(app.port(), QStringLiteral("Invalid Data"),
                   QStringLiteral("You have to enter a number to use the Numeric Tag Changer."));
        return;
    }
    app.beginProgress(QStringLiteral("Applying changes…"));
    dispatchAsyncBackground([&app, number] {
        ApplyResult result;
        try {
            const std::shared_ptr<MusicLibrary> library = app.library();
            const QList<TrackRef> refs = app.selectedTracks();
            result.enabled = int(refs.size());
            // The rows change in one transaction; the files (written before
            // their rows) one by one, so a failure keeps the earlier tracks.
            MusicLibrary::Batch batch(*library, QStringLiteral("change %1 tracks").arg(refs.size()));
            try {
                for (qsizetype i = 0; i < refs.size(); ++i) {
                    const TrackRef &ref = refs[i];
                    const QString key = app.integerTags().value(app.selectedNumericTag());
                    const int mode = app.selectedNumeric();
                    // The name for the progress line and the current value, with one query.
                    const QVariantHash now = library->properties({ref}, {nameKey, key}).value(0);
                    result.failedTrack = tagText(now.value(nameKey));
                    app.setProgress({QStringLiteral("%1/%2 - %3"), int(i + 1), int(refs.size()), result.failedTrack});
                    MusicTrack::withTrack(library, ref).setTag(key, numericResult(mode, now.value(key), number));
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
        dispatchAsyncMain([&app, result] {
            app.endProgress();
            applyengine::report(app.port(), result);
            RunNews::instance().announce(runreport::numericChanged(result), true);
        });
    });
}

void performNumbering(AppDelegate &)
{
    // Numbering was announced but never given a behaviour: the button does nothing.
}

} // namespace tools
