// SPDX-License-Identifier: GPL-3.0-or-later
#include "historycommand.h"

#include "library/musiclibrary.h"
#include "operations/historyview.h"
#include "planprinter.h"
#include "reviewprinter.h"

#include <QJsonArray>
#include <QJsonObject>

namespace cli {
namespace {

const char *const historyHelp = R"(usage: quavertin-cli [--library FILE] history [--json]
       quavertin-cli [--library FILE] history show N [--json]

Lists the runs that changed tags, playlists or files, newest first: number,
time, tool, source and how many changes each made. `show N` lists the changes
of run N with the values before and after. The history is kept in
history.sqlite beside the library file. `quavertin-cli undo [N]` takes a run
back (see quavertin-cli undo --help).
)";

QJsonValue jsonValue(const QVariant &value)
{
    return value.isValid() && !value.isNull() ? QJsonValue::fromVariant(value) : QJsonValue();
}

QJsonObject runJson(const HistoryRun &run)
{
    QJsonObject object{{"number", run.number},
                       {"time", run.time.toString(Qt::ISODateWithMs)},
                       {"tool", run.tool},
                       {"source", run.source},
                       {"count", run.count}};
    if (run.undoOf)
        object.insert("undoOf", run.undoOf);
    if (run.undoneBy)
        object.insert("undoneBy", run.undoneBy);
    return object;
}

QJsonObject changeJson(const HistoryChange &change)
{
    QJsonObject object{{"kind", historyKindName(change.kind)}, {"title", change.title}, {"artist", change.artist}};
    if (change.trackId)
        object.insert("track", change.trackId);
    if (!change.path.isEmpty())
        object.insert("path", change.path);
    if (change.playlistId) {
        object.insert("playlist", change.playlist);
        object.insert("playlistId", change.playlistId);
        object.insert("entry", change.entryId);
        object.insert("position", change.position);
    } else {
        object.insert("key", change.key);
        object.insert("before", jsonValue(change.before));
        object.insert("after", jsonValue(change.after));
    }
    return object;
}

} // namespace

ExitCode runHistoryCommand(const QStringList &args, const QString &libraryPath, QTextStream &out, QTextStream &err)
{
    QStringList words;
    bool json = false;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out << historyHelp;
            return ExitCode::Success;
        }
        if (arg == QLatin1String("--json"))
            json = true;
        else if (arg.startsWith(QLatin1Char('-'))) {
            err << "quavertin-cli: unknown option " << printable(arg) << "\n\n" << historyHelp;
            return ExitCode::BadUsage;
        } else
            words << arg;
    }
    std::optional<qint64> shown;
    if (!words.isEmpty()) {
        bool ok = false;
        const qint64 number = words.value(1).toLongLong(&ok);
        if (words.first() != QLatin1String("show") || words.size() != 2 || !ok || number <= 0) {
            err << "quavertin-cli: history takes no arguments but \"show N\" with a run number\n\n" << historyHelp;
            return ExitCode::BadUsage;
        }
        shown = number;
    }

    const QString library = libraryPath.isEmpty() ? MusicLibrary::defaultPath() : libraryPath;
    try {
        const std::unique_ptr<HistoryStore> store = historyview::openExisting(library);
        if (!shown) {
            const QList<HistoryRun> runs = store ? store->runs() : QList<HistoryRun>();
            if (json) {
                QJsonArray list;
                for (const HistoryRun &run : runs)
                    list.append(runJson(run));
                printJson(out, QJsonDocument(list));
            } else if (runs.isEmpty()) {
                err << "The history holds no runs.\n";
            }
            for (const HistoryRun &run : json ? QList<HistoryRun>() : runs)
                out << run.number << '\t' << historyview::shownTime(run) << '\t' << printable(run.tool) << '\t'
                    << printable(run.source) << '\t' << run.count << '\n';
            return ExitCode::Success;
        }
        const std::optional<HistoryRun> run = store ? store->run(*shown) : std::nullopt;
        if (!run) {
            err << "quavertin-cli: the history holds no run " << *shown << '\n';
            return ExitCode::Failed;
        }
        const QList<HistoryChange> changes = store->changes(*shown);
        if (json) {
            QJsonObject object = runJson(*run);
            QJsonArray list;
            for (const HistoryChange &change : changes)
                list.append(changeJson(change));
            object.insert("changes", list);
            printJson(out, QJsonDocument(object));
            return ExitCode::Success;
        }
        out << "Run " << run->number << ", " << historyview::shownTime(*run) << ", " << printable(run->tool) << ", "
            << printable(run->source) << ": " << historyview::countedChanges(run->count) << '\n';
        int n = 0;
        for (const HistoryChange &change : changes) {
            QStringList fields = historyview::changeFields(change);
            for (QString &field : fields)
                field = printable(field);
            out << ++n << '\t' << fields.join(QLatin1Char('\t')) << '\n';
        }
        return ExitCode::Success;
    } catch (const std::exception &e) {
        err << "quavertin-cli: " << printable(QString::fromUtf8(e.what())) << '\n';
        return ExitCode::Failed;
    }
}

} // namespace cli
