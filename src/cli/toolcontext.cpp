// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolcontext.h"

#include "model/tagcatalogue.h"

#include "app/appdelegate.h"
#include "operations/changesmodel.h"
#include "operations/runreport.h"
#include "reviewprinter.h"
#include "support/dispatch.h"
#include "support/namedexception.h"
#include "support/textutils.h"
#include "tagtoolcommand.h"
#include "terminalport.h"

#include <QCoreApplication>
#include <QJsonDocument>

namespace cli {
namespace {

// "1,3,5-7" as zero-based inclusive ranges; nothing when the text is not such a list.
std::optional<QList<std::pair<qsizetype, qsizetype>>> parseRanges(const QString &text)
{
    QList<std::pair<qsizetype, qsizetype>> ranges;
    for (const QString &piece : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = piece.trimmed().split(QLatin1Char('-'));
        bool okFirst = false;
        bool okLast = false;
        const int first = ends.value(0).toInt(&okFirst);
        const int last = ends.size() == 2 ? ends.value(1).toInt(&okLast) : first;
        if (ends.size() > 2 || !okFirst || (ends.size() == 2 && !okLast) || first < 1 || last < first)
            return std::nullopt;
        ranges.append({first - 1, last - 1});
    }
    if (ranges.isEmpty())
        return std::nullopt;
    return ranges;
}

// "1,3,5-7" as zero-based rows; nothing when the text is not such a list.
std::optional<QList<int>> parseRows(const QString &text)
{
    const auto ranges = parseRanges(text);
    if (!ranges)
        return std::nullopt;
    QList<int> rows;
    for (const auto &[first, last] : *ranges)
        for (qsizetype n = first; n <= last; ++n)
            rows << int(n);
    return rows;
}

} // namespace

ToolContext::ToolContext(AppDelegate &app, TerminalPort &port, QStringList args, QTextStream &out,
                         QTextStream &err)
    : app_(app), port_(port), args_(std::move(args)), out_(out), err_(err)
{
}

ExitCode ToolContext::usageError(const QString &message)
{
    err_ << "quavertin-cli: " << message << '\n';
    err_.flush();
    return ExitCode::BadUsage;
}

std::optional<ExitCode> ToolContext::parse(QCommandLineParser &parser, const QString &name, const QString &description,
                                           int reviewOptions, int positionals)
{
    parser.setApplicationDescription(description);
    if (reviewOptions & YesOption)
        parser.addOption({QStringLiteral("yes"), QStringLiteral("Apply the changes without asking.")});
    if (reviewOptions & DryRunOption)
        parser.addOption({QStringLiteral("dry-run"), QStringLiteral("Show the changes, never apply them.")});
    if (reviewOptions & UncheckOption)
        parser.addOption({QStringLiteral("uncheck"),
                          QStringLiteral("Uncheck these rows of the review (e.g. 1,3,5-7)."), QStringLiteral("LIST")});
    if (reviewOptions & JsonOption)
        parser.addOption({QStringLiteral("json"), QStringLiteral("Print the result as JSON.")});
    if (reviewOptions & ScopeOption) {
        parser.addOption({QStringLiteral("match"),
                          QStringLiteral("Only the tracks whose value of KEY the ICU regular expression finds "
                                         "(letter case ignored); repeat it and every one must match."),
                          QStringLiteral("KEY=REGEX")});
        parser.addOption({QStringLiteral("match-case"), QStringLiteral("--match heeds letter case.")});
        parser.addOption({QStringLiteral("only"),
                          QStringLiteral("Only these tracks of the source, by their position in its order as "
                                         "\"show\" numbers them (e.g. 1,3,5-7)."),
                          QStringLiteral("LIST")});
    }
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")});
    if (!parser.parse(QStringList{QStringLiteral("quavertin-cli ") + name} + args_))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        QString help = parser.helpText();
        // The parser names the program as it was started; the tool stands after the source.
        const qsizetype programEnd = help.indexOf(QLatin1Char(' '), 7);
        if (help.startsWith(QLatin1String("Usage: ")) && programEnd > 0)
            help.replace(7, programEnd - 7, QStringLiteral("quavertin-cli [source] %1").arg(name));
        out_ << help;
        out_.flush();
        return ExitCode::Success;
    }
    if (parser.positionalArguments().size() > positionals)
        return usageError(QStringLiteral("unexpected argument '%1' for %2")
                              .arg(parser.positionalArguments().at(positionals), name));
    yes_ = (reviewOptions & YesOption) && parser.isSet(QStringLiteral("yes"));
    dryRun_ = (reviewOptions & DryRunOption) && parser.isSet(QStringLiteral("dry-run"));
    json_ = (reviewOptions & JsonOption) && parser.isSet(QStringLiteral("json"));
    if (yes_ && dryRun_)
        return usageError(QStringLiteral("--yes and --dry-run exclude each other"));
    if ((reviewOptions & UncheckOption) && parser.isSet(QStringLiteral("uncheck"))) {
        const auto rows = parseRows(parser.value(QStringLiteral("uncheck")));
        if (!rows)
            return usageError(QStringLiteral("--uncheck wants row numbers like 1,3,5-7"));
        uncheck_ = *rows;
    }
    if ((reviewOptions & ScopeOption) && !takeScope(parser))
        return ExitCode::BadUsage;
    if (yes_)
        port_.setInteractive(false);
    if (prepare_)
        return prepare_();
    return std::nullopt;
}

bool ToolContext::takeScope(const QCommandLineParser &parser)
{
    TrackScope scope;
    if (parser.isSet(QStringLiteral("only"))) {
        const auto ranges = parseRanges(parser.value(QStringLiteral("only")));
        if (!ranges) {
            usageError(QStringLiteral("--only wants track numbers like 1,3,5-7"));
            return false;
        }
        scope.positions = *ranges;
    }
    const bool caseInsensitive = !parser.isSet(QStringLiteral("match-case"));
    // Checked before the program starts up (a usage error never opens the
    // library), so from the catalogue itself rather than the controller's copy.
    const TagCatalogue catalogue = parser.isSet(QStringLiteral("match")) ? TagCatalogue::build() : TagCatalogue();
    for (const QString &match : parser.values(QStringLiteral("match"))) {
        const qsizetype equals = match.indexOf(QLatin1Char('='));
        const std::optional<QString> key =
            equals > 0 ? tagKeyNamed(catalogue.allTags, catalogue.allReadableTags, match.left(equals)) : std::nullopt;
        if (!key) {
            usageError(QStringLiteral("--match wants KEY=REGEX with a tag of: %1")
                           .arg(catalogue.allTags.join(QStringLiteral(", "))));
            return false;
        }
        std::optional<IcuRegex> pattern = IcuRegex::compile(match.mid(equals + 1), caseInsensitive);
        if (!pattern) {
            usageError(QStringLiteral("--match: '%1' is not a regular expression ICU accepts").arg(match.mid(equals + 1)));
            return false;
        }
        scope.matches.append({*key, std::move(*pattern)});
    }
    if (!scope.positions.isEmpty() || !scope.matches.isEmpty())
        app_.setTrackScope([scope] { return std::optional<TrackScope>(scope); });
    return true;
}

std::optional<int> ToolContext::intOption(const QCommandLineParser &parser, const QString &option, int min, int max,
                                          ExitCode *failure)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < min || value > max) {
        *failure = usageError(QStringLiteral("--%1 wants a whole number from %2 to %3").arg(option).arg(min).arg(max));
        return std::nullopt;
    }
    return value;
}

std::optional<int> ToolContext::choiceOption(const QCommandLineParser &parser, const QString &option,
                                             const QStringList &choices, ExitCode *failure)
{
    const QString value = parser.value(option);
    int index = static_cast<int>(choices.indexOf(value));
    if (index < 0) {
        for (int i = 0; i < choices.size() && index < 0; ++i)
            if (choices.at(i).compare(value, Qt::CaseInsensitive) == 0)
                index = i;
    }
    if (index < 0) {
        bool ok = false;
        const int number = value.toInt(&ok);
        if (ok && number >= 0 && number < choices.size())
            index = number;
    }
    if (index < 0) {
        *failure = usageError(QStringLiteral("--%1 wants one of: %2").arg(option, choices.join(QStringLiteral(", "))));
        return std::nullopt;
    }
    return index;
}

bool ToolContext::confirmed(const QString &question)
{
    if (yes_ || port_.confirm(question))
        return true;
    err_ << (port_.interactive() ? "Nothing was changed.\n" : "Nothing was changed (--yes applies without asking).\n");
    err_.flush();
    return false;
}

void ToolContext::tellNotRecorded(const RunOutcome &outcome)
{
    if (const QString unrecorded = runreport::notRecorded(outcome.applied); !unrecorded.isEmpty()) {
        err_ << "quavertin-cli: " << text::escapedControls(unrecorded, text::ControlStyle::Terminal) << '\n';
        err_.flush();
    }
}

ExitCode ToolContext::run(const std::function<void()> &action)
{
    const std::shared_ptr<Run> before = app_.lastRun();
    try {
        action();
    } catch (const NamedException &e) {
        // An action meets the library on the main thread too (a tool's
        // validation, a playlist lookup); its failure ends the command, told.
        // A sheet it opened before throwing has no run left to close it.
        waitForBackground();
        QCoreApplication::processEvents();
        if (port_.progressOpen())
            app_.endProgress();
        err_ << "quavertin-cli: " << text::escapedControls(e.description(), text::ControlStyle::Terminal, true) << '\n';
        err_.flush();
        return ExitCode::Failed;
    }
    const std::shared_ptr<Run> started = app_.lastRun();
    if (started != before) {
        const RunOutcome &outcome = started->wait();
        // Tools that write without a review (numbering, renaming) end here.
        if (outcome.kind == RunOutcome::Applied)
            tellNotRecorded(outcome);
        // A list cut short by an error is still reviewed: the person decides.
        if (outcome.kind != RunOutcome::Reviewed || !app_.changes())
            return outcome.succeeded() ? ExitCode::Success : ExitCode::Failed;
    } else if (!app_.changes()) {
        return ExitCode::Success; // an action without a run (numbering) that opened no review
    }

    ChangesModel &model = *app_.changesModel();
    QList<int> outside;
    for (int row : uncheck_)
        if (row >= model.rowCount())
            outside << row + 1;
    if (!outside.isEmpty()) {
        // Counted before the review is cancelled, which empties it.
        const int rows = model.rowCount();
        app_.cancelChanges(true);
        return usageError(QStringLiteral("--uncheck names row %1, but the review has %2 rows")
                              .arg(outside.first())
                              .arg(rows));
    }
    app_.checkSelected(uncheck_, 0);

    if (json_)
        printJson(out_, QJsonDocument(reviewJson(model, app_.changeInfo())));
    else
        printReview(out_, model, app_.changeInfo());
    out_.flush();

    if (dryRun_) {
        app_.cancelChanges(true);
        return ExitCode::Success;
    }
    if (!confirmed(QStringLiteral("Apply the %1 checked changes?").arg(model.enabledCount()))) {
        app_.cancelChanges(true);
        return ExitCode::Failed;
    }
    const int applied = model.enabledCount();
    const bool adding = app_.changes()->playlist && !app_.changes()->remove;
    app_.applyChanges();
    const std::shared_ptr<Run> run = app_.lastRun();
    const RunOutcome &outcome = run->wait();
    tellNotRecorded(outcome);
    if (!outcome.succeeded())
        return ExitCode::Failed;
    // An add leaves a track that is in the playlist already as it is, so
    // fewer entries than changes may have been added.
    const int present = adding ? applied - app_.lastApply().written : 0;
    if (!json_ && present > 0)
        out_ << QStringLiteral("%1 changes applied; %2 of the tracks were in the playlist already and were not "
                               "added again.\n")
                    .arg(applied)
                    .arg(present);
    else if (!json_)
        out_ << QStringLiteral("%1 changes applied.\n").arg(applied);
    out_.flush();
    return ExitCode::Success;
}

} // namespace cli
