// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "toolcommands.h"
#include "toolcontext.h"

namespace cli {

ExitCode renameCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("pattern"),
                      QStringLiteral("The new name: #a artist, #t title, #g genre, #l album, #y year, #n track "
                                     "number. The extension is kept."),
                      QStringLiteral("P"), QStringLiteral("#n - #t")});
    parser.addOption({QStringLiteral("padding"),
                      QStringLiteral("A one-digit track number gets a leading zero: auto (when its folder holds "
                                     "ten files or more), never or always."),
                      QStringLiteral("auto|never|always"), QStringLiteral("auto")});
    parser.addOption({QStringLiteral("recursive"), QStringLiteral("Also rename the files of every sub-folder.")});
    parser.addOption({QStringLiteral("skip-missing"),
                      QStringLiteral("Leave a file alone when a placeholder cannot be filled.")});
    if (const auto done = context.parse(parser, QStringLiteral("rename"),
                                  QStringLiteral("Renames the music files of the --folder source after their tags, "
                                                 "in place. A file whose new name is taken keeps its name.")))
        return *done;

    // Renaming has no review to stop before: a dry run would rename all the same.
    if (parser.isSet(QStringLiteral("dry-run")))
        return context.usageError(
            QStringLiteral("rename renames at once, without a review; --dry-run cannot be used"));
    ExitCode failure = ExitCode::BadUsage;
    const auto padding = context.choiceOption(parser, QStringLiteral("padding"),
                                              {QStringLiteral("auto"), QStringLiteral("never"), QStringLiteral("always")},
                                              &failure);
    if (!padding)
        return failure;
    AppDelegate &app = context.app();
    app.setFilenameString(parser.value(QStringLiteral("pattern")));
    app.setSelectedTrailingZeroes(*padding);
    app.setRenameRecursiveScan(parser.isSet(QStringLiteral("recursive")));
    app.setRenameSkipMissing(parser.isSet(QStringLiteral("skip-missing")));
    return context.run([&app] { app.performRename(); });
}

} // namespace cli
