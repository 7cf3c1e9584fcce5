// SPDX-License-Identifier: GPL-3.0-or-later
#include "tagcatalogue.h"

#include <QHash>

TagCatalogue TagCatalogue::build()
{
    TagCatalogue c;
    c.tags = {"name", "artist", "album", "lyrics", "genre", "comment", "composer", "albumArtist"};
    c.readableTags = {"Title", "Artist", "Album", "Lyrics", "Genre", "Comment", "Composer", "Album Artist"};
    c.integerTags = {"playedCount", "skippedCount", "bpm",        "rating",     "year",
                     "volumeAdjustment", "trackNumber", "trackCount", "discNumber", "discCount"};
    c.readableIntegerTags = {"Play Count", "Skip Count", "BPM",         "Rating",      "Year",
                             "Volume",     "Track Number", "Total Tracks", "Disc Number", "Total Discs"};
    // Built by concatenation: the combined lists follow any change of the base lists.
    c.allTags = c.tags + c.integerTags + QStringList{"cover"};
    c.allReadableTags = c.readableTags + c.readableIntegerTags + QStringList{"EmbeddedCover"};
    return c;
}

const QString &TagCatalogue::displayName(const QString &key)
{
    static const QHash<QString, QString> names = [] {
        const TagCatalogue catalogue = build();
        QHash<QString, QString> byKey;
        for (qsizetype i = 0; i < catalogue.allTags.size(); ++i)
            byKey.insert(catalogue.allTags.at(i), catalogue.allReadableTags.at(i));
        byKey.insert(QStringLiteral("path"), QStringLiteral("File"));
        byKey.insert(QStringLiteral("location"), QStringLiteral("Location"));
        byKey.insert(QStringLiteral("pictures"), QStringLiteral("Pictures"));
        return byKey;
    }();
    const auto found = names.constFind(key);
    return found == names.cend() ? key : *found;
}
