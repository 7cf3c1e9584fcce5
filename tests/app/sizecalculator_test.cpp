// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sizecalculator.h"

#include <gtest/gtest.h>

using namespace tools;

namespace {
QString report(int target, std::initializer_list<std::pair<float, qint32>> tracks)
{
    SizeEstimate e;
    e.target = target;
    for (auto [duration, bitrate] : tracks)
        e.add(duration, bitrate);
    return sizeReport(e);
}

QString expected(const char *current, const char *average, const char *down, const char *averageDown, int target,
                 const char *all)
{
    return QString("These files are currently occupying approximately %1 MB with an average bitrate of %2 kbps.\n\n"
                   "These files would occupy approximately %3 MB (on an average bitrate of %4 kbps) when "
                   "converting higher bitrate files down to %5 kbps (option in iTunes).\n\n"
                   "These files would occupy approximately %6 MB when converting them all to %5 kbps (even if "
                   "they are currently smaller).")
        .arg(current, average, down, averageDown, QString::number(target), all);
}
} // namespace

TEST(SizeCalculator, TargetBitrates)
{
    EXPECT_EQ(targetBitrate(0), 128);
    EXPECT_EQ(targetBitrate(1), 192);
    EXPECT_EQ(targetBitrate(2), 256);
}

TEST(SizeCalculator, HigherBitrateIsConvertedDown)
{
    EXPECT_EQ(report(128, {{100.0f, 320}}), expected("3.91", "320.0", "1.56", "128.0", 128, "1.56"));
}

TEST(SizeCalculator, LowerBitrateIsNeverRaised)
{
    EXPECT_EQ(report(192, {{100.0f, 96}}), expected("1.17", "96.0", "1.17", "96.0", 192, "2.34"));
}

TEST(SizeCalculator, TruncationIsPerTrack)
{
    SizeEstimate e;
    e.add(7.9f, 1);
    e.add(7.9f, 1);
    EXPECT_EQ(e.currentSize, 0.0);
    EXPECT_EQ(e.bitrateSum, 2.0);
    EXPECT_EQ(report(128, {{7.9f, 1}, {7.9f, 1}}), expected("0.00", "1.0", "0.00", "1.0", 128, "0.25"));
}

TEST(SizeCalculator, EmptyListAndMissingValues)
{
    // No tracks: averages of 0.0, never "nan".
    EXPECT_EQ(report(256, {}), expected("0.00", "0.0", "0.00", "0.0", 256, "0.00"));
    // A track without bitrate or duration adds nothing but lowers the averages.
    EXPECT_EQ(report(128, {{100.0f, 320}, {0.0f, 0}}), expected("3.91", "160.0", "1.56", "64.0", 128, "1.56"));
}

// ---- Sizing a track source ---------------------------------------------

#include "filetoolrun.h"

namespace {

class Size : public ::testing::Test, public FileToolRun {
protected:
    qint64 addLibraryTrack(qint64 bitrate, double duration)
    {
        return library().importFile(
            {files.filePath(QString("lib/%1.mp3").arg(++tracks_)),
             {{"name", QString("T%1").arg(tracks_)}, {"bitRate", bitrate}, {"duration", duration}}});
    }

    void calculate(const QString &playlist, const QList<qint64> &ids, int selectedBitrate)
    {
        library().addToPlaylist(library().createPlaylist(playlist), ids);
        app.refreshPlaylists();
        app.setSelectedMethod(0);
        app.setSelectedPlaylist(int(app.playlists().indexOf(playlist)));
        app.setSelectedBitrate(selectedBitrate);
        run([&] { app.performCalculate(); });
    }

private:
    int tracks_ = 0;
};

} // namespace

TEST_F(Size, ReportsTheEstimateOfThePlaylist)
{
    calculate("Loud", {addLibraryTrack(320, 100.0)}, 0);
    ASSERT_EQ(port->alerts.size(), 1);
    EXPECT_EQ(port->alerts[0].title, "Playlist/Folder size");
    EXPECT_EQ(port->alerts[0].buttons, QStringList{"OK"});
    EXPECT_EQ(port->alerts[0].message, expected("3.91", "320.0", "1.56", "128.0", 128, "1.56"));
    EXPECT_EQ(app.currentProgressTitle(), "Calculating results…");
}

TEST_F(Size, EmptyPlaylistShowsZeroAverages)
{
    calculate("Empty", {}, 2);
    ASSERT_EQ(port->alerts.size(), 1);
    EXPECT_EQ(port->alerts[0].message, expected("0.00", "0.0", "0.00", "0.0", 256, "0.00"));
}

TEST_F(Size, NoResultWhenTheSourceHasNoList)
{
    files.addFile("text/notes.txt", "hello");
    app.setFolderPath(files.filePath("text"));
    app.setSelectedMethod(1);
    run([&] { app.performCalculate(); });
    EXPECT_EQ(port->alertTitles(), QStringList{"No Files"});
    EXPECT_EQ(port->progressEnded, 1);
}
