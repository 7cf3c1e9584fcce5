// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class AppDelegate;

namespace tools {

// The formats by the tag of the control that asks for them.
enum class ExportFormat { Text = 1, Xml = 2 };

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

// The suggested file's type: "txt" or "xml".
QString exportFileType(ExportFormat format);

// The tool's action for the control with this tag (1 text, 2 XML): builds the
// document on the worker, then asks where to save it. Main thread.
void performExport(AppDelegate &app, int tag);

} // namespace tools
