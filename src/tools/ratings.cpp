// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ratings.h"

#include "library/libraryimport.h"
#include "support/namedexception.h"

namespace tools {

namespace {

const QString ratingKey = QStringLiteral("rating");
const QString playedKey = QStringLiteral("playedCount");
const QString locationKey = QStringLiteral("location");

} // namespace

ToolStart importRatings(const RatingsOptions &options, TrackSource source)
{
    if (!options.profile.isEmpty() && !ratingconventions::profileNames().contains(options.profile))
        return Refusal{QStringLiteral("Unknown Profile"),
                       QStringLiteral("\"%1\" is no rating profile; the profiles are %2.")
                           .arg(options.profile, ratingconventions::profileNames().join(QStringLiteral(", ")))};
    if (source.method == choices::FolderSource)
        return Refusal{QStringLiteral("Library Tracks Only"),
                       QStringLiteral("Ratings and play counts are taken from the files into the library's tracks: "
                                      "choose a playlist or the library's selection as the source.")};
    CollectRun run;
    run.source = std::move(source);
    run.tool = QStringLiteral("Ratings & Play Counts");
    run.keys = {ratingKey, playedKey, locationKey};
    run.noChangesMessage =
        QStringLiteral("The files hold no rating or play count other than the library's for these tracks.");
    run.step = [profile = options.profile](const MusicTrack &track, const TrackValues &values,
                                           QList<ChangeRecord> &records) {
        const QString path = values.value(locationKey).toString();
        if (!track.isLibraryTrack() || path.isEmpty())
            return; // a dead track has no file to say anything
        ImportedFile file;
        try {
            file = libraryimport::readFile(path, profile);
        } catch (const NamedException &) {
            return; // a file that cannot be read says nothing either; its row stays
        }
        for (const QString &key : {ratingKey, playedKey}) {
            const QVariant said = file.onAdd.value(key);
            if (!said.isValid())
                continue;
            const QString oldValue = tagText(values.value(key));
            const QString newValue = QString::number(said.toLongLong());
            if (oldValue != newValue)
                records << collector::tagRecord(track, values, key, oldValue, newValue);
        }
    };
    return run;
}

} // namespace tools
