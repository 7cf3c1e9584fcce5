// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/musiclibrary.h"
#include "operations/changesmodel.h"
#include "reviewsheet.h"
#include "reviewtablemodel.h"
#include "reviewvaluedelegate.h"
#include "windowfixture.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

class ReviewClarityTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        launch();
    }

    QList<bool> enabled() const
    {
        QList<bool> flags;
        for (const ChangeRecord &record : app.changes()->records)
            flags << record.enabled;
        return flags;
    }
};

TEST(ReviewTableModel, TheChangedSpanIsTheDifferingMiddleAndNeverSplitsACharacter)
{
    using Spans = ReviewTableModel::Spans;
    const auto spans = [](const QString &a, const QString &b) {
        const Spans s = ReviewTableModel::changedSpans(a, b);
        return QList<qsizetype>{s.start, s.oldLength, s.newLength};
    };
    EXPECT_EQ(spans("the long road", "The Long Road"), QList<qsizetype>({0, 10, 10}));
    EXPECT_EQ(spans("Live (2001)", "Live"), QList<qsizetype>({4, 7, 0}));
    EXPECT_EQ(spans("Abba", "Abba - Gold"), QList<qsizetype>({4, 0, 7}));
    // A repeated letter is not counted twice: "aa" → "aaa" changes one letter.
    EXPECT_EQ(spans("aa", "aaa"), QList<qsizetype>({2, 0, 1}));
    EXPECT_EQ(spans("same", "same"), QList<qsizetype>({4, 0, 0}));
    // 𝄞 and 𝄢 share their first code unit: the whole character is marked.
    EXPECT_EQ(spans(QString::fromUtf8("a𝄞b"), QString::fromUtf8("a𝄢b")), QList<qsizetype>({1, 2, 2}));
}

TEST_F(ReviewClarityTest, ValuesAreMarkedCheckedRowsCountedSpaceTogglesAndColumnsSort)
{
    const QString song = folder.addSeed("seed.mp3", "album/01 song.mp3");
    auto library = app.library();
    const qint64 gone = library->importFile({folder.filePath("album/gone.mp3"), {{"name", "Gone"}}});
    const QString longValue = QString("a very long title ").repeated(20) + "end";
    auto list = std::make_shared<ChangeList>();
    const MusicTrack file = MusicTrack::withPath(song);
    list->records.append({file, "name", "the long road", "The Long Road", "the long road", "Seed Artist", true});
    list->records.append({file, "album", "Abba", "Abba - Gold", "Zulu", "Seed Artist", true});
    list->records.append({MusicTrack::withTrack(library, {gone, 0, 0}), "name", "Gone", longValue, "Gone", "", true});
    app.setChanges(list);
    app.beginChanges();
    ReviewSheet *sheet = window->reviewSheet();
    ASSERT_TRUE(sheet->isVisible());
    QTableView *table = sheet->table();
    QAbstractItemModel *model = table->model();

    // The file column: a file's path, a library track's location, where its file was for a dead one.
    EXPECT_EQ(model->headerData(ReviewTableModel::FileColumn, Qt::Horizontal).toString(), "File");
    EXPECT_EQ(model->index(0, ReviewTableModel::FileColumn).data().toString(), song);
    EXPECT_EQ(model->index(2, ReviewTableModel::FileColumn).data().toString(), folder.filePath("album/gone.mp3"));
    // A long value shows whole in its tooltip.
    EXPECT_EQ(model->index(2, ChangesModel::NewColumn).data(Qt::ToolTipRole).toString(), longValue);

    // The added part of the new value is marked, and drawn on its mark.
    EXPECT_EQ(model->index(1, ChangesModel::NewColumn).data(ReviewTableModel::ChangedSpanRole).toPoint(), QPoint(4, 7));
    EXPECT_EQ(model->index(1, ChangesModel::OldColumn).data(ReviewTableModel::ChangedSpanRole).toPoint(), QPoint(4, 0));
    table->clearSelection();
    const QImage picture = table->viewport()->grab().toImage();
    const auto marked = [&](int row, int column, bool newValue) {
        const QRect cell = table->visualRect(model->index(row, column)) & picture.rect();
        int pixels = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                pixels += QColor(picture.pixel(x, y)) == ReviewValueDelegate::markColor(newValue) ? 1 : 0;
        return pixels;
    };
    EXPECT_GT(marked(1, ChangesModel::NewColumn, true), 20);
    EXPECT_EQ(marked(1, ChangesModel::OldColumn, false), 0) << "nothing of 'Abba' goes";
    EXPECT_GT(marked(0, ChangesModel::OldColumn, false), 20);

    // The count follows every toggle: buttons, the box, and Space over the selected rows.
    EXPECT_EQ(sheet->checkedCount()->text(), "3 of 3 checked");
    table->selectRow(0);
    table->selectionModel()->select(model->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(enabled(), QList<bool>({false, true, false})) << "the current row leads: it was checked";
    EXPECT_EQ(sheet->checkedCount()->text(), "1 of 3 checked");
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(enabled(), QList<bool>({true, true, true}));
    table->setCurrentIndex(model->index(1, 0));
    table->selectionModel()->select(model->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(enabled(), QList<bool>({false, false, true}));
    EXPECT_EQ(sheet->checkedCount()->text(), "1 of 3 checked");
    model->setData(model->index(1, ChangesModel::CheckColumn), Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(sheet->checkedCount()->text(), "2 of 3 checked");

    // Sorted by title, the rows move, and a toggle still lands on its own record.
    table->sortByColumn(ChangesModel::TitleColumn, Qt::DescendingOrder);
    EXPECT_EQ(model->index(0, ChangesModel::TitleColumn).data().toString(), "Zulu");
    EXPECT_EQ(model->index(1, ChangesModel::TitleColumn).data().toString(), "the long road");
    table->clearSelection();
    table->selectRow(2); // "Gone"
    sheet->uncheckButton()->click();
    EXPECT_EQ(enabled(), QList<bool>({false, true, false}));
    table->sortByColumn(ChangesModel::CheckColumn, Qt::DescendingOrder);
    EXPECT_EQ(model->index(0, ChangesModel::TitleColumn).data().toString(), "Zulu") << "the checked one first";
    EXPECT_EQ(sheet->checkedCount()->text(), "1 of 3 checked");
    sheet->cancelButton()->click();
}
