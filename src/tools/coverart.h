// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/embeddedpictures.h"
#include "operations/collector.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace tools {

// The key whose value is a track's pictures (see embeddedpictures.h).
inline const QString picturesKey = QStringLiteral("pictures");

struct CoverAddOptions {
    QString image;          // the image file; empty: the picture beside each track (fromFolder)
    bool fromFolder = false;
    int type = embeddedpictures::frontCover;
    bool replace = true;    // replaces the pictures of the same type; else adds beside them
    int maxSize = 0;        // when above 0, larger images are scaled down to this many pixels on the longer side
    int quality = 90;       // the JPEG quality of a scaled image
    bool skipWithFront = false; // tracks that have a front cover already are left alone
};

struct CoverRemoveOptions {
    std::optional<int> type; // nothing: every picture
};

struct CoverExtractOptions {
    QString folder;
    QString pattern = QStringLiteral("#a - #l"); // the filename changer's placeholders
};

// The names looked for beside the tracks, in this order, ignoring case.
const QStringList &folderPictureNames();

// An image as it goes into files: its bytes unchanged, or scaled down and
// encoded as JPEG when maxSize asks for it; else why it is refused
// (not JPEG or PNG, damaged, larger than 16 MiB, unreadable), as a sentence.
std::variant<QByteArray, QString> preparedImage(const QString &path, int maxSize, int quality);
// The same for bytes already read; name is what the reason calls them.
std::variant<QByteArray, QString> preparedImage(const QByteArray &bytes, const QString &name, int maxSize,
                                                int quality);

// The pictures a track gets: picture added to or put in place of those of its type.
QList<EmbeddedPicture> withPicture(QList<EmbeddedPicture> pictures, const EmbeddedPicture &picture, bool replace);

ToolStart addCover(const CoverAddOptions &options, TrackSource source);
ToolStart removeCovers(const CoverRemoveOptions &options, TrackSource source);
// Writes each distinct picture of the tracks once into the folder, never over
// a file; reports what it wrote. written, when given, gets the paths.
ToolStart extractCovers(const CoverExtractOptions &options, TrackSource source,
                        std::shared_ptr<QStringList> written = {});

} // namespace tools
