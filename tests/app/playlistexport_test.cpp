// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/playlistexport.h"

#include <QXmlStreamReader>
#include <clocale>
#include <gtest/gtest.h>

using namespace tools;

TEST(ExportFormat, Durations)
{
    EXPECT_EQ(formattedDuration(245.3), "245.3");
    EXPECT_EQ(formattedDuration(245.0), "245.0");
    EXPECT_EQ(formattedDuration(0.0), "0.0");
    EXPECT_EQ(formattedDuration(0.06), "0.1");
    // A decimal comma in the person's locale does not reach the file.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        EXPECT_EQ(formattedDuration(245.3), "245.3");
    }
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(ExportFormat, TextLinesKeepValuesAsTheyAre)
{
    EXPECT_EQ(exportLine(ExportFormat::Text, "A & B", "Don't", "<Album>", 245.3), "A & B\tDon't\t<Album>\t245.3\n");
    EXPECT_TRUE(exportHead(ExportFormat::Text, "List").isEmpty());
    EXPECT_TRUE(exportTail(ExportFormat::Text).isEmpty());
}

TEST(ExportFormat, XmlPieces)
{
    EXPECT_EQ(exportHead(ExportFormat::Xml, "Rock 'n' Roll"),
              "<?xml version=\"1.0\"?>\n<playlist name='Rock &apos;n&apos; Roll'>\n");
    EXPECT_EQ(exportLine(ExportFormat::Xml, "A & B", "Don't", "x<y>\"z\"", 0.0),
              "<track artist='A &amp; B' title='Don&apos;t' album='x&lt;y>\"z\"' duration='0.0' />\n");
    EXPECT_EQ(exportTail(ExportFormat::Xml), "</playlist>\n");
}

TEST(ExportFormat, ForbiddenCharactersAreLeftOut)
{
    const QString hostile = QString("a") + QChar(0x01) + "b" + QChar(0x1F) + QChar(0xFFFE) + QChar(0xD800) +
                            "c\td" + QChar(0xDC00) + QString::fromUcs4(U"\U0001F3B5");
    EXPECT_EQ(xmlAttributeEscaped(hostile), QString("abc\td") + QString::fromUcs4(U"\U0001F3B5"));

    const QString doc = exportHead(ExportFormat::Xml, hostile) +
                        exportLine(ExportFormat::Xml, hostile, "Don't & <stop>", hostile, 1.25) +
                        exportTail(ExportFormat::Xml);
    QXmlStreamReader reader(doc);
    QStringList titles;
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("track"))
            titles << reader.attributes().value("title").toString();
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(titles, QStringList{"Don't & <stop>"});
}

// ---- Exporting a track source ------------------------------------------

#include "filetoolrun.h"

namespace {

class Export : public ::testing::Test, public FileToolRun {
protected:
    qint64 addLibraryTrack(const QString &title, const QString &artist, const QString &album, const QVariant &duration)
    {
        QVariantHash values{{"name", title}, {"artist", artist}, {"album", album}};
        if (duration.isValid())
            values.insert("duration", duration);
        return library().importFile({files.filePath(QString("lib/%1.mp3").arg(++tracks_)), values});
    }

    // The playlist becomes the source.
    void usePlaylist(const QString &name, const QList<qint64> &ids)
    {
        library().addToPlaylist(library().createPlaylist(name), ids);
        app.refreshPlaylists();
        app.setSelectedMethod(0);
        app.setSelectedPlaylist(int(app.playlists().indexOf(name)));
    }

    // Exports in the format of the control's tag, saving to the file when given.
    QByteArray exportAs(int tag, const QString &saveAs)
    {
        files.addFolder("out");
        port->saveAnswers = {saveAs.isNull() ? std::nullopt : std::optional<QString>(saveAs)};
        run([&] { app.performExport(tag); });
        return TestFolder::readAll(saveAs);
    }

    void useThreeTracks()
    {
        usePlaylist("Road Trip", {addLibraryTrack("Don't Stop", "A & B", "Live", 245.3),
                                  addLibraryTrack("Whole", "C", "Studio", 245.0),
                                  addLibraryTrack("Unknown", "D", "Demo", QVariant())});
    }

private:
    int tracks_ = 0;
};

} // namespace

TEST_F(Export, ThreeTracksAsText)
{
    useThreeTracks();
    const QByteArray text = exportAs(1, files.filePath("out/list.txt"));
    EXPECT_EQ(text, "A & B\tDon't Stop\tLive\t245.3\n"
                    "C\tWhole\tStudio\t245.0\n"
                    "D\tUnknown\tDemo\t0.0\n");
    ASSERT_EQ(port->saveRequests.size(), 1);
    EXPECT_EQ(port->saveRequests[0], qMakePair(QString("Road Trip"), QString("txt")));
    EXPECT_EQ(app.currentProgressTitle(), "Collecting changes…");
    EXPECT_EQ(port->progressEnded, 1);
}

// A text past what is kept in memory while the export is built comes out
// whole and in order, in both formats.
TEST_F(Export, ALongExportIsWrittenWhole)
{
    const QString title = QString(5000, QLatin1Char('t')) + QStringLiteral("é'");
    const qint64 track = addLibraryTrack(title, "A & B", "Live", 245.3);
    usePlaylist("Long", QList<qint64>(300, track));

    const QByteArray line = ("A & B\t" + title + "\tLive\t245.3\n").toUtf8();
    const QByteArray text = exportAs(1, files.filePath("out/long.txt"));
    EXPECT_EQ(text.size(), 300 * line.size());
    EXPECT_EQ(text, line.repeated(300));

    const QByteArray xml = exportAs(2, files.filePath("out/long.xml"));
    const QByteArray element =
        ("<track artist='A &amp; B' title='" + title.chopped(1) + "&apos;' album='Live' duration='245.3' />\n").toUtf8();
    EXPECT_EQ(xml, "<?xml version=\"1.0\"?>\n<playlist name='Long'>\n" + element.repeated(300) + "</playlist>\n");
}

TEST_F(Export, ThreeTracksAsXml)
{
    useThreeTracks();
    const QByteArray xml = exportAs(2, files.filePath("out/list.xml"));
    EXPECT_EQ(xml, "<?xml version=\"1.0\"?>\n"
                   "<playlist name='Road Trip'>\n"
                   "<track artist='A &amp; B' title='Don&apos;t Stop' album='Live' duration='245.3' />\n"
                   "<track artist='C' title='Whole' album='Studio' duration='245.0' />\n"
                   "<track artist='D' title='Unknown' album='Demo' duration='0.0' />\n"
                   "</playlist>\n");
    EXPECT_EQ(port->saveRequests[0], qMakePair(QString("Road Trip"), QString("xml")));
}

TEST_F(Export, AnyTitleGivesWellFormedXml)
{
    const QString control = QString("Bell") + QChar(0x07) + "s";
    usePlaylist("It's <mine> & yours", {addLibraryTrack("Don't", "Tom & Jerry", "<Best>", 1.0),
                                        addLibraryTrack(control, "Café ♫", "x", 2.0)});
    const QByteArray xml = exportAs(2, files.filePath("out/list.xml"));
    EXPECT_FALSE(xml.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(xml.contains("Caf\xC3\xA9 \xE2\x99\xAB"));

    QXmlStreamReader reader(xml);
    QStringList read;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attributes = reader.attributes();
        if (reader.name() == QLatin1String("playlist"))
            read << attributes.value("name").toString();
        else
            read << attributes.value("title").toString() << attributes.value("artist").toString();
    }
    ASSERT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(read, (QStringList{"It's <mine> & yours", "Don't", "Tom & Jerry", "Bells", "Café ♫"}));
}

TEST_F(Export, CancelWritesNothing)
{
    useThreeTracks();
    const QString target = files.filePath("out/list.txt");
    files.addFolder("out");
    port->saveAnswers = {std::nullopt};
    run([&] { app.performExport(1); });
    EXPECT_EQ(port->saveRequests.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(QDir(files.filePath("out")).isEmpty());
}

TEST_F(Export, FolderSourceTakesThePlaylistName)
{
    usePlaylist("Road Trip", {addLibraryTrack("x", "y", "z", 1.0)});
    addTagged("m/a.mp3", "Intro", 3, "Band");
    app.setFolderPath(files.filePath("m"));
    app.setSelectedMethod(1);
    const QByteArray xml = exportAs(2, files.filePath("out/list.xml"));
    // The seed lasts a fifth of a second: whole seconds give 0.
    EXPECT_EQ(xml, "<?xml version=\"1.0\"?>\n<playlist name='Road Trip'>\n"
                   "<track artist='Band' title='Intro' album='Seed Album' duration='0.0' />\n</playlist>\n");
    EXPECT_EQ(port->saveRequests[0].first, "Road Trip");
    EXPECT_EQ(app.selectedMethod(), 1);
}

TEST_F(Export, FailuresAreToldNotHidden)
{
    useThreeTracks();
    // The save panel still opens after the source has told why it has nothing.
    app.setSelectedMethod(1);
    app.setFolderPath(QString());
    EXPECT_EQ(exportAs(2, files.filePath("out/empty.xml")),
              "<?xml version=\"1.0\"?>\n<playlist name='Road Trip'>\n</playlist>\n");
    EXPECT_EQ(port->alertTitles(), QStringList{"No Folder"});

    // A file that cannot be written is reported.
    app.setSelectedMethod(0);
    exportAs(1, files.filePath("no/such/folder/list.txt"));
    ASSERT_EQ(port->alerts.size(), 2);
    EXPECT_EQ(port->alerts[1].title, "Export Failed");
}
