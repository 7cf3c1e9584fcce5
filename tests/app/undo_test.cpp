// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarytoolfixture.h"

#include "operations/changesmodel.h"

namespace {

class UndoTool : public LibraryToolTest {
protected:
    QVariant played(qint64 id) { return library().property({id}, QStringLiteral("playedCount")); }
};

} // namespace

// A record shown unchecked because its value moved is refused by the apply
// even when the person checks it: the value is never written blindly.
TEST_F(UndoTool, AValueChangedSinceTheRunIsNeverWrittenEvenWhenChecked)
{
    const qint64 first = addTrack("first");
    const qint64 second = addTrack("second");
    library().setSelection({first, second});
    app_.setSelectedNumericTag(int(app_.integerTags().indexOf("playedCount")));
    app_.setSelectedNumeric(choices::NumericAdd);
    app_.setNumericString(3);
    runAndWait([this] { app_.performNumeric(); });
    ASSERT_EQ(played(first).toInt(), 3);
    library().setProperty({first}, QStringLiteral("playedCount"), 40);

    runAndWait([this] { app_.performUndo(); });
    ASSERT_TRUE(app_.changes());
    const QList<ChangeRecord> &records = app_.changes()->records;
    ASSERT_EQ(records.size(), 2);
    // The last change first.
    EXPECT_EQ(records[0].track.track()->trackId, second);
    EXPECT_TRUE(records[0].enabled);
    EXPECT_EQ(records[1].track.track()->trackId, first);
    EXPECT_FALSE(records[1].enabled);
    EXPECT_EQ(records[1].note, QStringLiteral("changed since the run: now “40”"));
    EXPECT_EQ(app_.changesModel()->enabledCount(), 1);

    app_.checkSelected({1}, 1);
    ASSERT_EQ(app_.changesModel()->enabledCount(), 2);
    apply();
    EXPECT_EQ(app_.lastApply().outcome, ApplyResult::Aborted);
    EXPECT_EQ(played(first).toInt(), 40);
    EXPECT_EQ(played(second).toInt(), 0);
    // What was written is recorded as the undo; the refused record is not.
    runAndWait([this] { app_.performUndo(); });
    EXPECT_EQ(port_->alertTitles().last(), "Nothing to Undo");
}
