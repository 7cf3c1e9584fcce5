// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "terminalport.h"
#include "toolcommands.h"
#include "toolcontext.h"
#include "tools/playlistexport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace cli {

ExitCode exportCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("format"),
                      QStringLiteral("txt: artist, title, album, duration by tabs; xml; m3u8: extended M3U; "
                                     "xspf: XSPF playlist."),
                      QStringLiteral("txt|xml|m3u8|xspf"), QStringLiteral("txt")});
    parser.addOption({QStringLiteral("relative-to"),
                      QStringLiteral("m3u8: write the paths relative to this folder."), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("output"), QStringLiteral("The file to write; - or none for standard output."),
                      QStringLiteral("FILE")});
    if (const auto done = context.parse(parser, QStringLiteral("export"),
                                  QStringLiteral("Saves the tracks of the source as a list, one line per track. "
                                                 "The XML playlist is named after the selected playlist."),
                                  0))
        return *done;

    ExitCode failure = ExitCode::BadUsage;
    const auto format = context.choiceOption(parser, QStringLiteral("format"),
                                             {QStringLiteral("txt"), QStringLiteral("xml"), QStringLiteral("m3u8"),
                                              QStringLiteral("xspf")},
                                             &failure);
    if (!format)
        return failure;
    if (parser.isSet(QStringLiteral("output")) && parser.value(QStringLiteral("output")).isEmpty())
        return context.usageError(QStringLiteral("--output wants a file, or - for standard output"));
    // Standard output gets the document once it is whole: the tool writes a
    // file, here one of its own that nobody else sees.
    const bool toStandardOutput = !parser.isSet(QStringLiteral("output")) ||
                                  parser.value(QStringLiteral("output")) == QLatin1String("-");
    QTemporaryDir scratch;
    if (toStandardOutput && !scratch.isValid())
        return context.usageError(QStringLiteral("no temporary folder for the export: %1").arg(scratch.errorString()));
    const QString path =
        toStandardOutput ? scratch.filePath(QStringLiteral("export")) : parser.value(QStringLiteral("output"));
    context.port().setSavePath(path);
    AppDelegate &app = context.app();
    // The choices are listed in the order of the controls' tags, from 1.
    const choices::ExportFormat chosen = tools::exportFormat(*format + 1);
    QString relativeTo = parser.value(QStringLiteral("relative-to"));
    if (!relativeTo.isEmpty()) {
        if (chosen != choices::ExportFormat::M3u8)
            return context.usageError(QStringLiteral("--relative-to goes with --format m3u8"));
        if (!QFileInfo(relativeTo).isDir())
            return context.usageError(QStringLiteral("--relative-to wants a folder: '%1' is none").arg(relativeTo));
        relativeTo = QFileInfo(relativeTo).absoluteFilePath();
    }
    const int tag = static_cast<int>(chosen);
    const ExitCode code =
        context.run([&app, tag, relativeTo] { app.exportPlaylist(tag, relativeTo); });
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
