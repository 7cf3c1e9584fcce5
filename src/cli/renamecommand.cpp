// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "files/musicfiles.h"
#include "support/textutils.h"
#include "planprinter.h"
#include "reviewprinter.h"
#include "terminalport.h"
#include "toolcommands.h"
#include "toolcontext.h"

#include <QJsonDocument>

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
    if (const auto done = context.parse(
            parser, QStringLiteral("rename"),
            QStringLiteral("Renames the music files of the --folder source after their tags, in place. A file whose "
                           "new name is taken keeps its name. There is no review: --dry-run shows every file's new "
                           "name, and the files are renamed once you answer yes, or with --yes."),
            ToolContext::YesOption | ToolContext::DryRunOption | ToolContext::JsonOption))
        return *done;

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

    const QString folder = app.folderPath();
    // A run that goes ahead names the files it leaves out itself; a dry run is told here.
    QList<files::Skipped> skipped;
    const QStringList files = folder.isEmpty() ? QStringList()
                                               : tools::renameRunFiles(folder, app.renameRecursiveScan(),
                                                                       context.dryRun() ? &skipped : nullptr);
    if (!skipped.isEmpty() && !files.isEmpty()) {
        context.err() << "Files Skipped: "
                      << text::escapedControls(musicfiles::skippedMessage(skipped), text::ControlStyle::Terminal, true)
                      << '\n';
        context.err().flush();
    }
    // No folder or no music file: the tool refuses by itself, renaming nothing.
    if (files.isEmpty())
        return context.run([&app] { app.performRename(); });

    const QList<tools::PlannedRename> plan = tools::renamePlan(files, app.renameOptions());
    QTextStream &out = context.out();
    if (context.json())
        printJson(out, QJsonDocument(renamePlanJson(plan)));
    else if (context.dryRun())
        printRenamePlan(out, plan, folder);
    if (context.dryRun()) {
        if (!context.json())
            out << renameSummary(plan) << '\n';
        out.flush();
        return ExitCode::Success;
    }
    const auto toRename = std::count_if(plan.cbegin(), plan.cend(), [](const tools::PlannedRename &entry) {
        return entry.outcome == tools::RenameOutcome::Renamed;
    });
    if (!context.json())
        out << QStringLiteral("%1 of %2 files will be renamed.\n").arg(toRename).arg(plan.size());
    out.flush();
    if (toRename > 0 && !context.confirmed(QStringLiteral("Rename %1 files?").arg(toRename)))
        return ExitCode::Failed;

    std::optional<tools::RenameReport> report;
    ExitCode code = context.run(
        [&app, &report] { app.rename([&report](const tools::RenameReport &r) { report = r; }); });
    if (!report)
        return code == ExitCode::Success ? ExitCode::Failed : code;
    // With --json the standard output holds only the plan.
    QTextStream &summary = context.json() ? context.err() : out;
    summary << renameSummary(report->files) << '\n';
    summary.flush();
    const bool fellShort = report->stopped || std::any_of(report->files.cbegin(), report->files.cend(),
                                                          [](const tools::PlannedRename &entry) {
                                                              return tools::renameFellShort(entry.outcome);
                                                          });
    // The run took place: what it could not do is in its report, and an
    // alert on the way (the files it left out) is no failure of its own.
    return fellShort ? ExitCode::Failed : ExitCode::Success;
}

} // namespace cli
