// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <functional>

// The layout of a music file as a save must understand it: whether every
// size and count in it fits inside the file and its container, and where its
// audio lies. Looks at the bytes only, without TagLib, so that a file TagLib
// would misread is caught before TagLib writes it.
namespace filestructure {

enum class Format { Mpeg, Flac, Mp4, Ogg, Asf, Wav, Aiff, TrueAudio, Musepack, Other };

// Reads up to size bytes at offset; fewer at the end, -1 on failure.
using ReadAt = std::function<qint64(qint64 offset, char *buffer, qint64 size)>;

struct Bytes {
    ReadAt readAt;
    qint64 length = 0;
    // Where size bytes at offset are found unchanged in the file on disk, if
    // they are known to be; -1 otherwise. Lets a comparison skip reading them.
    std::function<qint64(qint64 offset, qint64 size)> originalOffset;
};

struct Range {
    qint64 offset = 0;
    qint64 size = 0;
};

// Whether c may be part of an ID3v2 frame's name.
inline bool isFrameIdChar(uchar c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// A compressed ID3v2 frame may inflate to no more than this.
constexpr qint64 maxInflatedFrame = 16 * 1024 * 1024;

// Empty when the file is laid out as its format says; otherwise the problem,
// worded to follow "The file ". audio, when given, gets where the audio lies
// (the MPEG or FLAC frames, the MP4 mdat payloads, the Ogg audio pages'
// bodies, the ASF data object, the RIFF or AIFF sound chunk's data), in
// order; it is complete only when there is no problem.
QString problem(const Bytes &file, Format format, QList<Range> *audio = nullptr);

// Where the audio lies in a file TagLib has just written: problem's ranges,
// none when the saved file has a problem.
QList<Range> audioOfSaved(const Bytes &file, Format format);

// Whether the ranges of a hold the same bytes, in order, as those of b.
bool sameBytes(const Bytes &a, const QList<Range> &inA, const Bytes &b, const QList<Range> &inB);

} // namespace filestructure
