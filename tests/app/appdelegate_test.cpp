// SPDX-License-Identifier: GPL-3.0-or-later
#include "roadfixture.h"

#include "library/musiclibrary.h"
#include "support/lindarc.h"
#include "support/urlopener.h"
#include "testfiles.h"

#include <QMetaProperty>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// The options whose documented default is not the plain zero, no or nothing.
const QVariantMap nonZeroDefaults = {
    {"filenameString", QStringLiteral("#n - #t")},
    {"selectedCondition", 2},
    {"caseInsensitive", true},
};

const QStringList options = {
    "selectedMethod", "selectedPlaylist", "folderPath", "recursiveScan", "selectedPlaylistActionPlaylist",
    "selectedPlaylistAction", "selectedCondition", "conditionString", "moveTrash", "selectedTag", "searchString",
    "replaceString", "caseInsensitive", "useRegular", "selectedTargetTag", "selectedPortion", "selectedOption",
    "selectedAction", "portionString", "delimiterString", "selectedCapitalizationMethod", "selectedNumeric",
    "selectedNumericTag", "numericString", "selectedNumberSorting", "selectedNumberChange", "selectedEncodingFrom",
    "selectedEncodingTo", "filenameString", "selectedTrailingZeroes", "renameChangeExtension",
    "renameExtensionVisible", "renameRecursiveScan", "renameSkipMissing", "selectedBitrate"};

QMetaProperty propertyNamed(const QObject &object, const QString &name)
{
    const QMetaObject *meta = object.metaObject();
    return meta->property(meta->indexOfProperty(name.toLatin1().constData()));
}

} // namespace

TEST(StartUp, EveryOptionHasItsDocumentedDefault)
{
    Road road;
    road.app.applicationDidFinishLaunching();
    for (const QString &name : options) {
        const QMetaProperty property = propertyNamed(road.app, name);
        ASSERT_TRUE(property.isValid()) << name.toStdString();
        const QVariant value = property.read(&road.app);
        if (nonZeroDefaults.contains(name)) {
            EXPECT_EQ(value, nonZeroDefaults[name]) << name.toStdString();
        } else if (name == "numericString") {
            EXPECT_FALSE(value.isValid());
        } else if (value.typeId() == QMetaType::QString) {
            EXPECT_TRUE(value.toString().isNull()) << name.toStdString();
        } else {
            EXPECT_EQ(value.toInt(), 0) << name.toStdString();
        }
    }
    EXPECT_EQ(propertyNamed(road.app, "selectedMethod").typeId(), QMetaType::Int);
    EXPECT_EQ(propertyNamed(road.app, "moveTrash").typeId(), QMetaType::Bool);
    EXPECT_EQ(propertyNamed(road.app, "numericString").typeId(), QMetaType::QVariant);
}

TEST(StartUp, FillsTagListsPlaylistsAboutTextsAndThePane)
{
    Road road;
    road.playlistOf("Mix", 1);
    road.other().createSmartPlaylist("Loud", SmartRule{"artist", 0, "Band", true});
    road.other().createPlaylist("Mix"); // a namesake
    int paneSignals = 0;
    QObject::connect(&road.app, &AppDelegate::currentPaneChanged, [&] { ++paneSignals; });
    road.app.applicationDidFinishLaunching();

    EXPECT_NE(road.app.lindarc(), nullptr);
    EXPECT_EQ(road.app.tags().size(), 8);
    EXPECT_EQ(road.app.integerTags().size(), 10);
    EXPECT_EQ(road.app.allTags().size(), 19);
    EXPECT_EQ(road.app.allReadableTags().size(), 19);
    EXPECT_EQ(road.app.playlists(), (QStringList{"Mix", "Loud", "Mix"}));
    EXPECT_EQ(road.app.editablePlaylists(), (QStringList{"Mix", "Mix"}));
    EXPECT_EQ(road.app.version(), "Version: " + road.app.lindarc()->appVersionString());
    EXPECT_EQ(road.app.build(), QStringLiteral("Build: %1").arg(road.app.lindarc()->appBuild()));
    EXPECT_EQ(road.app.aboutURL(), "Credits.html");
    EXPECT_EQ(road.app.readmeURL(), "Read Me.html");
    EXPECT_EQ(road.app.currentPane(), 0);
    EXPECT_EQ(paneSignals, 1);
    EXPECT_TRUE(road.app.metadataSearches().isEmpty());
    EXPECT_TRUE(road.port->alerts.isEmpty());
}

TEST(StartUp, UnreadableLibraryLeavesEmptyMenusWithoutFailing)
{
    Road road;
    TestFolder other;
    const QString foreign = other.addFile("not-a-library.sqlite", QByteArray(4096, 'x'));
    road.app.setLibraryPath(foreign);
    road.app.applicationDidFinishLaunching();
    EXPECT_TRUE(road.app.playlists().isEmpty());
    EXPECT_EQ(road.app.filenameString(), "#n - #t");
    EXPECT_EQ(TestFolder::readAll(foreign), QByteArray(4096, 'x'));
}

// Counts the emissions of any signal it is connected to by meta-method.
class SignalCounter : public QObject {
    Q_OBJECT
public:
    int count = 0;
public slots:
    void hit() { ++count; }
};

TEST(Options, EveryOptionAnnouncesItsChangesToBindings)
{
    ScopedFakePort port;
    AppDelegate app{*port};
    for (const QString &name : options) {
        const QMetaProperty property = propertyNamed(app, name);
        ASSERT_TRUE(property.hasNotifySignal()) << name.toStdString();
        ASSERT_TRUE(property.isWritable()) << name.toStdString();
        SignalCounter counter;
        QObject::connect(&app, property.notifySignal(), &counter,
                         counter.metaObject()->method(counter.metaObject()->indexOfSlot("hit()")));
        const QVariant changed = property.typeId() == QMetaType::Bool      ? QVariant(true)
                                 : property.typeId() == QMetaType::Int     ? QVariant(7)
                                 : property.typeId() == QMetaType::QString ? QVariant(QStringLiteral("x"))
                                                                           : QVariant(3);
        ASSERT_TRUE(property.write(&app, changed)) << name.toStdString();
        EXPECT_EQ(property.read(&app), changed) << name.toStdString();
        // Writing the same value again is no change.
        property.write(&app, changed);
        EXPECT_EQ(counter.count, 1) << name.toStdString();
    }
}

TEST(Options, ChoosingAFolderSwitchesTheSourceToFolders)
{
    ScopedFakePort port;
    AppDelegate app{*port};
    app.setSelectedMethod(2);
    app.pathSelected("/music");
    EXPECT_EQ(app.selectedMethod(), 1);
    EXPECT_EQ(app.folderPath(), "/music");
}

TEST(TrackSources, FolderSourceScansEveryLevelAndMatchesUpperCaseExtensions)
{
    Road road;
    TestFolder music;
    music.addSeed("seed.mp3", "a.MP3");
    music.addSeed("seed.flac", "b.flac");
    music.addFile("cover.jpg", "jpeg");
    music.addSeed("seed.m4a", "sub/c.m4a");
    road.app.pathSelected(music.path());
    const auto tracks = road.app.tracks();
    ASSERT_TRUE(tracks);
    QStringList names;
    for (const MusicTrack &t : *tracks) {
        EXPECT_FALSE(t.isLibraryTrack());
        names << t.path().mid(music.path().size() + 1);
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.MP3", "b.flac", "sub/c.m4a"}));
    EXPECT_TRUE(road.port->alerts.isEmpty());
}

TEST(TrackSources, FolderSourceAlertsWhenThereIsNothingToWorkOn)
{
    Road road;
    road.app.setSelectedMethod(1);
    EXPECT_FALSE(road.app.tracks());
    ASSERT_EQ(road.port->alerts.size(), 1);
    EXPECT_EQ(road.port->alerts[0].title, "No Folder");
    EXPECT_EQ(road.port->alerts[0].message, "You didn't select a folder with music files to operate on.");
    EXPECT_EQ(road.port->alerts[0].buttons, QStringList{"OK"});

    TestFolder notes;
    notes.addFile("notes.txt", "hello");
    road.app.pathSelected(notes.path());
    EXPECT_FALSE(road.app.tracks());
    road.app.pathSelected(notes.filePath("missing"));
    EXPECT_FALSE(road.app.tracks());
    ASSERT_EQ(road.port->alerts.size(), 3);
    EXPECT_EQ(road.port->alerts[1].title, "No Files");
    EXPECT_EQ(road.port->alerts[1].message, "The folder you have selected doesn't seem to contain music files.");
    // A folder that is gone says so, not that it holds no music.
    EXPECT_EQ(road.port->alerts[2].title, "No Folder");
    EXPECT_EQ(road.port->alerts[2].message, "The folder " + notes.filePath("missing") + " no longer exists.");
}

TEST(TrackSources, FolderAlertFromTheWorkerWaitsForTheAnswer)
{
    Road road;
    road.app.setSelectedMethod(1);
    std::optional<QList<MusicTrack>> tracks = QList<MusicTrack>{};
    dispatchAsyncBackground([&] { tracks = road.app.tracks(); });
    waitForBackground();
    EXPECT_FALSE(tracks);
    EXPECT_EQ(road.port->alertTitles(), QStringList{"No Folder"});
}

TEST(TrackSources, PlaylistNamesResolveToTheFirstOfThatName)
{
    Road road;
    const QList<qint64> first = road.playlistOf("Twin", 2);
    road.playlistOf("Twin", 3);
    road.app.applicationDidFinishLaunching();
    road.app.setSelectedPlaylist(1); // the second "Twin"
    const auto tracks = road.app.tracks();
    ASSERT_TRUE(tracks);
    ASSERT_EQ(tracks->size(), 2);
    EXPECT_EQ(tracks->at(0).track()->trackId, first[0]);
    EXPECT_EQ(tracks->at(1).track()->trackId, first[1]);
}

TEST(TrackSources, VanishedPlaylistIsToldAndGivesNoList)
{
    Road road;
    road.playlistOf("Mix", 2);
    road.app.applicationDidFinishLaunching();
    // Another library without that playlist stands where the menus came from.
    TestFolder elsewhere;
    road.app.setLibraryPath(elsewhere.filePath("other.sqlite"));
    EXPECT_FALSE(road.app.tracks());
    ASSERT_EQ(road.port->alerts.size(), 1);
    EXPECT_EQ(road.port->alerts[0].title, "No Playlist");
    EXPECT_TRUE(road.port->alerts[0].message.contains("'Mix'"));

    road.app.setSelectedPlaylist(9);
    EXPECT_FALSE(road.app.tracks());
    EXPECT_EQ(road.port->alerts.size(), 2);
}

TEST(TrackSources, EmptyPlaylistAndEmptySelectionGiveEmptyLists)
{
    Road road;
    road.other().createPlaylist("Empty");
    const QList<qint64> ids = road.playlistOf("Full", 3);
    road.app.applicationDidFinishLaunching();
    const auto none = road.app.tracks();
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->isEmpty());

    road.app.setSelectedMethod(2);
    ASSERT_TRUE(road.app.tracks());
    EXPECT_TRUE(road.app.tracks()->isEmpty());
    road.other().setSelection({ids[2], ids[0]});
    const auto selected = road.app.tracks();
    ASSERT_TRUE(selected);
    ASSERT_EQ(selected->size(), 2);
    EXPECT_EQ(selected->at(0).track()->trackId, ids[2]);
    EXPECT_EQ(road.app.selectedTracks().size(), 2);
    EXPECT_TRUE(road.port->alerts.isEmpty());
}

TEST(TrackSources, PlaylistMenusRefreshOnlyForTheirPopUps)
{
    Road road;
    road.app.applicationDidFinishLaunching();
    EXPECT_TRUE(road.app.playlists().isEmpty());
    road.other().createPlaylist("New");
    road.app.popUp(12);
    EXPECT_TRUE(road.app.playlists().isEmpty());
    road.app.popUp(13);
    EXPECT_EQ(road.app.playlists(), QStringList{"New"});
    EXPECT_EQ(road.app.editablePlaylists(), QStringList{"New"});
}

TEST(Review, CancelDiscardsTheListAndIsHarmlessTwice)
{
    Road road;
    auto list = std::make_shared<ChangeList>();
    list->records << ChangeRecord{{}, "name", "a", "b", "T", "A", true};
    road.app.setChanges(list);
    road.app.beginChanges();
    EXPECT_EQ(road.port->reviewsBegun, 1);
    road.app.cancelChanges(false);
    EXPECT_EQ(road.app.changes(), list);
    road.app.cancelChanges(true);
    EXPECT_FALSE(road.app.changes());
    road.app.cancelChanges(true);
    EXPECT_FALSE(road.app.changes());
    EXPECT_EQ(road.port->reviewsEnded, 3);
}

TEST(Panes, HelpFollowsThePaneAndTheAboutPaneHasNone)
{
    Road road;
    road.app.applicationDidFinishLaunching();
    road.app.showTab(4);
    EXPECT_EQ(road.app.currentPane(), 4);
    road.app.openHelp();
    EXPECT_EQ(road.port->helpOpened, QList<int>{4});
    EXPECT_EQ(AppDelegate::helpDocument(4), "help_4.html");
    EXPECT_EQ(AppDelegate::helpTitle(4), "Filename Changer Tool Help");
    EXPECT_EQ(AppDelegate::helpInfo(0), "Info: this is the specific help for the 'Search & Replace' tool, for general "
                                        "instructions click the 'Documentation' tab");
    EXPECT_EQ(AppDelegate::toolName(5), "Miscellaneous Tools");
    road.app.toolbarClicked(7);
    road.app.openHelp();
    EXPECT_EQ(road.port->helpOpened, QList<int>{4});
    road.app.toolbarClicked(8);
    EXPECT_EQ(road.app.currentPane(), 7);
}

TEST(Launches, HintShowsOnTheFirstTwoLaunchesOnly)
{
    ScopedUserLocations locations;
    ScopedFakePort port;
    AppDelegate app{*port};
    EXPECT_TRUE(app.awakeFromNib());
    EXPECT_TRUE(app.awakeFromNib());
    EXPECT_FALSE(app.awakeFromNib());
}

TEST(Links, OpenUrlPassesTheChoiceToTheSupportObject)
{
    Road road;
    road.app.applicationDidFinishLaunching();
    QList<QUrl> opened;
    road.urlOpener = [&](const QUrl &url) { opened << url; };
    road.app.openURL(2);
    road.app.openURL(0);
    road.app.openURL(7);
    road.app.openURL(258); // no wrapping onto choice 2
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].scheme(), "mailto");
    EXPECT_TRUE(opened[0].toString().contains("Beta")) << opened[0].toString().toStdString();
}

TEST(Ports, EachControllerAndWhatItStartsTalkToItsOwnPort)
{
    ScopedUserLocations locations;
    TestFolder music;
    ScopedFakePort firstPerson;
    ScopedFakePort secondPerson;
    AppDelegate first{*firstPerson};
    AppDelegate second{*secondPerson};
    first.setLibraryPath(music.filePath("library.sqlite"));
    second.setLibraryPath(music.filePath("library.sqlite"));
    first.applicationDidFinishLaunching();
    second.applicationDidFinishLaunching();

    // A tool's refusal goes to the person of the controller that started it.
    first.performSearchReplace();
    EXPECT_EQ(firstPerson->alertTitles(), QStringList{"Empty Search String"});
    EXPECT_TRUE(secondPerson->alerts.isEmpty());

    // So does the alert of a run on the worker: the source's folder has no music.
    second.pathSelected(music.path());
    second.setSearchString("x");
    second.performSearchReplace();
    while (secondPerson->progressEnded < secondPerson->progressBegun) {
        waitForBackground();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(secondPerson->alertTitles(), QStringList{"No Files"});
    EXPECT_EQ(firstPerson->alerts.size(), 1);

    // What a run tells the status line reaches only its own controller's.
    QStringList firstNews;
    QObject::connect(&first.news(), &RunNews::announced, [&](const QString &message) { firstNews << message; });
    music.addSeed("seed.mp3", "songs/a.mp3");
    first.pathSelected(music.filePath("songs"));
    first.setSearchString("no title holds this");
    first.performSearchReplace();
    first.lastRun()->wait();
    EXPECT_EQ(firstNews, QStringList{"Nothing was changed: no track needed a change"});
    EXPECT_TRUE(second.news().message().isEmpty()) << second.news().message().toStdString();
}

#include "appdelegate_test.moc"

TEST(TrackSources, FolderSourceLeavesOutLinksToFilesOutsideTheFolder)
{
    Road road;
    TestFolder music;
    TestFolder elsewhere;
    const QString outside = elsewhere.addSeed("seed.mp3", "outside.mp3");
    const QByteArray outsideBytes = TestFolder::readAll(outside);
    music.addSeed("seed.mp3", "a.mp3");
    ASSERT_TRUE(QFile::link(outside, music.filePath("out.mp3")));
    ASSERT_TRUE(QFile::link(music.filePath("a.mp3"), music.filePath("in.mp3")));
    music.addFolder("sub");
    ASSERT_TRUE(QFile::link(elsewhere.path(), music.filePath("sub/away")));
    road.app.pathSelected(music.path());
    const auto tracks = road.app.tracks();
    ASSERT_TRUE(tracks);
    QStringList names;
    for (const MusicTrack &t : *tracks)
        names << t.path().mid(music.path().size() + 1);
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.mp3", "in.mp3"}));
    ASSERT_EQ(road.port->alertTitles(), QStringList{"Files Skipped"});
    EXPECT_TRUE(road.port->alerts[0].message.contains(
        music.filePath("out.mp3") + ": a symbolic link to a file outside the chosen folder"))
        << road.port->alerts[0].message.toStdString();
    EXPECT_EQ(TestFolder::readAll(outside), outsideBytes);
}
