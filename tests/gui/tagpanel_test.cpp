// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverthumbnails.h"
#include "coverview.h"
#include "files/embeddedpictures.h"
#include "files/filetags.h"
#include "library/musiclibrary.h"
#include "operations/changelist.h"
#include "pendingedits.h"
#include "reviewsheet.h"
#include "sourcetracksmodel.h"
#include "tagpanel.h"
#include "tracktablepanel.h"
#include "windowfixture.h"

#include <QAction>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QPixmap>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTableWidget>

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/xiphcomment.h>

namespace {

TagLib::String utf8(const QString &text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

void setMp3Fields(const QString &path, const QString &artist, const QString &mood)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    tag->setArtist(utf8(artist));
    tag->addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(utf8("MOOD"), TagLib::StringList(utf8(mood))));
    ASSERT_TRUE(file.save());
}

// The TXXX frame's text as TagLib reads the file afresh; empty when there is none.
QString mp3Txxx(const QString &path, const char *description)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    auto *frame = TagLib::ID3v2::UserTextIdentificationFrame::find(file.ID3v2Tag(true), description);
    return frame ? QString::fromStdString(frame->fieldList().back().to8Bit(true)) : QString();
}

QString flacField(const QString &path, const char *name)
{
    TagLib::FLAC::File file(QFile::encodeName(path).constData());
    const TagLib::StringList values = file.xiphComment(true)->properties()[name];
    return values.isEmpty() ? QString() : QString::fromStdString(values.front().to8Bit(true));
}

} // namespace

class TagPanelTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        launch();
        window->setTagPanelShown(true);
        table = window->trackTable();
        panel = window->tagPanel();
    }

    bool loaded(int rows)
    {
        return waitUntil([&] { return !table->model()->isLoading() && table->model()->rowCount() == rows; }, 15000);
    }

    // Selects the rows of the files named, as a person does in the table, and
    // waits for the panel to show them.
    bool select(const QStringList &names)
    {
        QItemSelectionModel *selection = table->table()->selectionModel();
        selection->clearSelection();
        for (int row = 0; row < table->proxy()->rowCount(); ++row) {
            const QModelIndex index = table->proxy()->index(row, SourceTracksModel::FileColumn);
            if (names.contains(index.data().toString()))
                selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        return waitUntil([&] { return panel->isSettled(); }, 15000);
    }

    // The row of a field, by the id the tag gives it; -1 when the panel shows none.
    int rowOf(const QString &id) const
    {
        for (int row = 0; row < panel->fields()->rowCount(); ++row)
            if (panel->fields()->item(row, TagPanel::FieldColumn)->text() == id)
                return row;
        return -1;
    }

    QString valueOf(const QString &id) const
    {
        const int row = rowOf(id);
        return row < 0 ? QStringLiteral("<none>") : panel->fields()->item(row, TagPanel::ValueColumn)->text();
    }

    TrackTablePanel *table = nullptr;
    TagPanel *panel = nullptr;
};

TEST_F(TagPanelTest, ShowsEveryFieldAndTheFactsOfAFileAndSeveralValuesWhereSelectedFilesDiffer)
{
    EXPECT_TRUE(window->findChild<QAction *>("showTagPanel")->isChecked());
    const QString a = folder.addSeed("seed.mp3", "music/a.mp3");
    const QString b = folder.addSeed("seed.mp3", "music/b.mp3");
    folder.addSeed("seed.flac", "music/c.flac");
    setMp3Fields(a, "Owls", "calm" + QString(QChar(0x202E)) + "ly");
    setMp3Fields(b, "Owls", "loud");
    QList<QUrl> opened;
    urlOpener = [&](const QUrl &url) { opened << url; };
    app.pathSelected(folder.filePath("music"));
    ASSERT_TRUE(loaded(3));

    ASSERT_TRUE(select({"a.mp3"}));
    EXPECT_TRUE(panel->summary()->text().endsWith("a.mp3")) << panel->summary()->text().toStdString();
    // A field the catalogue does not know, in ID3v2's own terms, its bidi override shown as a mark.
    EXPECT_EQ(valueOf("TXXX:MOOD"), "calm\\u202Ely");
    EXPECT_EQ(panel->fields()->item(rowOf("TXXX:MOOD"), TagPanel::TagColumn)->text(), "ID3v2.4");
    EXPECT_EQ(valueOf("TPE1"), "Owls");
    EXPECT_TRUE(panel->fact("Format")->text().startsWith("MP3 (MPEG-")) << panel->fact("Format")->text().toStdString();
    EXPECT_TRUE(panel->fact("Tags")->text().contains("ID3v2.4"));
    EXPECT_TRUE(panel->fact("Bitrate")->text().endsWith("kb/s"));
    EXPECT_TRUE(panel->fact("Sample Rate")->text().endsWith("Hz"));
    EXPECT_FALSE(panel->fact("Length")->text().isEmpty());
    EXPECT_EQ(panel->fact("Size")->text(), QStringLiteral("%L1 bytes").arg(QFileInfo(a).size()));
    EXPECT_TRUE(panel->fact("Path")->text().endsWith("music/a.mp3"));
    EXPECT_NE(panel->picturesSection(), nullptr);
    ASSERT_TRUE(panel->openFolderButton()->isEnabled());
    panel->openFolderButton()->click();
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(folder.filePath("music"))});

    // Two files: a field they share once, the ones that differ as several values.
    ASSERT_TRUE(select({"a.mp3", "b.mp3"}));
    EXPECT_EQ(panel->summary()->text(), "2 selected tracks");
    EXPECT_EQ(valueOf("TPE1"), "Owls");
    EXPECT_EQ(valueOf("TXXX:MOOD"), "<several values>");
    EXPECT_TRUE(panel->fact("Format")->text().startsWith("MP3 (")) << panel->fact("Format")->text().toStdString();
    EXPECT_EQ(panel->fact("Path")->text(), "<several values>");
    EXPECT_FALSE(panel->openFolderButton()->isEnabled());
    // With the FLAC file too: its Vorbis comments beside the frames, the formats differing.
    ASSERT_TRUE(select({"a.mp3", "b.mp3", "c.flac"}));
    EXPECT_EQ(panel->summary()->text(), "3 selected tracks");
    EXPECT_EQ(panel->fact("Format")->text(), "<several values>");
    EXPECT_NE(rowOf("TITLE"), -1);
    EXPECT_EQ(valueOf("TPE1"), "<several values>");

    // Hidden from the View menu and remembered so.
    window->findChild<QAction *>("showTagPanel")->trigger();
    EXPECT_FALSE(window->isTagPanelShown());
    MainWindow again(&app);
    EXPECT_FALSE(again.isTagPanelShown());
    // Hidden it reads nothing; shown again, it shows what is selected by then.
    table->table()->selectRow(0);
    QTest::qWait(TagPanel::SettleMs * 2);
    EXPECT_FALSE(panel->isSettled());
    const QString first = table->proxy()->index(0, SourceTracksModel::FileColumn).data().toString();
    window->setTagPanelShown(true);
    ASSERT_TRUE(waitUntil([&] { return panel->isSettled(); }, 15000));
    EXPECT_TRUE(panel->summary()->text().endsWith(first)) << panel->summary()->text().toStdString();
}

TEST_F(TagPanelTest, EditsAddsAndRemovesRawFieldsPendingUntilTheEditTagsRunSavesThemAndUndoRestores)
{
    const QString mp3 = folder.addSeed("seed.mp3", "music/a.mp3");
    const QString flac = folder.addSeed("seed.flac", "music/b.flac");
    setMp3Fields(mp3, "Owls", "calm");
    {
        TagLib::FLAC::File file(QFile::encodeName(flac).constData());
        file.xiphComment(true)->addField("MOOD", "slow");
        file.xiphComment(true)->addField("SOURCE", "tape");
        ASSERT_TRUE(file.save());
    }
    const QByteArray mp3Before = TestFolder::readAll(mp3);
    const QByteArray flacBefore = TestFolder::readAll(flac);
    app.pathSelected(folder.filePath("music"));
    ASSERT_TRUE(loaded(2));
    PendingEdits *pending = window->pendingEdits();

    // An ID3v2 TXXX frame edited, another added.
    ASSERT_TRUE(select({"a.mp3"}));
    ASSERT_NE(rowOf("TXXX:MOOD"), -1);
    panel->editValue(rowOf("TXXX:MOOD"), "happy");
    EXPECT_EQ(valueOf("TXXX:MOOD"), "happy");
    EXPECT_TRUE(panel->fields()->item(rowOf("TXXX:MOOD"), TagPanel::ValueColumn)->font().bold());
    panel->newFieldAddress()->setText("ID3v2:TXXX:ENERGY");
    panel->newFieldValue()->setText("high");
    panel->addFieldButton()->click();
    EXPECT_EQ(valueOf("TXXX:ENERGY"), "high");
    // A field of the catalogue and a malformed address are refused with the reason; nothing is pending for them.
    panel->newFieldAddress()->setText("ID3v2:TIT2");
    panel->newFieldValue()->setText("x");
    panel->addFieldButton()->click();
    EXPECT_TRUE(panel->message()->text().contains("edit that tag instead")) << panel->message()->text().toStdString();
    panel->newFieldAddress()->setText("Vorbis:MO=OD");
    panel->addFieldButton()->click();
    EXPECT_TRUE(panel->message()->text().contains("Vorbis comment")) << panel->message()->text().toStdString();
    // A tag the file does not have is refused as it is typed, not when saved.
    panel->newFieldAddress()->setText("Vorbis:MOOD");
    panel->addFieldButton()->click();
    EXPECT_TRUE(panel->message()->text().contains("no Vorbis tag")) << panel->message()->text().toStdString();
    EXPECT_EQ(pending->count(), 2);

    // A Vorbis comment edited, another removed.
    ASSERT_TRUE(select({"b.flac"}));
    panel->editValue(rowOf("MOOD"), "fast");
    panel->fields()->selectRow(rowOf("SOURCE"));
    panel->removeFieldButton()->click();
    EXPECT_TRUE(panel->fields()->item(rowOf("SOURCE"), TagPanel::ValueColumn)->font().strikeOut());
    EXPECT_EQ(pending->count(), 4);
    // Nothing is written before the save.
    EXPECT_EQ(TestFolder::readAll(mp3), mp3Before);
    EXPECT_EQ(TestFolder::readAll(flac), flacBefore);

    // File → Save Changes: one "Edit Tags" run through the review.
    window->saveChangesAction()->trigger();
    ASSERT_TRUE(waitUntil([&] { return window->reviewSheet()->isVisible(); }, 15000));
    app.applyChanges();
    ASSERT_TRUE(awaitLastRun(app));
    EXPECT_TRUE(waitUntil([&] { return pending->isEmpty(); }));
    EXPECT_TRUE(port->alertTitles.isEmpty()) << port->alertMessages.join(" | ").toStdString();
    EXPECT_EQ(mp3Txxx(mp3, "MOOD"), "happy");
    EXPECT_EQ(mp3Txxx(mp3, "ENERGY"), "high");
    EXPECT_EQ(flacField(flac, "MOOD"), "fast");
    EXPECT_EQ(flacField(flac, "SOURCE"), "");
    EXPECT_EQ(flacField(flac, "TITLE"), "Seed Title");
    // The panel reads the saved file again.
    ASSERT_TRUE(waitUntil([&] { return panel->isSettled() && valueOf("MOOD") == "fast"; }, 15000));
    EXPECT_EQ(rowOf("SOURCE"), -1);

    window->updateUndoAction();
    EXPECT_EQ(window->undoAction()->text(), "Undo \"Edit Tags\" (4 changes)");
    window->undoLastRun();
    ASSERT_TRUE(waitUntil([&] { return window->reviewSheet()->isVisible(); }, 15000));
    app.applyChanges();
    ASSERT_TRUE(awaitLastRun(app));
    EXPECT_EQ(mp3Txxx(mp3, "MOOD"), "calm");
    EXPECT_EQ(mp3Txxx(mp3, "ENERGY"), "");
    EXPECT_EQ(flacField(flac, "MOOD"), "slow");
    EXPECT_EQ(flacField(flac, "SOURCE"), "tape");
}

TEST_F(TagPanelTest, ALibraryTrackWhoseFileIsGoneShowsTheRowsValuesAndTakesNoEdit)
{
    auto library = app.library();
    const qint64 gone = library->importFile(
        {folder.filePath("music/gone.mp3"), {{"name", "Gone"}, {"artist", "Band"}, {"playedCount", 3}}});
    const qint64 list = library->createPlaylist("Lost");
    library->addToPlaylist(list, {gone});
    app.refreshPlaylists();
    app.setSelectedMethod(0);
    app.setSelectedPlaylist(int(app.playlists().indexOf("Lost")));
    ASSERT_TRUE(loaded(1));
    ASSERT_TRUE(select({"gone.mp3"}));
    EXPECT_TRUE(panel->summary()->text().contains("is missing")) << panel->summary()->text().toStdString();
    EXPECT_EQ(valueOf("Title"), "Gone");
    EXPECT_EQ(valueOf("Artist"), "Band");
    EXPECT_EQ(panel->fields()->item(rowOf("Title"), TagPanel::TagColumn)->text(), "Library");
    EXPECT_FALSE(panel->fields()->item(rowOf("Title"), TagPanel::ValueColumn)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(panel->addFieldButton()->isEnabled());
    EXPECT_EQ(panel->fact("Format")->text(), "");
    EXPECT_TRUE(panel->fact("Path")->text().endsWith("gone.mp3"));
    // Nor does it have pictures to show or take.
    EXPECT_TRUE(panel->coverView()->paths().isEmpty());
    EXPECT_EQ(panel->coverView()->text(), "");
}

TEST_F(TagPanelTest, ShowsTheSelectedTracksPicturesAndTheCoverColumnTheirThumbnailsLazily)
{
    const QByteArray jpeg = TestFolder::readAll(TestFolder::seedPath("cover.jpg"));
    const QByteArray png = TestFolder::readAll(TestFolder::seedPath("cover.png"));
    const QString a = folder.addSeed("seed.flac", "music/a.flac");
    const QString b = folder.addSeed("seed.mp3", "music/b.mp3");
    const QString c = folder.addSeed("seed.mp3", "music/c.mp3");
    filetags::write(a, "pictures", embeddedpictures::valueOf({{3, "image/jpeg", "on the front", jpeg}}));
    filetags::write(b, "pictures", embeddedpictures::valueOf({{3, "image/png", {}, png}}));
    app.pathSelected(folder.filePath("music"));
    ASSERT_TRUE(loaded(3));

    const QString jpegLine =
        QStringLiteral("Front Cover, image/jpeg, 64×48, %1 bytes, “on the front”").arg(QLocale().toString(jpeg.size()));
    const QString pngLine = QStringLiteral("Front Cover, image/png, 40×30, %1 bytes").arg(QLocale().toString(png.size()));
    CoverView *cover = panel->coverView();
    EXPECT_EQ(cover->parentWidget(), panel->picturesSection());
    ASSERT_TRUE(select({"a.flac"}));
    EXPECT_EQ(cover->paths(), QStringList{a});
    EXPECT_EQ(cover->text(), jpegLine);
    ASSERT_TRUE(select({"a.flac", "b.mp3"}));
    EXPECT_EQ(cover->text(), "<several pictures>");
    ASSERT_TRUE(select({"c.mp3"}));
    EXPECT_EQ(cover->text(), "No pictures");

    // The Cover column: a choice of the Columns menu, off until chosen.
    QTableView *view = table->table();
    EXPECT_TRUE(view->isColumnHidden(SourceTracksModel::CoverColumn));
    QAction *choice = table->columnsMenu()->actions().at(SourceTracksModel::CoverColumn);
    EXPECT_EQ(choice->text(), "Cover");
    EXPECT_FALSE(choice->isChecked());
    choice->trigger();
    EXPECT_FALSE(view->isColumnHidden(SourceTracksModel::CoverColumn));
    const auto thumbnailOf = [&](const QString &name) {
        for (int row = 0; row < table->proxy()->rowCount(); ++row)
            if (table->proxy()->index(row, SourceTracksModel::FileColumn).data().toString() == name)
                return table->proxy()->index(row, SourceTracksModel::CoverColumn).data(Qt::DecorationRole);
        return QVariant();
    };
    // Asked for, a thumbnail is read off the main thread and shown once in;
    // a file without pictures has none.
    EXPECT_FALSE(thumbnailOf("c.mp3").isValid());
    ASSERT_TRUE(waitUntil([&] { return thumbnailOf("a.flac").isValid() && thumbnailOf("b.mp3").isValid(); }, 15000));
    const QPixmap wide = thumbnailOf("a.flac").value<QPixmap>();
    EXPECT_LE(wide.height(), view->verticalHeader()->defaultSectionSize());
    EXPECT_GT(wide.width(), wide.height()); // 64×48 keeps its shape
    EXPECT_TRUE(waitUntil([&] { return !table->thumbnails()->isBusy(); }));
    EXPECT_FALSE(thumbnailOf("c.mp3").isValid());

    // An image added from the panel goes through the review; once written,
    // the panel and the column show it.
    cover->addImage(TestFolder::seedPath("cover.png"));
    awaitLastRun(app);
    ASSERT_TRUE(app.changes());
    ASSERT_EQ(app.changes()->records.size(), 1);
    EXPECT_EQ(app.changes()->records[0].track.path(), c);
    app.applyChanges();
    awaitLastRun(app);
    EXPECT_TRUE(waitUntil([&] { return panel->isSettled() && cover->text() == pngLine; }, 15000))
        << cover->text().toStdString();
    EXPECT_TRUE(waitUntil([&] { return thumbnailOf("c.mp3").isValid(); }, 15000));
    EXPECT_TRUE(filetags::read(a, {"pictures"}).value("pictures").toString().contains("image/jpeg"));
}
