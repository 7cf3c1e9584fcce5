// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QList>
#include <QString>

namespace tools {

// The formats by the tag of the control that asks for them.
using choices::ExportFormat;

// One track of a playlist file.
struct ExportEntry {
    QString location;
    QString artist;
    QString title;
    QString album;
    double duration = 0; // seconds
};

// Extended M3U in UTF-8: "#EXTM3U", then per track "#EXTINF:" whole seconds
// and "artist - title", and its path: absolute, or relative to relativeTo
// when given. A path that a line break would split is written as a file:// address.
QString m3u8Document(const QList<ExportEntry> &entries, const QString &relativeTo = {});
// XSPF version 1: locations as percent-encoded file:// addresses, title,
// creator, album and duration in milliseconds; empty values are left out.
QString xspfDocument(const QString &playlistName, const QList<ExportEntry> &entries);

// The value made safe inside an XML attribute delimited by apostrophes:
// ampersand, less-than and apostrophe become entity references, and the
// characters XML 1.0 does not allow at all (most control characters, lone
// surrogate halves, U+FFFE, U+FFFF) are left out so that any tag text gives a
// well-formed document. Every other character is kept as it is.
QString xmlAttributeEscaped(const QString &value);

// A number of seconds as "%0.1f" writes it, with a point whatever the locale.
QString formattedDuration(double seconds);

// The pieces of an export document; each ends with a line feed. The text
// format has no head and no tail.
QString exportHead(ExportFormat format, const QString &playlistName);
QString exportLine(ExportFormat format, const QString &artist, const QString &title, const QString &album,
                   double duration);
QString exportTail(ExportFormat format);

// The suggested file's type: "txt", "xml", "m3u8" or "xspf".
QString exportFileType(ExportFormat format);

// The export's options, read when the person starts it.
struct ExportOptions {
    ExportFormat format = ExportFormat::Text;
    QString playlistName; // the document's name and the suggested file name
    QString relativeTo;   // an M3U8 list names its files relative to it when given
};

// The format of the control with this tag (1 text, 2 XML, 3 M3U8, 4 XSPF); text for any other.
ExportFormat exportFormat(int tag);

// The tool: builds the document on the worker, then asks where to save it. Main thread.
CollectRun exportPlaylist(const ExportOptions &options, TrackSource source);

} // namespace tools
