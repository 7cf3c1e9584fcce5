// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <taglib/fileref.h>

namespace TagLib {
class IOStream;
}

namespace taglibfile {

// TagLib's reading of a stream, exactly as TagLib::FileRef would read it:
// the reader the extension (lower case, as musicfiles::extensionOf gives it)
// names first and, should that reader not take the file, TagLib's own
// detection by extension and then by content. The common formats are built
// directly: FileRef's detection makes and compares several strings per file,
// which over a folder of small files costs as much as a format's reading.
// May throw what TagLib throws (std::bad_alloc on a crafted size).
TagLib::FileRef parse(TagLib::IOStream &stream, const QString &extension, bool audioProperties);

} // namespace taglibfile
