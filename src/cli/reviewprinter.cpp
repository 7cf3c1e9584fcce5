// SPDX-License-Identifier: GPL-3.0-or-later
#include "reviewprinter.h"

#include "operations/changesmodel.h"
#include "support/filepool.h"
#include "support/textutils.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringView>

#include <algorithm>

namespace cli {
namespace {

// Wide enough for most titles; longer values are cut so one long lyric does
// not push every other column off the screen.
constexpr int maxColumnWidth = 40;
// Rows made into text at a time by one thread.
constexpr int rowsPerBlock = 256;

// After the model's columns: the path of the track's file, cut from the left
// so that the file's own name stays.
constexpr int fileColumn = ChangesModel::ColumnCount;

QString pathCell(const ChangesModel &model, int row)
{
    return changefiles::pathOf(model.changeList()->records.at(row));
}

// How many characters a cell takes: its value with controls escaped, cut to maxColumnWidth.
int cellWidth(const ChangesModel &model, int row, int column)
{
    const qsizetype length = text::escapedControlsLength(
        column == fileColumn ? pathCell(model, row) : model.cellText(row, column), text::ControlStyle::Terminal);
    return int(std::min<qsizetype>(length, maxColumnWidth));
}

// Appends the cell to line and returns its width. Written straight into the
// line: a review of a million rows would otherwise make a text of every cell.
int appendCell(QString &line, const ChangesModel &model, int row, int column)
{
    const qsizetype start = line.size();
    text::appendEscapedControls(line, column == fileColumn ? pathCell(model, row) : model.cellText(row, column),
                                text::ControlStyle::Terminal);
    if (line.size() - start <= maxColumnWidth)
        return int(line.size() - start);
    if (column == fileColumn) {
        qsizetype keep = line.size() - (maxColumnWidth - 1);
        if (line.at(keep).isLowSurrogate())
            ++keep;
        line.remove(start, keep - start);
        line.insert(start, QChar(0x2026));
        return int(line.size() - start);
    }
    line.truncate(start + maxColumnWidth - 1);
    line += QChar(0x2026);
    return maxColumnWidth;
}

QString columnHeading(const ChangesModel &model, int column)
{
    return column == fileColumn ? QStringLiteral("File") : model.headerData(column, Qt::Horizontal).toString();
}

} // namespace

void printReview(QTextStream &out, const ChangesModel &model, const QString &summary)
{
    out << text::escapedControls(summary, text::ControlStyle::Terminal, true) << '\n';
    QList<int> columns = model.visibleColumns();
    columns.removeAll(ChangesModel::CheckColumn);
    columns << fileColumn;
    const int rows = model.rowCount();
    // Rows are made into text a block at a time, several blocks at once, and
    // printed in their order.
    const int blocks = (rows + rowsPerBlock - 1) / rowsPerBlock;
    const auto rowsOf = [rows](int block) {
        return std::pair{block * rowsPerBlock, std::min(rows, (block + 1) * rowsPerBlock)};
    };

    // The cells are made twice, once for the widths and once to print them:
    // a review of a million rows held as text would take hundreds of megabytes.
    QList<int> widths;
    for (int column : columns)
        widths << int(columnHeading(model, column).size());
    filepool::ordered<QList<int>>(
        blocks,
        [&](int block) {
            QList<int> blockWidths(columns.size(), 0);
            const auto [first, end] = rowsOf(block);
            // A column as wide as a cell can be needs no more of its cells looked at.
            for (int i = 0; i < columns.size(); ++i) {
                for (int row = first; row < end && blockWidths.at(i) < maxColumnWidth; ++row)
                    blockWidths[i] = std::max(blockWidths.at(i), cellWidth(model, row, columns.at(i)));
            }
            return blockWidths;
        },
        [&](int, QList<int> &&blockWidths) {
            for (int i = 0; i < columns.size(); ++i)
                widths[i] = std::max(widths.at(i), blockWidths.at(i));
        });
    const int numberWidth = static_cast<int>(QString::number(rows).size());

    // Columns are padded to their width except the last, so no line ends in blanks.
    int widest = 0;
    for (int width : widths)
        widest = std::max(widest, width);
    widest = std::max(widest, numberWidth);
    const QString blanks(widest, u' ');
    const auto pad = [&](QString &line, int width, int wanted) {
        if (width < wanted)
            line += QStringView(blanks).left(wanted - width);
    };
    // Between columns, and after the last one only as far as its cell reaches.
    const auto padCell = [&](QString &line, int i, int width) {
        if (i + 1 < columns.size())
            pad(line, width, widths.at(i));
    };
    int lineWidth = numberWidth + 5;
    for (int width : widths)
        lineWidth += width + 2;
    QString heading(numberWidth + 4, QLatin1Char(' '));
    for (int i = 0; i < columns.size(); ++i) {
        const QString title = columnHeading(model, columns.at(i));
        heading += QLatin1String("  ") + title;
        padCell(heading, i, int(title.size()));
    }
    out << heading << '\n';
    const QString indent(numberWidth + 6, QLatin1Char(' '));
    filepool::ordered<QString>(
        blocks,
        [&](int block) {
            QString text;
            const auto [first, end] = rowsOf(block);
            text.reserve(qsizetype(end - first) * lineWidth);
            for (int row = first; row < end; ++row) {
                const bool checked = model.changeList()->records.at(row).enabled;
                const QString number = QString::number(row + 1);
                pad(text, int(number.size()), numberWidth);
                text += number;
                text += checked ? QLatin1String(" [x]") : QLatin1String(" [ ]");
                for (int i = 0; i < columns.size(); ++i) {
                    text += QLatin1String("  ");
                    padCell(text, i, appendCell(text, model, row, columns.at(i)));
                }
                text += u'\n';
                if (const int earlier = model.sameFileAs(row); earlier >= 0)
                    text += indent + ChangesModel::sameFileNote(earlier) + QLatin1String(": written once\n");
                if (const QString &note = model.changeList()->records.at(row).note; !note.isEmpty())
                    text += indent + text::escapedControls(note, text::ControlStyle::Terminal, true) + u'\n';
                if (const QString &refusal = model.changeList()->records.at(row).refusal; !refusal.isEmpty())
                    text += indent +
                            text::escapedControls(ChangesModel::refusalNote(refusal), text::ControlStyle::Terminal, true) +
                            u'\n';
            }
            return text;
        },
        [&](int, QString &&text) { out << text; });
}

void printJson(QTextStream &out, const QJsonDocument &document)
{
    // JSON text holds control characters only escaped, and line feeds only
    // between values, so escaping the rest keeps every string as it was.
    out << text::escapedControls(QString::fromUtf8(document.toJson(QJsonDocument::Indented)), text::ControlStyle::Json,
                                 true);
}

QJsonObject reviewJson(const ChangesModel &model, const QString &summary)
{
    const auto list = model.changeList();
    QJsonObject review;
    review[QStringLiteral("summary")] = summary;
    review[QStringLiteral("playlist")] = list && list->playlist;
    if (list && list->playlist) {
        review[QStringLiteral("remove")] = list->remove != 0;
        review[QStringLiteral("trash")] = list->trash;
    }
    QJsonArray records;
    if (list) {
        int number = 0;
        for (const ChangeRecord &r : list->records) {
            QJsonObject record;
            record[QStringLiteral("number")] = ++number;
            record[QStringLiteral("enabled")] = r.enabled;
            record[QStringLiteral("title")] = r.title;
            record[QStringLiteral("artist")] = r.artist;
            if (!list->playlist) {
                record[QStringLiteral("tagToChange")] = r.tagToChange;
                record[QStringLiteral("oldTag")] = r.oldTag;
                record[QStringLiteral("newTag")] = r.newTag;
            }
            if (!r.note.isEmpty())
                record[QStringLiteral("note")] = r.note;
            if (!r.refusal.isEmpty())
                record[QStringLiteral("refusal")] = r.refusal;
            if (const int earlier = model.sameFileAs(number - 1); earlier >= 0)
                record[QStringLiteral("sameFileAs")] = earlier + 1;
            const QString where = r.track.isLibraryTrack() ? QString() : r.track.path();
            if (!where.isEmpty())
                record[QStringLiteral("path")] = where;
            else if (r.track.track())
                record[QStringLiteral("trackId")] = r.track.track()->trackId;
            records.append(record);
        }
    }
    review[QStringLiteral("records")] = records;
    return review;
}

} // namespace cli
