// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlistfiles.h"

#include "libraryimport.h"
#include "support/namedexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QUrl>
#include <QXmlStreamReader>

namespace playlistfiles {

namespace {

// Larger playlist files are not playlists a person keeps.
constexpr qint64 maxPlaylistBytes = 64 * 1024 * 1024;

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.exists())
        throw FileError(path, QStringLiteral("the playlist file does not exist"));
    if (!info.isFile())
        throw FileError(path, QStringLiteral("not a regular file"));
    if (info.size() > maxPlaylistBytes)
        throw FileError(path, QStringLiteral("the file is too large to be a playlist"));
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(path, QStringLiteral("the file cannot be read (%1)").arg(file.errorString()));
    return file.readAll();
}

// UTF-8 when it decodes cleanly (M3U8, and most M3U written today);
// otherwise the Windows code page older M3U files were written in.
QString decodeText(const QByteArray &bytes, bool utf8Only)
{
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body = body.mid(3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(body);
    if (!utf8.hasError() || utf8Only)
        return text;
    QStringDecoder windows("windows-1252");
    if (windows.isValid())
        return windows(body);
    return QString::fromLatin1(body);
}

bool isWindowsDrivePath(const QString &entry)
{
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:([\\\\/]|$)"));
    return drive.match(entry).hasMatch() || entry.startsWith(QLatin1String("\\\\"));
}

QStringList m3uEntries(const QString &text, QString &title)
{
    QStringList entries;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("#PLAYLIST:")))
            title = line.mid(10).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        entries.append(line);
    }
    return entries;
}

QStringList plsEntries(const QString &text, const QString &path, QString &title)
{
    // FileN=... with N from 1; the numbers give the order, not the lines.
    QMap<int, QString> files;
    bool section = false;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    static const QRegularExpression fileKey(QStringLiteral("^File(\\d+)$"), QRegularExpression::CaseInsensitiveOption);
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.compare(QLatin1String("[playlist]"), Qt::CaseInsensitive) == 0) {
            section = true;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        const QRegularExpressionMatch m = fileKey.match(key);
        if (m.hasMatch())
            files.insert(m.captured(1).toInt(), value);
        else if (key.compare(QLatin1String("X-GNOME-Title"), Qt::CaseInsensitive) == 0)
            title = value;
    }
    if (!section)
        throw FileError(path, QStringLiteral("not a PLS playlist: the [playlist] section is missing"));
    return files.values();
}

QStringList xspfEntries(const QByteArray &bytes, const QString &path, QString &title)
{
    QStringList entries;
    QXmlStreamReader xml(bytes);
    QStringList open; // the elements around the reader
    bool located = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QString name = xml.name().toString();
            if (open.isEmpty() && name != QLatin1String("playlist"))
                throw FileError(path, QStringLiteral("not an XSPF playlist: the document is a <%1>").arg(name));
            const bool inTrack = open.size() == 3 && open[1] == QLatin1String("trackList") &&
                                 open[2] == QLatin1String("track");
            if (inTrack && name == QLatin1String("location")) {
                // A track's first location is where it is; later ones are alternatives.
                const QString location = xml.readElementText().trimmed();
                if (!located)
                    entries.last() = location;
                located = true;
                continue;
            }
            if (open.size() == 1 && name == QLatin1String("title")) {
                title = xml.readElementText().trimmed();
                continue;
            }
            if (open.size() == 2 && open[1] == QLatin1String("trackList") && name == QLatin1String("track")) {
                entries.append(QString());
                located = false;
            }
            open.append(name);
        } else if (xml.isEndElement() && !open.isEmpty()) {
            open.removeLast();
        }
    }
    if (xml.hasError())
        throw FileError(path, QStringLiteral("the XSPF file is damaged (%1, line %2)")
                                  .arg(xml.errorString())
                                  .arg(xml.lineNumber()));
    return entries;
}

// The entry's path from the playlist's folder. Joined by hand: QDir takes a
// name starting ":/" for one of the program's built-in resources.
QString inFolder(const QString &folder, const QString &entry)
{
    return QDir::cleanPath(entry.startsWith(u'/') ? entry : folder + u'/' + entry);
}

enum class Kind { M3u, M3u8, Pls, Xspf };

Kind kindOf(const QString &path, const QByteArray &bytes)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("m3u8"))
        return Kind::M3u8;
    if (suffix == QLatin1String("m3u"))
        return Kind::M3u;
    if (suffix == QLatin1String("pls"))
        return Kind::Pls;
    if (suffix == QLatin1String("xspf"))
        return Kind::Xspf;
    const QByteArray head = bytes.left(512).trimmed();
    if (head.startsWith("#EXTM3U"))
        return Kind::M3u8;
    if (head.toLower().startsWith("[playlist]"))
        return Kind::Pls;
    if (head.startsWith("<?xml") && head.contains("xspf.org"))
        return Kind::Xspf;
    throw FileError(path, QStringLiteral("not a playlist file (M3U, M3U8, PLS or XSPF)"));
}

} // namespace

std::optional<QString> resolveEntry(const QString &entry, const QString &folder, QList<Notice> &notices)
{
    if (entry.isEmpty()) {
        notices.append({entry, QStringLiteral("the entry names no file")});
        return std::nullopt;
    }
    // No file's name holds a NUL: the system would read the name cut short
    // at it, and so another file.
    const QString nul(QChar(u'\0'));
    const QString holdsNul = QStringLiteral("the entry holds a NUL character, which no file name can");
    if (entry.contains(nul)) {
        notices.append({entry, holdsNul});
        return std::nullopt;
    }
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (entry.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(entry, QUrl::StrictMode);
        if (!url.isValid() || !url.isLocalFile() || (!url.host().isEmpty() && url.host() != QLatin1String("localhost"))) {
            notices.append({entry, QStringLiteral("not a file address of this computer")});
            return std::nullopt;
        }
        const QString local = url.toLocalFile();
        if (local.contains(nul)) {
            notices.append({entry, holdsNul});
            return std::nullopt;
        }
        if (local.isEmpty()) {
            notices.append({entry, QStringLiteral("the entry names no file")});
            return std::nullopt;
        }
        // "file:song.mp3" has no folder of its own: the playlist's, as for a plain name.
        return inFolder(folder, local);
    }
    if (isWindowsDrivePath(entry)) {
        notices.append({entry, QStringLiteral("a Windows path (drive letter or network share); it cannot be found here")});
        return std::nullopt;
    }
    if (scheme.match(entry).hasMatch()) {
        notices.append({entry, QStringLiteral("a stream address, not a file")});
        return std::nullopt;
    }
    const QString path = inFolder(folder, entry);
    if (entry.contains(u'\\') && !QFileInfo::exists(path)) {
        // A playlist written on Windows; a backslash is a valid name
        // character here, so the name as written is tried first.
        QString turned = entry;
        turned.replace(u'\\', u'/');
        const QString converted = inFolder(folder, turned);
        notices.append({entry, QStringLiteral("Windows separators (\\) read as /"), false});
        return converted;
    }
    return path;
}

ParsedPlaylist read(const QString &path, const QString &base)
{
    const QByteArray bytes = readBytes(path);
    const Kind kind = kindOf(path, bytes);
    ParsedPlaylist parsed;
    parsed.file = path;
    QStringList entries;
    switch (kind) {
    case Kind::M3u:
    case Kind::M3u8:
        entries = m3uEntries(decodeText(bytes, kind == Kind::M3u8), parsed.title);
        break;
    case Kind::Pls:
        entries = plsEntries(decodeText(bytes, false), path, parsed.title);
        break;
    case Kind::Xspf:
        entries = xspfEntries(bytes, path, parsed.title);
        break;
    }
    const QString folder = base.isEmpty() ? QFileInfo(path).absolutePath() : QFileInfo(base).absoluteFilePath();
    parsed.entries = int(entries.size());
    for (const QString &entry : entries) {
        if (const std::optional<QString> resolved = resolveEntry(entry, folder, parsed.notices))
            parsed.paths.append(*resolved);
    }
    return parsed;
}

QStringList existingFiles(const ParsedPlaylist &parsed, QList<Notice> &notices)
{
    QStringList present;
    QSet<QString> seen;
    for (const QString &file : parsed.paths) {
        if (seen.contains(file))
            continue;
        seen.insert(file);
        if (QFileInfo(file).isFile())
            present.append(file);
        else
            notices.append({file, QStringLiteral("the file does not exist")});
    }
    return present;
}

QString defaultName(const ParsedPlaylist &parsed)
{
    return !parsed.title.isEmpty() ? parsed.title : QFileInfo(parsed.file).completeBaseName();
}

ImportSummary importPlaylist(MusicLibrary &library, const QString &path, const QString &name, const QString &base)
{
    return importPlaylist(library, read(path, base), name);
}

ImportSummary importPlaylist(MusicLibrary &library, const ParsedPlaylist &parsed, const QString &name)
{
    ImportSummary summary;
    summary.name = !name.isEmpty() ? name : defaultName(parsed);
    if (library.playlistNamed(summary.name))
        throw LibraryError(QStringLiteral("import the playlist %1").arg(parsed.file),
                           QStringLiteral("a playlist named \"%1\" exists already; give another name").arg(summary.name));
    summary.notices = parsed.notices;
    const QStringList present = existingFiles(parsed, summary.notices);
    QHash<QString, qint64> ids = library.fileTracksAt(present);
    QStringList missing;
    for (const QString &file : present)
        if (!ids.contains(file))
            missing.append(file);
    if (!missing.isEmpty()) {
        const libraryimport::Summary imported = libraryimport::importPaths(library, missing);
        for (const libraryimport::Failure &failure : imported.failures)
            summary.notices.append({failure.path, failure.reason});
        summary.newTracks = imported.added;
        ids.insert(imported.ids);
    }
    QList<qint64> order;
    for (const QString &file : parsed.paths)
        if (ids.contains(file))
            order.append(ids.value(file));
    // A playlist of none of the file's entries would stand for nothing the file holds.
    if (order.isEmpty() && parsed.entries > 0)
        return summary;
    // The playlist comes whole or not at all.
    MusicLibrary::Batch batch(library, QStringLiteral("make the playlist %1").arg(summary.name));
    summary.playlistId = library.createPlaylist(summary.name);
    library.addTracksToPlaylist(summary.playlistId, order, false);
    batch.commit();
    summary.entries = int(order.size());
    return summary;
}

} // namespace playlistfiles
