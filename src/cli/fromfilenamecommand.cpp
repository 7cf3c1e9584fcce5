// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "toolcommands.h"
#include "toolcontext.h"

namespace cli {

ExitCode fromFilenameCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("pattern"),
                      QStringLiteral("What the end of each file's path holds: #a artist, #t title, #g genre, "
                                     "#l album, #y year, #n track number, \"/\" between folder levels "
                                     "(\"#a/#l/#n - #t\"). Other text must be there as it stands."),
                      QStringLiteral("P"), QStringLiteral("#n - #t")});
    parser.addOption({QStringLiteral("regex"),
                      QStringLiteral("The pattern is an ICU regular expression whose named groups title, artist, "
                                     "album, genre, year and track give the tags; it must reach the end of the "
                                     "path without its extension.")});
    parser.addOption({QStringLiteral("underscores"), QStringLiteral("Read \"_\" in the names as a space.")});
    parser.addOption({QStringLiteral("no-trim"), QStringLiteral("Keep spaces at either end of a value.")});
    parser.addOption({QStringLiteral("keep-existing"), QStringLiteral("Leave a tag alone when it has a value.")});
    if (const auto done = context.parse(parser, QStringLiteral("from-filename"),
                                        QStringLiteral("Sets tags from the names of the files and their folders.")))
        return *done;
    AppDelegate &app = context.app();
    app.setFromFilenameString(parser.value(QStringLiteral("pattern")));
    app.setFromFilenameRegular(parser.isSet(QStringLiteral("regex")));
    app.setFromFilenameUnderscores(parser.isSet(QStringLiteral("underscores")));
    app.setFromFilenameTrim(!parser.isSet(QStringLiteral("no-trim")));
    app.setFromFilenameKeepExisting(parser.isSet(QStringLiteral("keep-existing")));
    return context.run([&app] { app.performTagsFromFilename(); });
}

} // namespace cli
