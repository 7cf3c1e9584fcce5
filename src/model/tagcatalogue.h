// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// The tag keys the person can choose from, with their display names. The tool
// options hold indexes into these lists, so their order is fixed: a stored
// index means the entry at that position.
struct TagCatalogue {
    QStringList tags;                // the 8 text keys
    QStringList readableTags;        // their display names
    QStringList integerTags;         // the 10 integer keys
    QStringList readableIntegerTags; // their display names
    QStringList allTags;             // tags, integerTags, "cover": 19
    QStringList allReadableTags;     // readableTags, readableIntegerTags, "EmbeddedCover"

    static TagCatalogue build();

    // The name a person reads for a key: its display name ("Title" for
    // "name"); "File" and "Location" for the path a rename and the location
    // a relink change; any other key as it is. What the review shows, while
    // programs get the key itself.
    static const QString &displayName(const QString &key);
};
