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
