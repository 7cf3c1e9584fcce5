// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarytoolfixture.h"

#include "tools/numerictagchanger.h"

#include <limits>

namespace {

class NumericTagChanger : public LibraryToolTest {
protected:
    NumericTagChanger()
    {
        nine_ = addTrack("nine", "Band", {{"trackNumber", 9}, {"year", 2001}});
        empty_ = addTrack("empty");
        other_ = addTrack("not selected", "Band", {{"trackNumber", 9}});
        library().setSelection({nine_, empty_});
        // The source chosen for the other tools does not matter.
        app_.setSelectedMethod(1);
    }
    void run(const QString &tag, int mode, const QVariant &number)
    {
        app_.setSelectedNumericTag(int(app_.integerTags().indexOf(tag)));
        app_.setSelectedNumeric(mode);
        app_.setNumericString(number);
        runAndWait([this] { app_.performNumeric(); });
    }
    QVariant value(qint64 id, const QString &tag) { return library().property({id, 0, 0}, tag); }

    qint64 nine_, empty_, other_;
};

} // namespace

TEST_F(NumericTagChanger, AddsSubtractsAndSetsTheSelectionDirectly)
{
    run("trackNumber", tools::NumericAdd, 1);
    EXPECT_EQ(value(nine_, "trackNumber").toInt(), 10);
    // An absent value counts as 0.
    EXPECT_EQ(value(empty_, "trackNumber").toInt(), 1);
    EXPECT_EQ(value(other_, "trackNumber").toInt(), 9);
    EXPECT_EQ(app_.currentProgressTitle(), "Applying changes…");
    EXPECT_EQ(app_.currentProgressDetail(), "2/2 - empty");
    EXPECT_EQ(port_->reviewsBegun, 0);
    EXPECT_TRUE(port_->alerts.isEmpty());

    run("year", tools::NumericSubtract, 5);
    EXPECT_EQ(value(nine_, "year").toInt(), 1996);
    // Results are not bounded below, but no music file holds a year before 0:
    // the run stops at that track, its file and row unchanged.
    EXPECT_FALSE(value(empty_, "year").isValid());
    EXPECT_EQ(port_->alertTitles(), QStringList{"Changes Not Completed"});
    port_->alerts.clear();

    run("year", tools::NumericSet, 0);
    EXPECT_EQ(value(nine_, "year"), QVariant(qlonglong(0)));
    EXPECT_EQ(value(empty_, "year"), QVariant(qlonglong(0)));
    EXPECT_TRUE(port_->alerts.isEmpty());
}

TEST_F(NumericTagChanger, AFractionAddsItsIntegerPart)
{
    run("trackNumber", tools::NumericAdd, 2.7);
    EXPECT_EQ(value(nine_, "trackNumber").toInt(), 11);
    run("trackNumber", tools::NumericSubtract, 2.7);
    EXPECT_EQ(value(nine_, "trackNumber").toInt(), 9);
    run("trackNumber", tools::NumericSubtract, -1.5);
    EXPECT_EQ(value(nine_, "trackNumber").toInt(), 10);
    // Setting hands the number over as entered; the library keeps whole numbers.
    EXPECT_EQ(tools::numericResult(tools::NumericSet, 9, 2.7), QVariant(2.7));
    run("trackNumber", tools::NumericSet, 2.7);
    EXPECT_EQ(value(nine_, "trackNumber").toInt(), 3);
}

TEST_F(NumericTagChanger, WithoutANumberNothingRuns)
{
    run("trackNumber", tools::NumericAdd, QVariant());
    EXPECT_EQ(port_->alertTitles(), QStringList{"Invalid Data"});
    EXPECT_EQ(port_->alerts[0].message, "You have to enter a number to use the Numeric Tag Changer.");
    EXPECT_EQ(port_->progressBegun, 0);
    EXPECT_EQ(value(nine_, "trackNumber").toInt(), 9);
}

TEST_F(NumericTagChanger, AnEmptySelectionRunsTheSheetWithoutChanges)
{
    library().setSelection({});
    run("trackNumber", tools::NumericAdd, 1);
    EXPECT_EQ(port_->progressBegun, 1);
    EXPECT_EQ(port_->progressEnded, 1);
    EXPECT_TRUE(port_->alerts.isEmpty());
    EXPECT_EQ(value(nine_, "trackNumber").toInt(), 9);
}

TEST_F(NumericTagChanger, ALibraryErrorEndsTheRunWithAnAlertInsteadOfPassingForSuccess)
{
    // No such tag: the library refuses the first read.
    app_.setSelectedNumericTag(99);
    app_.setSelectedNumeric(tools::NumericAdd);
    app_.setNumericString(1);
    runAndWait([this] { app_.performNumeric(); });
    EXPECT_EQ(port_->progressEnded, 1);
    EXPECT_EQ(port_->alertTitles(), QStringList{"Changes Not Completed"});
    EXPECT_TRUE(port_->alerts[0].message.contains("0 of 2")) << port_->alerts[0].message.toStdString();
    EXPECT_EQ(value(nine_, "trackNumber").toInt(), 9);
}

TEST(NumericResult, StaysWithinThirtyTwoBits)
{
    constexpr int max = std::numeric_limits<qint32>::max();
    constexpr int min = std::numeric_limits<qint32>::min();
    EXPECT_EQ(tools::numericResult(tools::NumericAdd, max, 1), QVariant(max));
    EXPECT_EQ(tools::numericResult(tools::NumericSubtract, min, 1), QVariant(min));
    EXPECT_EQ(tools::numericResult(tools::NumericSubtract, 5, min), QVariant(max));
    // A stored value beyond 32 bits counts as the bound.
    EXPECT_EQ(tools::numericResult(tools::NumericAdd, qlonglong(1) << 40, -1), QVariant(max - 1));
    EXPECT_EQ(tools::numericResult(tools::NumericAdd, QVariant(), 1e12), QVariant(max));
    // Any mode but set and add subtracts.
    EXPECT_EQ(tools::numericResult(7, 10, 3), QVariant(7));
}

TEST_F(NumericTagChanger, NumberingChangesNothing)
{
    app_.performNumbering();
    QCoreApplication::processEvents();
    EXPECT_TRUE(port_->alerts.isEmpty());
    EXPECT_EQ(port_->progressBegun, 0);
    EXPECT_EQ(value(nine_, "trackNumber").toInt(), 9);
}
