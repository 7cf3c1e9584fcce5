// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "terminalport.h"
#include "toolcommands.h"
#include "toolcontext.h"

namespace cli {

ExitCode exportCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("format"), QStringLiteral("txt: artist, title, album, duration by tabs; xml."),
                      QStringLiteral("txt|xml"), QStringLiteral("txt")});
    parser.addOption({QStringLiteral("output"), QStringLiteral("The file to write."), QStringLiteral("FILE")});
    if (const auto done = context.parse(parser, QStringLiteral("export"),
                                  QStringLiteral("Saves the tracks of the source as a list, one line per track. "
                                                 "The XML playlist is named after the selected playlist.")))
        return *done;

    ExitCode failure = ExitCode::BadUsage;
    const auto format = context.choiceOption(parser, QStringLiteral("format"),
                                             {QStringLiteral("txt"), QStringLiteral("xml")}, &failure);
    if (!format)
        return failure;
    if (parser.value(QStringLiteral("output")).isEmpty())
        return context.usageError(QStringLiteral("export wants --output FILE"));
    context.port().setSavePath(parser.value(QStringLiteral("output")));
    AppDelegate &app = context.app();
    // The controls' tags: 1 text, 2 XML.
    const int tag = *format + 1;
    return context.run([&app, tag] { app.performExport(tag); });
}

} // namespace cli
