// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <taglib/fileref.h>

namespace TagLib {
class IOStream;
}

namespace taglibfile {

// TagLib's reading of a stream, as TagLib::FileRef reads it when no type
// resolver is registered (the program registers none): the reader the
// extension names (lower case, as musicfiles::extensionOf gives it) and,
// should that reader not take the file, detection by content. The common
// formats' readers are built here directly: FileRef's own look at the
// extension makes and compares several strings per file, a few percent of
// reading a folder of small files. A file its name misnames is parsed
// twice; such files are rare. May throw what TagLib throws (std::bad_alloc
// on a crafted size).
TagLib::FileRef parse(TagLib::IOStream &stream, const QString &extension, bool audioProperties);

} // namespace taglibfile
