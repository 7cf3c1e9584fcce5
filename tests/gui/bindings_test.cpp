// SPDX-License-Identifier: GPL-3.0-or-later
#include "binding.h"
#include "popupbutton.h"
#include "sourcechooser.h"
#include "windowfixture.h"

#include "library/musiclibrary.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QSignalSpy>

TEST_F(WindowTest, DataMoverCharacterCountIsEnabledOnlyForTheTwoCharacterPortions)
{
    launch();
    auto *count = window->pane(3)->findChild<QLineEdit *>("portionString");
    auto *pattern = window->pane(3)->findChild<QLineEdit *>("searchString");
    ASSERT_TRUE(count && pattern);
    app.setSelectedAction(1);
    const QList<bool> countEnabled = {false, true, true, false};
    const QList<bool> patternEnabled = {false, false, false, true};
    for (int portion = 0; portion < 4; ++portion) {
        SCOPED_TRACE(portion);
        app.setSelectedPortion(portion);
        EXPECT_EQ(count->isEnabled(), countEnabled.at(portion));
        EXPECT_EQ(pattern->isEnabled(), patternEnabled.at(portion));
    }
    // A swap takes no portion at all.
    app.setSelectedPortion(1);
    app.setSelectedAction(0);
    EXPECT_FALSE(count->isEnabled());
}

TEST_F(WindowTest, ControlsAndOptionsFollowEachOtherBothWays)
{
    launch();
    QWidget *pane = window->pane(0);
    auto *search = pane->findChild<QLineEdit *>("searchString");
    auto *regular = pane->findChild<QCheckBox *>("useRegular");
    auto *tag = pane->findChild<PopUpButton *>("selectedTag");
    ASSERT_TRUE(search && regular && tag);

    QTest::keyClicks(search, "feat.");
    EXPECT_EQ(app.searchString(), "feat.");
    app.setSearchString("ft.");
    EXPECT_EQ(search->text(), "ft.");

    regular->click();
    EXPECT_TRUE(app.useRegular());
    EXPECT_EQ(tag->count(), 19) << "the tag menus list every tag";
    tag->setCurrentIndex(12);
    EXPECT_EQ(app.selectedTag(), 12);
    // Every pane's tag menu shows the one shared option.
    EXPECT_EQ(window->pane(1)->findChild<PopUpButton *>("selectedTag")->currentIndex(), 12);

    // The defaults reach the controls at start.
    EXPECT_EQ(window->pane(4)->findChild<QLineEdit *>("filenameString")->text(), "#n - #t");
    EXPECT_EQ(window->pane(2)->findChild<PopUpButton *>("selectedCondition")->currentIndex(), 2);
}

TEST_F(WindowTest, PresetsFillBothFieldsAndSwitchRegularExpressionsOn)
{
    launch();
    QWidget *pane = window->pane(0);
    auto *search = pane->findChild<QLineEdit *>("searchString");
    auto *replace = pane->findChild<QLineEdit *>("replaceString");
    auto *regular = pane->findChild<QCheckBox *>("useRegular");
    auto *presets = pane->findChild<PopUpButton *>("presets");
    ASSERT_TRUE(search && replace && regular && presets);
    presets->setCurrentIndex(3);
    emit presets->activated(3);
    EXPECT_EQ(search->text(), "The (.*)");
    EXPECT_EQ(replace->text(), "$1, The");
    EXPECT_TRUE(regular->isChecked());
    EXPECT_EQ(presets->currentIndex(), 0) << "the menu shows its title again";
    EXPECT_TRUE(port->alertTitles.isEmpty());
}

TEST_F(WindowTest, TheNumberFieldHoldsANumberOrNothing)
{
    launch();
    auto *number = window->pane(5)->findChild<QLineEdit *>("numericString");
    ASSERT_NE(number, nullptr);
    number->setText("7");
    EXPECT_EQ(app.numericString(), QVariant(7.0));
    number->setText("seven");
    EXPECT_FALSE(app.numericString().isValid());
    number->clear();
    EXPECT_FALSE(app.numericString().isValid());
}

TEST_F(WindowTest, ChoosingTheSourceShowsOnlyWhatItNeeds)
{
    launch();
    auto *chooser = window->pane(0)->findChild<SourceChooser *>();
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(chooser->playlistPopUp()->isVisible());
    EXPECT_FALSE(chooser->folderButton()->isVisible());
    app.pathSelected(folder.path());
    EXPECT_EQ(app.selectedMethod(), 1);
    EXPECT_EQ(chooser->methodPopUp()->currentIndex(), 1);
    EXPECT_FALSE(chooser->playlistPopUp()->isVisible());
    EXPECT_TRUE(chooser->folderButton()->isVisible());
    EXPECT_TRUE(chooser->folderLabel()->text().endsWith(QDir(folder.path()).dirName()));
}

TEST(Binding, RefusesUnknownTransformersAndProperties)
{
    QObject source;
    source.setProperty("dummy", 1);
    QCheckBox box;
    ScopedFakePort port;
    AppDelegate app{*port};
    EXPECT_EQ(Binding::bindThrough(&box, "enabled", &app, "selectedPortion", "Largerthan5ValueTransformer"), nullptr);
    EXPECT_EQ(Binding::bind(&box, "enabled", &app, "noSuchOption"), nullptr);
    EXPECT_NE(Binding::bindThrough(&box, "enabled", &app, "selectedPortion", "Largerthan5alueTransformer"), nullptr);
    EXPECT_FALSE(box.isEnabled());
    app.setSelectedPortion(6);
    EXPECT_TRUE(box.isEnabled());
    // A transformer binding works forwards only.
    box.setEnabled(false);
    EXPECT_EQ(app.selectedPortion(), 6);
}

TEST_F(WindowTest, PlaylistMenusShowAPlaylistCreatedAfterStartWhenOpened)
{
    launch();
    auto *chooser = window->pane(0)->findChild<SourceChooser *>();
    PopUpButton *menu = chooser->playlistPopUp();
    EXPECT_EQ(menu->tag(), 13);
    EXPECT_EQ(menu->findText("Road Trip"), -1);

    // Another program (here: a second connection) adds a playlist meanwhile.
    {
        MusicLibrary other(app.libraryPath());
        other.createPlaylist("Road Trip");
    }
    EXPECT_EQ(menu->findText("Road Trip"), -1) << "nothing refreshes before the menu opens";
    menu->showPopup();
    EXPECT_NE(menu->findText("Road Trip"), -1);
    menu->hidePopup();
    // Every playlist menu shows the refreshed names, the target menu too.
    auto *target = window->pane(2)->findChild<PopUpButton *>("selectedPlaylistActionPlaylist");
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->tag(), 13);
    EXPECT_NE(target->findText("Road Trip"), -1);

    // Menus of other tags do not refresh the names.
    {
        MusicLibrary other(app.libraryPath());
        other.createPlaylist("Later");
    }
    auto *method = chooser->methodPopUp();
    method->showPopup();
    method->hidePopup();
    EXPECT_EQ(menu->findText("Later"), -1);
}

TEST_F(WindowTest, EveryNameTheWindowBindsByResolvesAndAMisspeltOneIsCaught)
{
    launch();
    // A second window builds every pane, the source chooser and the sheets again.
    const qsizetype before = Binding::unresolved().size();
    {
        MainWindow another(&app);
        EXPECT_EQ(Binding::unresolved().mid(before), QStringList{});
    }

    // The check sees a misspelt property or transformer name, and the control stays unbound.
    QLabel label;
    EXPECT_EQ(Binding::bind(&label, "text", &app, "serachString"), nullptr);
    EXPECT_EQ(Binding::bindThrough(&label, "visible", &app, "useRegular", "NoSuchValueTransformer"), nullptr);
    EXPECT_EQ(Binding::bindAllThrough(&label, "enabled", &app, {{"selectedPortion", "LargerThanZeroTransformer"}}),
              nullptr);
    EXPECT_EQ(Binding::unresolved().mid(before),
              (QStringList{"AppDelegate.serachString", "NoSuchValueTransformer", "LargerThanZeroTransformer"}));
}
