// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "terminalport.h"
#include "toolcommands.h"
#include "toolcontext.h"
#include "tools/playlistexport.h"

#include <QFileInfo>

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
    parser.addOption({QStringLiteral("output"), QStringLiteral("The file to write."), QStringLiteral("FILE")});
    if (const auto done = context.parse(parser, QStringLiteral("export"),
                                  QStringLiteral("Saves the tracks of the source as a list, one line per track. "
                                                 "The XML playlist is named after the selected playlist.")))
        return *done;

    ExitCode failure = ExitCode::BadUsage;
    const auto format = context.choiceOption(parser, QStringLiteral("format"),
                                             {QStringLiteral("txt"), QStringLiteral("xml"), QStringLiteral("m3u8"),
                                              QStringLiteral("xspf")},
                                             &failure);
    if (!format)
        return failure;
    if (parser.value(QStringLiteral("output")).isEmpty())
        return context.usageError(QStringLiteral("export wants --output FILE"));
    context.port().setSavePath(parser.value(QStringLiteral("output")));
    AppDelegate &app = context.app();
    QString relativeTo = parser.value(QStringLiteral("relative-to"));
    if (!relativeTo.isEmpty()) {
        if (*format != 2)
            return context.usageError(QStringLiteral("--relative-to goes with --format m3u8"));
        if (!QFileInfo(relativeTo).isDir())
            return context.usageError(QStringLiteral("--relative-to wants a folder: '%1' is none").arg(relativeTo));
        relativeTo = QFileInfo(relativeTo).absoluteFilePath();
    }
    // The controls' tags: 1 text, 2 XML, 3 M3U8, 4 XSPF.
    const int tag = *format + 1;
    return context.run([&app, tag, relativeTo] { tools::performExport(app, tag, relativeTo); });
}

} // namespace cli
