// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "librarycommands.h"

#include <QCommandLineParser>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <optional>

class AppDelegate;
struct RunOutcome;

namespace cli {

class TerminalPort;

// What a tool subcommand gets: the controller with the source already chosen
// from the global options, the tool's own arguments, and the run that takes
// an action through collecting, the printed review, the question and the
// apply run.
class ToolContext {
public:
    ToolContext(AppDelegate &app, TerminalPort &port, QStringList args, QTextStream &out, QTextStream &err);

    AppDelegate &app() { return app_; }
    TerminalPort &port() { return port_; }
    const QStringList &arguments() const { return args_; }
    QTextStream &out() { return out_; }
    QTextStream &err() { return err_; }

    // The review options a command honours; the others are refused as unknown.
    // ScopeOption: --match and --only narrow the source's tracks.
    enum ReviewOption {
        YesOption = 1,
        DryRunOption = 2,
        UncheckOption = 4,
        JsonOption = 8,
        ScopeOption = 16,
        AllReviewOptions = 31
    };

    // Runs once the arguments are parsed and ask for a run (not for --help
    // or bad usage): opens the library and chooses the source. Its exit
    // status, when it gives one, ends the command.
    void whenParsed(std::function<std::optional<ExitCode>()> prepare) { prepare_ = std::move(prepare); }

    // Parses the tool's arguments with the tool's own options plus the review
    // options it honours (--yes, --dry-run, --uncheck, --json, --match, --only)
    // and --help; --match and --only narrow the controller's source.
    // Returns the exit status when the command is done already (help shown,
    // bad usage reported, the source not found), nothing when it should go on.
    // Up to `positionals` positional arguments are taken (see the parser's).
    std::optional<ExitCode> parse(QCommandLineParser &parser, const QString &name, const QString &description,
                                  int reviewOptions = AllReviewOptions, int positionals = 0);

    bool yes() const { return yes_; }
    bool dryRun() const { return dryRun_; }
    bool json() const { return json_; }

    // For a command that writes without a review: true when --yes was given
    // or the person answered yes at the terminal; otherwise says that nothing
    // was changed.
    bool confirmed(const QString &question);

    // Reads an option that must be a whole number from min to max; reports
    // bad usage (ExitCode::BadUsage in *failure) and gives nothing when it is not.
    std::optional<int> intOption(const QCommandLineParser &parser, const QString &option, int min, int max,
                                 ExitCode *failure);
    // An index into a list given by name (exact, or case-insensitive) or by position.
    std::optional<int> choiceOption(const QCommandLineParser &parser, const QString &option,
                                    const QStringList &choices, ExitCode *failure);

    // Presses the tool's button and sees the run through: waits for the
    // collecting run, prints the review, asks (or follows --yes / --dry-run),
    // applies. Success when the run ended well; Failed when the tool
    // refused, found nothing, or the changes were not (all) applied.
    ExitCode run(const std::function<void()> &action);

    // Writes a usage error and returns ExitCode::BadUsage.
    ExitCode usageError(const QString &message);

private:
    // Narrows the controller's source to --only and --match; false after a usage error.
    bool takeScope(const QCommandLineParser &parser);
    // Says on stderr when the history could not record an applied run.
    void tellNotRecorded(const RunOutcome &outcome);

    AppDelegate &app_;
    TerminalPort &port_;
    QStringList args_;
    QTextStream &out_;
    QTextStream &err_;
    bool yes_ = false;
    bool dryRun_ = false;
    bool json_ = false;
    QList<int> uncheck_;
    std::function<std::optional<ExitCode>()> prepare_;
};

} // namespace cli
