// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "terminalport.h"
#include "toolcommands.h"
#include "toolcontext.h"

#include <QFile>
#include <QTemporaryDir>

namespace cli {

ExitCode exportCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("format"), QStringLiteral("txt: artist, title, album, duration by tabs; xml."),
                      QStringLiteral("txt|xml"), QStringLiteral("txt")});
    parser.addOption({QStringLiteral("output"), QStringLiteral("The file to write; - for standard output."),
                      QStringLiteral("FILE")});
    if (const auto done = context.parse(parser, QStringLiteral("export"),
                                  QStringLiteral("Saves the tracks of the source as a list, one line per track. "
                                                 "The XML playlist is named after the selected playlist."),
                                  0))
        return *done;

    ExitCode failure = ExitCode::BadUsage;
    const auto format = context.choiceOption(parser, QStringLiteral("format"),
                                             {QStringLiteral("txt"), QStringLiteral("xml")}, &failure);
    if (!format)
        return failure;
    if (parser.value(QStringLiteral("output")).isEmpty())
        return context.usageError(QStringLiteral("export wants --output FILE"));
    // Standard output gets the document once it is whole: the tool writes a
    // file, here one of its own that nobody else sees.
    const bool toStandardOutput = parser.value(QStringLiteral("output")) == QLatin1String("-");
    QTemporaryDir scratch;
    if (toStandardOutput && !scratch.isValid())
        return context.usageError(QStringLiteral("no temporary folder for the export: %1").arg(scratch.errorString()));
    const QString path =
        toStandardOutput ? scratch.filePath(QStringLiteral("export")) : parser.value(QStringLiteral("output"));
    context.port().setSavePath(path);
    AppDelegate &app = context.app();
    // The controls' tags: 1 text, 2 XML.
    const int tag = *format + 1;
    const ExitCode code = context.run([&app, tag] { app.performExport(tag); });
    if (toStandardOutput && code == ExitCode::Success) {
        QFile written(path);
        if (!written.open(QIODevice::ReadOnly)) {
            context.err() << "quavertin-cli: the export was not written\n";
            context.err().flush();
            return ExitCode::Failed;
        }
        context.out() << QString::fromUtf8(written.readAll());
        context.out().flush();
    }
    return code;
}

} // namespace cli
