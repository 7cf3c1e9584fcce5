// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ratingconventions.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace TagLib {
class File;
}

// Everything one music file holds, in its own tags' terms, and what it is:
// what a person inspecting a file wants to see, beyond the catalogue's keys.
struct FileField {
    QString tag;   // the tag that holds it: "ID3v2.4", "ID3v1", "APE", "Vorbis", "MP4", "ASF", "RIFF INFO"
    QString id;    // the field's name there: "TIT2", "TXXX:MOOD", "ARTIST", "©nam"
    QString value; // its text; several values joined by "; ", a picture described
};

struct FileDescription {
    QString path;
    qint64 size = -1;  // bytes; -1 when the file cannot be read
    QString problem;   // why nothing more is known; empty when the file was read
    QString format;    // "MP3", "FLAC", ...
    QString codec;     // "MPEG-1 Layer 3", "AAC", ... ; empty when the format says it all
    qint64 lengthMs = 0;
    int bitrate = 0; // kb/s
    int sampleRate = 0;
    int channels = 0;
    QStringList tagTypes; // the tags present, in the order of FileField::tag
    QList<FileField> fields;
    ratingconventions::Reading ratings; // the ratings and play counts among the fields, read as the library does
};

namespace filedescription {

// Fills the format, the audio facts, the tag types and the fields of a file
// TagLib has read (with its audio properties). Never throws past what TagLib throws.
void describeFile(TagLib::File &file, FileDescription &description);

// "3:07" (or "1:02:03") for a length in milliseconds.
QString lengthText(qint64 milliseconds);

} // namespace filedescription
