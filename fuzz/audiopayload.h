// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The audio of a music file's bytes as the format lays it out, found by a
// walk of its own so that it can judge the program's structure check rather
// than repeat it: the MP4 mdat payloads, the RIFF data or AIFF SSND chunk,
// the bytes after the ASF header object or the FLAC metadata blocks, the Ogg
// packets after the first stream's header packets, and for the other formats
// what lies between a leading ID3v2 tag and trailing APE and ID3v1 tags.
// Nothing when the bytes are not laid out so that the audio can be told.
namespace audiopayload {

std::optional<QByteArray> of(const QByteArray &file, const QString &extension);

} // namespace audiopayload
