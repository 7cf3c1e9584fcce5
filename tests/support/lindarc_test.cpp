// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/lindarc.h"
#include "support/urlopener.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

BundleInfo tagger()
{
    BundleInfo b;
    b.name = "Tagger";
    b.identifier = "org.example.Tagger";
    b.shortVersionString = "2.5";
    b.version = "17b";
    b.feedbackEmail = "help@example.org";
    return b;
}

class LindarcTest : public ::testing::Test {
protected:
    // Records what the support object opens.
    UrlOpener recorder()
    {
        return [this](const QUrl &url) { opened_.append(url); };
    }

    void addCrashReport(const QString &name)
    {
        QDir().mkpath(home_.stateHome() + "/Quavertin/crash-reports");
        QFile f(home_.stateHome() + "/Quavertin/crash-reports/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    ScopedUserLocations home_;
    QList<QUrl> opened_;
};

QString supportBody(const QString &problems)
{
    return "Insert Support Request Here\n\n\n\nP.S: Hardware: " + machineModel() + " Software: " +
           QSysInfo::prettyProductName() + problems + "\n";
}

} // namespace

TEST_F(LindarcTest, BundleValuesAndTheBuildNumber)
{
    Lindarc built;
    EXPECT_EQ(built.appName(), "Quavertin");
    EXPECT_FALSE(built.appVersionString().isEmpty());
    EXPECT_GT(built.appBuild(), 0);

    BundleInfo b = tagger();
    for (auto [version, build] : {std::pair{"1.2.3", 1}, {"17b", 17}, {"b17", 0}, {"", 0}}) {
        b.version = version;
        EXPECT_EQ(Lindarc(b).appBuild(), build) << version;
    }
}

TEST_F(LindarcTest, ConstructionMakesTheSupportFolder)
{
    {
        Lindarc lindarc(tagger());
        EXPECT_EQ(lindarc.suppPath(), home_.dataHome() + "/Tagger");
        EXPECT_EQ(lindarc.suppURL(), QUrl::fromLocalFile(home_.dataHome() + "/Tagger"));
        EXPECT_TRUE(QFileInfo(lindarc.suppPath()).isDir());
        EXPECT_TRUE(lindarc.prefsPath().startsWith(home_.settingsHome())) << lindarc.prefsPath().toStdString();
        EXPECT_EQ(lindarc.prefsURL(), QUrl::fromLocalFile(lindarc.prefsPath()));
    }

    BundleInfo nameless = tagger();
    nameless.name.clear();
    EXPECT_TRUE(Lindarc(nameless).suppURL().isEmpty());
}

TEST_F(LindarcTest, ASupportFolderThatCannotBeMadeIsNoFailure)
{
    TestFolder blocker;
    const QString file = blocker.addFile("not-a-folder", "x");
    qputenv("XDG_DATA_HOME", file.toLocal8Bit());
    Lindarc lindarc(tagger());
    EXPECT_FALSE(QFileInfo(lindarc.suppPath()).isDir());
}

TEST_F(LindarcTest, CrashReportsMatchTheNameIgnoringCaseAndDiacritics)
{
    BundleInfo b = tagger();
    b.name = "Québec Tunes";
    Lindarc lindarc(b);
    EXPECT_FALSE(lindarc.appCrashLogs().has_value());
    EXPECT_EQ(lindarc.crashReportsPath(), home_.stateHome() + "/Quavertin/crash-reports");

    addCrashReport("quebec tunes_2026-01-01.crash");
    addCrashReport("QUÉBEC TUNES.ips");
    addCrashReport("Quebecois.crash");
    addCrashReport("Other Québec Tunes.crash");
    const auto logs = lindarc.appCrashLogs();
    ASSERT_TRUE(logs.has_value());
    QStringList sorted = *logs;
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{"QUÉBEC TUNES.ips", "quebec tunes_2026-01-01.crash"}));
}

TEST_F(LindarcTest, SupportMailCharacterForCharacter)
{
    Lindarc lindarc(tagger());
    const QString url = lindarc.urlTextFor(OpenChoice::openSupportMail);
    const QString head = "mailto:help@example.org?subject=Tagger%20v2.5%20(17)%20Support%20Request"
                         "&body=Insert%20Support%20Request%20Here%0A%0A%0A%0AP.S:%20Hardware:%20";
    EXPECT_TRUE(url.startsWith(head)) << url.toStdString();
    EXPECT_TRUE(url.endsWith("%0A")) << url.toStdString();
    EXPECT_EQ(QUrl::fromPercentEncoding(url.toUtf8()),
              "mailto:help@example.org?subject=Tagger v2.5 (17) Support Request&body=" + supportBody(""));

    // With crash reports the count follows the system's name.
    addCrashReport("Tagger-1.crash");
    addCrashReport("tagger-2.crash");
    addCrashReport("unrelated.crash");
    EXPECT_EQ(QUrl::fromPercentEncoding(lindarc.urlTextFor(OpenChoice::openSupportMail).toUtf8()),
              "mailto:help@example.org?subject=Tagger v2.5 (17) Support Request&body=" + supportBody(" Problems: 2"));
}

TEST_F(LindarcTest, SupportMailFallsBackToTheMakersAddress)
{
    BundleInfo b = tagger();
    b.feedbackEmail.clear();
    EXPECT_TRUE(Lindarc(b).urlTextFor(OpenChoice::openSupportMail).startsWith("mailto:support@quavertin.org?subject="));
}

TEST_F(LindarcTest, BetaMailCharacterForCharacter)
{
    Lindarc lindarc(tagger());
    EXPECT_EQ(lindarc.urlTextFor(OpenChoice::openBetaMail),
              "mailto:help@example.org?subject=Tagger%20Beta%20Versions&body=Hello%0AI%20would%20like%20to%20test%20"
              "upcoming%20beta%20versions%20of%20Tagger.%0ABye%0A");
}

TEST_F(LindarcTest, ValuesCannotBreakTheMailApart)
{
    BundleInfo b = tagger();
    b.name = "Rock & Roll=Tagger?";
    const QUrl url(Lindarc(b).urlTextFor(OpenChoice::openBetaMail), QUrl::StrictMode);
    ASSERT_TRUE(url.isValid());
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), "Rock & Roll=Tagger? Beta Versions");
    EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded),
              "Hello\nI would like to test upcoming beta versions of Rock & Roll=Tagger?.\nBye\n");
}

TEST_F(LindarcTest, ProductPages)
{
    BundleInfo b = tagger();
    b.vendorProductPage = "https://example.org/tagger page";
    b.storeProductPage = "https://apps.example.com/app/id1?mt=12&ref=https";
    b.macupdateProductPage = "https://updates.example.net/tagger";
    Lindarc lindarc(b);
    EXPECT_EQ(lindarc.urlTextFor(OpenChoice::openVendorPage), "https://example.org/tagger%20page");
    EXPECT_EQ(lindarc.urlTextFor(OpenChoice::openStorePage), "https://apps.example.com/app/id1?mt=12&ref=https");
    EXPECT_EQ(lindarc.urlTextFor(OpenChoice::openStoreApp),
              "macappstore://apps.example.com/app/id1?mt=12&ref=macappstore");
    EXPECT_EQ(lindarc.urlTextFor(OpenChoice::openMacupdatePage), "https://updates.example.net/tagger");

    b.storeProductPage = "http://plain.example.com/";
    EXPECT_EQ(Lindarc(b).urlTextFor(OpenChoice::openStoreApp), "http://plain.example.com/");
}

TEST_F(LindarcTest, VendorPageGuessedFromTheFirstWordOfTheName)
{
    BundleInfo b = tagger();
    b.name = "Quavertin-Demo Deluxe Edition";
    EXPECT_EQ(Lindarc(b).urlTextFor(OpenChoice::openVendorPage), "https://quavertin.org/quavertin/");
    b.name = "Tagger";
    EXPECT_EQ(Lindarc(b).urlTextFor(OpenChoice::openVendorPage), "https://quavertin.org/tagger/");
}

TEST_F(LindarcTest, OpeningGoesThroughTheOpenerItWasGiven)
{
    Lindarc lindarc(tagger(), recorder());
    lindarc.openURL(OpenChoice::openBetaMail);
    lindarc.openURL(OpenChoice::openSupportMail);
    ASSERT_EQ(opened_.size(), 2);
    EXPECT_EQ(opened_[0].toString(QUrl::FullyEncoded), lindarc.urlTextFor(OpenChoice::openBetaMail));
    EXPECT_EQ(opened_[1].toString(QUrl::FullyEncoded), lindarc.urlTextFor(OpenChoice::openSupportMail));
    EXPECT_EQ(opened_[0].scheme(), "mailto");
}

TEST_F(LindarcTest, UnknownChoicesAndMissingPagesOpenNothing)
{
    Lindarc lindarc(tagger(), recorder()); // names no store or update page
    for (int choice : {0, 7, 255})
        EXPECT_TRUE(lindarc.urlTextFor(OpenChoice(choice)).isEmpty()) << choice;
    for (int choice : {0, 4, 5, 6, 7, 255})
        lindarc.openURL(OpenChoice(choice));
    EXPECT_TRUE(opened_.isEmpty());
}
