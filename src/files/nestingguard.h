// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class CheckedFileStream;

// TagLib descends nested MP4 atoms and nested ID3v2 chapter frames by
// recursion, about 160 and 480 bytes of stack a level, and renders nested
// chapters in time that grows with the square of their depth. A crafted file
// of a few dozen megabytes could overflow even the large stack, and one of a
// few megabytes could stall a save for minutes. These checks look at the
// structure without recursion, before TagLib does, and refuse files nested
// deeper than any real file is (real ones nest a dozen levels or so). They
// also refuse an ASF file whose metadata claims more records than it holds,
// which TagLib would read past its end one by one.
namespace nestingguard {

// Deeper nesting than this is refused; the limits keep TagLib within about
// 160 MiB of stack for atoms and 48 MiB and a few seconds of saving for chapters.
constexpr int maxAtomDepth = 1000000;
constexpr int maxChapterFrames = 100000;

// Empty when TagLib may parse the file; otherwise why not. The suffix decides
// which structure is looked at, as TagLib's choice of reader does.
QString refusal(CheckedFileStream &stream, const QString &suffix);

} // namespace nestingguard
