// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "library/musiclibrary.h"
#include "planprinter.h"
#include "reviewprinter.h"
#include "support/namedexception.h"
#include "tagtoolcommand.h"
#include "toolcommands.h"
#include "toolcontext.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <cmath>

namespace cli {

namespace {

// A whole number stays whole; anything else with a decimal point is kept as
// entered, as the number field of the window would keep it.
std::optional<QVariant> parseNumber(const QString &text)
{
    bool ok = false;
    const qlonglong whole = text.toLongLong(&ok);
    if (ok)
        return QVariant(whole);
    const double real = text.toDouble(&ok);
    if (ok && std::isfinite(real))
        return QVariant(real);
    return std::nullopt;
}

} // namespace

ExitCode numericCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("tag"), QStringLiteral("The integer tag to change (its key, e.g. trackNumber, or its position)."),
                      QStringLiteral("T")});
    parser.addOption({QStringLiteral("mode"), QStringLiteral("set, add or subtract."), QStringLiteral("MODE")});
    parser.addOption({QStringLiteral("number"),
                      QStringLiteral("The number; add and subtract use its integer part."), QStringLiteral("X")});
    if (const auto done = context.parse(
            parser, QStringLiteral("numeric"),
            QStringLiteral("Sets, raises or lowers an integer tag of the tracks selected in the library (whatever "
                           "source is given). There is no review: --dry-run shows what would change, and the "
                           "changes are written once you answer yes, or with --yes."),
            ToolContext::YesOption | ToolContext::DryRunOption | ToolContext::JsonOption))
        return *done;
    AppDelegate &app = context.app();
    ExitCode failure = ExitCode::Success;
    const auto tag = requiredTag(context, parser, QStringLiteral("tag"), app.integerTags(),
                                 app.readableIntegerTags(), &failure);
    if (!tag)
        return failure;
    app.setSelectedNumericTag(*tag);
    const auto mode = requiredChoice(context, parser, QStringLiteral("mode"),
                                     {QStringLiteral("set"), QStringLiteral("add"), QStringLiteral("subtract")},
                                     &failure);
    if (!mode)
        return failure;
    app.setSelectedNumeric(*mode);

    app.setNumericString(QVariant());
    if (parser.isSet(QStringLiteral("number"))) {
        const auto number = parseNumber(parser.value(QStringLiteral("number")));
        if (!number)
            return context.usageError(
                QStringLiteral("--number wants a number, not '%1'").arg(parser.value(QStringLiteral("number"))));
        app.setNumericString(*number);
    }
    // Without a number the tool refuses by itself, writing nothing.
    if (!parser.isSet(QStringLiteral("number")))
        return context.run([&app] { app.performNumeric(); });

    QList<tools::NumericChange> plan;
    try {
        plan = tools::numericPlan(app.numericOptions(), *app.library());
    } catch (const NamedException &e) {
        context.err() << "quavertin-cli: " << e.description() << '\n';
        context.err().flush();
        return ExitCode::Failed;
    }
    const QString key = app.integerTags().value(*tag);
    QTextStream &out = context.out();
    if (context.json())
        printJson(out, QJsonDocument(numericPlanJson(plan, key)));
    else if (context.dryRun())
        printNumericPlan(out, plan, key);
    out.flush();
    if (plan.isEmpty()) {
        context.err() << "No tracks are selected in the library; nothing was changed.\n";
        context.err().flush();
        return ExitCode::Failed;
    }
    if (context.dryRun())
        return ExitCode::Success;
    if (!context.json())
        out << QStringLiteral("%1 of %2 selected tracks will be changed.\n").arg(key).arg(plan.size());
    out.flush();
    if (!context.confirmed(QStringLiteral("Change %1 of %2 tracks?").arg(key).arg(plan.size())))
        return ExitCode::Failed;
    const ExitCode code = context.run([&app] { app.performNumeric(); });
    if (code == ExitCode::Success && !context.json())
        out << QStringLiteral("%1 tracks changed.\n").arg(plan.size());
    out.flush();
    return code;
}

} // namespace cli
