// SPDX-License-Identifier: GPL-3.0-or-later
// bench-reviewmodel [N]: the review over a change list of N records (100,000
// by default): handing it to the table model, reading every cell as a view
// scrolling through it would, checking and unchecking all rows, the summary
// line, and printing it as the command line does. Each step as a ratio to the
// floor: one pass that copies every record's texts.
#include "cli/reviewprinter.h"
#include "operations/changesmodel.h"
#include "operations/reviewsummary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace {

std::shared_ptr<ChangeList> makeList(int n)
{
    auto list = std::make_shared<ChangeList>();
    list->records.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QString title = QStringLiteral("Song number %1 of the collection").arg(i);
        list->records << ChangeRecord{MusicTrack::withPath(QStringLiteral("/music/%1.mp3").arg(i)), "name", title,
                                      title.toUpper(), title, QStringLiteral("Artist %1").arg(i % 977), true};
    }
    return list;
}

template <typename F>
qint64 timed(F &&step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return timer.nsecsElapsed() / 1000;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTextStream out(stdout);
    const auto list = makeList(n);

    QStringList copied;
    const qint64 floor = timed([&] {
        copied.reserve(n * 4);
        for (const ChangeRecord &r : list->records)
            copied << r.title << r.artist << r.oldTag << r.newTag;
    });

    ChangesModel model;
    qint64 sink = 0;
    const qint64 handOver = timed([&] { model.setChangeList(list); });
    const qint64 cells = timed([&] {
        for (int row = 0; row < model.rowCount(); ++row) {
            sink += model.data(model.index(row, ChangesModel::CheckColumn), Qt::CheckStateRole).toInt();
            for (int column = ChangesModel::TitleColumn; column < ChangesModel::ColumnCount; ++column)
                sink += model.data(model.index(row, column)).toString().size();
        }
    });
    QList<int> all(n);
    for (int i = 0; i < n; ++i)
        all[i] = i;
    const qint64 toggle = timed([&] {
        model.setEnabled(all, false);
        model.setEnabled(all, true);
        sink += model.enabledCount();
    });
    QString summary;
    const qint64 summaryTime = timed([&] { summary = review::summary(*list, {}); });
    QFile devNull("/dev/null");
    devNull.open(QIODevice::WriteOnly);
    QTextStream nowhere(&devNull);
    const qint64 printed = timed([&] {
        cli::printReview(nowhere, model, summary);
        nowhere.flush();
    });

    auto ratio = [floor](qint64 us) { return QString::number(double(us) / double(std::max<qint64>(floor, 1)), 'f', 2); };
    out << "records: " << n << "\n"
        << "floor (copy every record's texts): " << floor << " us\n"
        << "hand-over to the model: " << handOver << " us (" << ratio(handOver) << "x floor)\n"
        << "read every cell: " << cells << " us (" << ratio(cells) << "x floor)\n"
        << "uncheck and check all rows: " << toggle << " us (" << ratio(toggle) << "x floor)\n"
        << "summary line: " << summaryTime << " us\n"
        << "print the review: " << printed << " us (" << ratio(printed) << "x floor)\n";
    return sink == 42 ? 1 : 0;
}
