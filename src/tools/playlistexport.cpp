// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlistexport.h"

#include "operations/runreport.h"
#include "support/alerts.h"
#include "support/cformat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>
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
    switch (format) {
    case ExportFormat::Xml:
        return QStringLiteral("xml");
    case ExportFormat::M3u8:
        return QStringLiteral("m3u8");
    case ExportFormat::Xspf:
        return QStringLiteral("xspf");
    case ExportFormat::Text:
        break;
    }
    return QStringLiteral("txt");
}

namespace {

QString oneLine(QString text)
{
    for (QChar &c : text)
        if (c == u'\n' || c == u'\r')
            c = u' ';
    return text;
}

// Element text: besides what attributes need, ">" so that "]]>" never appears.
QString xmlText(const QString &value)
{
    return xmlAttributeEscaped(value).replace(u'>', QLatin1String("&gt;"));
}

QString fileUri(const QString &path)
{
    return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded(QUrl::FullyEncoded));
}

} // namespace

QString m3u8Document(const QList<ExportEntry> &entries, const QString &relativeTo)
{
    QString doc = QStringLiteral("#EXTM3U\n");
    const QDir base(relativeTo);
    for (const ExportEntry &e : entries) {
        const QString artist = oneLine(e.artist), title = oneLine(e.title);
        const QString label = artist.isEmpty() ? title : title.isEmpty() ? artist : artist + QLatin1String(" - ") + title;
        doc += QStringLiteral("#EXTINF:%1,%2\n").arg(qRound64(e.duration)).arg(label);
        QString path = relativeTo.isEmpty() ? e.location : base.relativeFilePath(e.location);
        // A line break would split the entry; a leading "#" would make it a comment.
        if (path.contains(u'\n') || path.contains(u'\r') || path.startsWith(u'#'))
            path = fileUri(e.location);
        doc += path + QLatin1Char('\n');
    }
    return doc;
}

QString xspfDocument(const QString &playlistName, const QList<ExportEntry> &entries)
{
    QString doc = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n");
    if (!playlistName.isEmpty())
        doc += QLatin1String("  <title>") + xmlText(playlistName) + QLatin1String("</title>\n");
    doc += QLatin1String("  <trackList>\n");
    const auto element = [&doc](const char *name, const QString &value) {
        if (!value.isEmpty())
            doc += QStringLiteral("      <%1>%2</%1>\n").arg(QLatin1String(name), value);
    };
    for (const ExportEntry &e : entries) {
        doc += QLatin1String("    <track>\n");
        // The order the XSPF schema fixes for a track's elements.
        element("location", xmlText(fileUri(e.location)));
        element("title", xmlText(e.title));
        element("creator", xmlText(e.artist));
        element("album", xmlText(e.album));
        if (e.duration > 0)
            element("duration", QString::number(qRound64(e.duration * 1000)));
        doc += QLatin1String("    </track>\n");
    }
    doc += QLatin1String("  </trackList>\n</playlist>\n");
    return doc;
}

namespace {

// The text of an export as it is built, in UTF-8. Past a megabyte it goes on
// in a temporary file, so that a long playlist's export never stands in
// memory whole; where no temporary file can be made it stays in memory.
class ExportText {
public:
    void append(const QString &text)
    {
        pending_ += text.toUtf8();
        if (pending_.size() < spillSize || !spill())
            return;
        pending_.clear();
    }

    // Writes the whole text to file; false when a write fails.
    bool writeTo(QFile &file)
    {
        if (spilled_) {
            spilled_->seek(0);
            QByteArray block;
            while (!(block = spilled_->read(spillSize)).isEmpty()) {
                if (file.write(block) != block.size())
                    return false;
            }
            if (spilled_->error() != QFileDevice::NoError)
                return false;
        }
        return file.write(pending_) == pending_.size() && file.flush();
    }

private:
    static constexpr qsizetype spillSize = 1 << 20;

    bool spill()
    {
        if (!spilled_) {
            auto file = std::make_unique<QTemporaryFile>();
            if (!file->open())
                return false;
            spilled_ = std::move(file);
        }
        return spilled_->write(pending_) == pending_.size();
    }

    QByteArray pending_;
    std::unique_ptr<QTemporaryFile> spilled_;
};

// Saves where the person chooses; news gets what became of the export of
// `tracks` tracks, for the status line.
bool saveDocument(WindowPort *port, ExportText &document, const QString &name, ExportFormat format, int tracks,
                  QString &news)
{
    const std::optional<QString> path = port->chooseSaveFile(name, exportFileType(format));
    if (!path) {
        news = QStringLiteral("Export cancelled: nothing was written");
        return true;
    }
    QFile file(*path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !document.writeTo(file)) {
        alertPanel(port, QStringLiteral("Export Failed"),
                   QStringLiteral("The file '%1' could not be written: %2").arg(*path, file.errorString()));
        news = QStringLiteral("Export failed: '%1' could not be written").arg(*path);
        return false;
    }
    news = runreport::counted(tracks, QStringLiteral("track"), QStringLiteral("tracks")) +
           QStringLiteral(" exported to %1").arg(QFileInfo(*path).fileName());
    return true;
}

// A playlist file lists files: tracks without one are left out, and the
// person is told how many.
CollectRun exportPlaylistFile(WindowPort *port, ExportFormat format, const QString &name, const QString &relativeTo)
{
    auto entries = std::make_shared<QList<ExportEntry>>();
    auto withoutFile = std::make_shared<int>(0);
    CollectRun run;
    run.keys = {QStringLiteral("album"), QStringLiteral("duration"), QStringLiteral("location")};
    run.step = [entries, withoutFile](const MusicTrack &, const TrackValues &values, QList<ChangeRecord> &) {
        const QString location = values.value(QStringLiteral("location")).toString();
        if (location.isEmpty()) {
            ++*withoutFile;
            return;
        }
        entries->append({location, values.value(QStringLiteral("artist")).toString(),
                         values.value(QStringLiteral("name")).toString(),
                         values.value(QStringLiteral("album")).toString(),
                         values.value(QStringLiteral("duration")).toDouble()});
    };
    run.report = [port, format, entries, withoutFile, name, relativeTo](bool, bool, QString &news) {
        ExportText document;
        document.append(format == ExportFormat::Xspf ? xspfDocument(name, *entries)
                                                     : m3u8Document(*entries, relativeTo));
        const bool saved = saveDocument(port, document, name, format, int(entries->size()), news);
        if (*withoutFile > 0)
            alertPanel(port, QStringLiteral("Tracks Left Out"),
                       QStringLiteral("%1 tracks have no file and are not in the playlist file.").arg(*withoutFile));
        return saved && *withoutFile == 0;
    };
    return run;
}

} // namespace

ExportFormat exportFormat(int tag)
{
    return tag >= 1 && tag <= 4 ? ExportFormat(tag) : ExportFormat::Text;
}

CollectRun exportPlaylist(const ExportOptions &options, TrackSource source)
{
    WindowPort *const port = source.port;
    const ExportFormat format = options.format;
    const QString &name = options.playlistName;
    if (format == ExportFormat::M3u8 || format == ExportFormat::Xspf) {
        CollectRun run = exportPlaylistFile(port, format, name, options.relativeTo);
        run.source = std::move(source);
        return run;
    }
    auto document = std::make_shared<ExportText>();
    document->append(exportHead(format, name));
    auto lines = std::make_shared<int>(0);

    CollectRun run;
    run.source = std::move(source);
    run.keys = {QStringLiteral("album"), QStringLiteral("duration")};
    run.step = [format, document, lines](const MusicTrack &, const TrackValues &values, QList<ChangeRecord> &) {
        ++*lines;
        document->append(exportLine(format, values.value(QStringLiteral("artist")).toString(),
                                values.value(QStringLiteral("name")).toString(),
                                values.value(QStringLiteral("album")).toString(),
                                values.value(QStringLiteral("duration")).toDouble()));
    };
    // A walk that stopped keeps the lines read before it; the person has been told.
    run.report = [port, format, document, lines, name](bool, bool, QString &news) {
        document->append(exportTail(format));
        return saveDocument(port, *document, name, format, *lines, news);
    };
    return run;
}

} // namespace tools
