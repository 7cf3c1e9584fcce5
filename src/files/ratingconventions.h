// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace TagLib {
class File;
}

// Ratings and play counts as players keep them inside music files. Every
// player has its own field and its own scale, and one file often holds
// several (a POPM frame per player that touched it, FMPS fields beside them).
// The library keeps one rating, 0-100 with 20 a star, and one play count, so
// each field is read into those terms here, and the mappings live in this one
// place.
namespace ratingconventions {

enum class Convention {
    Popm,         // ID3v2 POPM, one frame per owner: a rating byte and a play counter
    Fmps,         // FMPS_Rating (0.0-1.0) and FMPS_Playcount
    AmarokScore,  // FMPS_Rating_Amarok_Score: Amarok's automatic score, not the person's rating
    QuodLibet,    // RATING:<email> (0.0-1.0) and PLAYCOUNT:<email>
    Plain,        // RATING: 0-100, or 1-5 stars, or a 0-1 fraction
    Mp4Rate,      // MP4 "rate": 0-100
    SharedRating, // ASF WM/SharedUserRating: 1/25/50/75/99
};

struct Found {
    Convention convention;
    QString field; // where it was found, as a person reads it: "POPM MusicBee", "FMPS_Rating", "RATING"
    QString owner; // a POPM frame's owner or a Quod Libet field's email; empty for the others
    std::optional<int> rating;        // 0-100; absent when the field says "unrated" or holds a count only
    std::optional<quint64> playCount; // absent when the field holds no count
    QString raw; // what the field holds, as written: "196, counter 12" for a POPM frame
};

struct Reading {
    std::vector<Found> found;
    // Fields that were there but could not be read as their convention says,
    // each with its reason: "POPM MusicBee: a play counter of 9 bytes is not read".
    QStringList ignored;
};

// Every rating and play count the file's tags hold, in the order of its tags.
// Never throws.
Reading read(TagLib::File &file);

// The rating a POPM frame's byte stands for, by its owner's mapping:
// Windows Media Player, MusicBee, MediaMonkey, Winamp and any owner not known
// to mean otherwise read 1-5 stars in the bands 1-31, 32-95, 96-159, 160-223,
// 224-255; Picard, Traktor and Quod Libet read the byte as a fraction of 255.
// 0 is unrated.
std::optional<int> ratingFromPopm(const QString &owner, int byte);

// The profiles a person chooses among: the CLI's names, in the order shown.
QStringList profileNames();
// A profile as the window names it: "MusicBee", "FMPS (Strawberry, Clementine, Amarok)".
QString profileTitle(const QString &profile);
// The profile a person named, in any letter case; nothing when there is none of that name.
std::optional<QString> profileNamed(const QString &name);

// The POPM owner a profile writes, or the empty text when it writes none.
QString popmOwnerOf(const QString &profile);

// The person's profile as the window and the command line keep it (the
// setting RatingProfile), or the empty text when none, or no known one, is set.
QString savedProfile();
void saveProfile(const QString &profile);

// A field a profile writes: its field address ("ID3v2:POPM:MusicBee",
// "Vorbis:FMPS_RATING") and its text in the profile's terms; the empty text
// removes the field.
struct Written {
    QString address;
    QString value;
};

// The fields a profile writes for the library's rating (0-100; absent for an
// unrated track, which each convention says its own way: a POPM byte of 0, no
// rating field) and play count, into a file whose players' fields are in tag
// (fieldaddress::freeFieldTag). Nothing when that tag has no place for them.
std::vector<Written> fieldsFor(const QString &profile, const QString &tag, std::optional<int> rating,
                               quint64 playCount);

struct Chosen {
    std::optional<int> rating;
    std::optional<quint64> playCount;
    QString ratingFrom, playCountFrom; // the fields they came from
    int ratingIndex = -1, playCountIndex = -1; // their places in Reading::found; -1 when absent
};

// One rating and one play count out of all a file holds: the profile's own
// fields first (when a profile is given), then FMPS, then POPM by how sure
// its owner's mapping is (a known player before an unknown owner before the
// empty one), then the rest. Amarok's score is never taken for a rating.
Chosen choose(const Reading &reading, const QString &profile = {});

} // namespace ratingconventions
