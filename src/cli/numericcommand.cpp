// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "tagtoolcommand.h"
#include "toolcommands.h"
#include "toolcontext.h"

#include <QCommandLineParser>
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
    if (const auto done = context.parse(parser, QStringLiteral("numeric"),
                                        QStringLiteral("Sets, raises or lowers an integer tag of the tracks selected "
                                                       "in the library (whatever source is given), writing at once.")))
        return *done;
    AppDelegate &app = context.app();
    ExitCode failure = ExitCode::Success;
    const auto tag = requiredChoice(context, parser, QStringLiteral("tag"), app.integerTags(), &failure);
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
    return context.run([&app] { app.performNumeric(); });
}

} // namespace cli
