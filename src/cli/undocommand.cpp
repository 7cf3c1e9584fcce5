// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "toolcommands.h"
#include "toolcontext.h"

namespace cli {

ExitCode undoCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("N"),
                                 QStringLiteral("The run to undo, as \"history\" numbers it. Default: the newest run "
                                                "that is no undo and was not undone, so undoing again goes further "
                                                "back. Undoing an undo makes its run's changes again."),
                                 QStringLiteral("[N]"));
    if (const std::optional<ExitCode> done =
            context.parse(parser, QStringLiteral("undo"),
                          QStringLiteral("Puts back every value a run of the history changed, through the same "
                                         "review as every tool. A value changed since the run is shown unchecked "
                                         "and never written."),
                          ToolContext::AllReviewOptions & ~ToolContext::ScopeOption, 1))
        return *done;
    qint64 number = 0;
    if (!parser.positionalArguments().isEmpty()) {
        bool ok = false;
        number = parser.positionalArguments().first().toLongLong(&ok);
        if (!ok || number <= 0)
            return context.usageError(QStringLiteral("undo wants a run number (see \"history\"), not '%1'")
                                          .arg(parser.positionalArguments().first()));
    }
    AppDelegate &app = context.app();
    return context.run([&app, number] { app.performUndo(number); });
}

} // namespace cli
