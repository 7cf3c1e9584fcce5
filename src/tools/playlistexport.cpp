// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlistexport.h"

#include "app/appdelegate.h"
#include "operations/collector.h"
#include "operations/runnews.h"
#include "operations/runreport.h"
#include "support/alerts.h"
#include "support/cformat.h"

#include <QFile>
#include <QFileInfo>
#include <memory>

namespace tools {

namespace {

bool allowedInXml(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace

QString xmlAttributeEscaped(const QString &value)
{
    QString escaped;
    escaped.reserve(value.size());
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = value.at(i);
        if (c.isHighSurrogate() && i + 1 < n && value.at(i + 1).isLowSurrogate()) {
            escaped += c;
            escaped += value.at(++i);
            continue;
        }
        switch (c.unicode()) {
        case u'&':
            escaped += QLatin1String("&amp;");
            break;
        case u'<':
            escaped += QLatin1String("&lt;");
            break;
        case u'\'':
            escaped += QLatin1String("&apos;");
            break;
        default:
            // A surrogate half reaching here stands alone.
            if (!c.isSurrogate() && allowedInXml(c.unicode()))
                escaped += c;
        }
    }
    return escaped;
}

QString formattedDuration(double seconds)
{
    return text::cFormat("%0.1f", seconds);
}

QString exportHead(ExportFormat format, const QString &playlistName)
{
    if (format != ExportFormat::Xml)
        return {};
    return QLatin1String("<?xml version=\"1.0\"?>\n<playlist name='") + xmlAttributeEscaped(playlistName) +
           QLatin1String("'>\n");
}

QString exportLine(ExportFormat format, const QString &artist, const QString &title, const QString &album,
                   double duration)
{
    if (format == ExportFormat::Xml)
        return QLatin1String("<track artist='") + xmlAttributeEscaped(artist) + QLatin1String("' title='") +
               xmlAttributeEscaped(title) + QLatin1String("' album='") + xmlAttributeEscaped(album) +
               QLatin1String("' duration='") + formattedDuration(duration) + QLatin1String("' />\n");
    const QChar tab = QLatin1Char('\t');
    return artist + tab + title + tab + album + tab + formattedDuration(duration) + QLatin1Char('\n');
}

QString exportTail(ExportFormat format)
{
    return format == ExportFormat::Xml ? QStringLiteral("</playlist>\n") : QString();
}

QString exportFileType(ExportFormat format)
{
    return format == ExportFormat::Xml ? QStringLiteral("xml") : QStringLiteral("txt");
}

void performExport(AppDelegate &app, int tag)
{
    const ExportFormat format = tag == int(ExportFormat::Xml) ? ExportFormat::Xml : ExportFormat::Text;
    app.endEditing();
    // The name comes from the playlist menu whatever the source, as the
    // document's name and the suggested file name.
    const QString name = app.playlists().value(app.selectedPlaylist());
    auto document = std::make_shared<QString>(exportHead(format, name));
    auto lines = std::make_shared<int>(0);

    CollectRun run;
    run.keys = {QStringLiteral("album"), QStringLiteral("duration")};
    run.step = [format, document, lines](const MusicTrack &, const TrackValues &values, QList<ChangeRecord> &) {
        ++*lines;
        *document += exportLine(format, values.value(QStringLiteral("artist")).toString(),
                                values.value(QStringLiteral("name")).toString(),
                                values.value(QStringLiteral("album")).toString(),
                                values.value(QStringLiteral("duration")).toDouble());
    };
    // A walk that stopped keeps the lines read before it; the person has been told.
    run.report = [format, document, lines, name](bool, bool) {
        *document += exportTail(format);
        WindowPort *port = windowPort();
        const std::optional<QString> path = port ? port->chooseSaveFile(name, exportFileType(format)) : std::nullopt;
        if (!path) {
            RunNews::instance().announce(QStringLiteral("Export cancelled: nothing was written"), false);
            return;
        }
        QFile file(*path);
        const QByteArray bytes = document->toUtf8();
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() ||
            !file.flush()) {
            alertPanel(QStringLiteral("Export Failed"),
                       QStringLiteral("The file '%1' could not be written: %2").arg(*path, file.errorString()));
            RunNews::instance().announce(QStringLiteral("Export failed: '%1' could not be written").arg(*path), false);
            return;
        }
        RunNews::instance().announce(runreport::counted(*lines, QStringLiteral("track"), QStringLiteral("tracks")) +
                                         QStringLiteral(" exported to %1").arg(QFileInfo(*path).fileName()),
                                     false);
    };
    collector::collectChanges(app, std::move(run));
}

} // namespace tools
