// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ratings.h"

#include "files/fieldaddress.h"
#include "files/filetags.h"
#include "library/libraryimport.h"
#include "support/namedexception.h"

#include <QMutex>
#include <memory>

namespace tools {

namespace {

const QString ratingKey = QStringLiteral("rating");
const QString playedKey = QStringLiteral("playedCount");
const QString locationKey = QStringLiteral("location");

std::optional<Refusal> profileRefusal(const QString &profile)
{
    if (profile.isEmpty() || ratingconventions::profileNames().contains(profile))
        return std::nullopt;
    return Refusal{QStringLiteral("Unknown Profile"),
                   QStringLiteral("\"%1\" is no rating profile; the profiles are %2.")
                       .arg(profile, ratingconventions::profileNames().join(QStringLiteral(", ")))};
}

// What both ways share: a known profile, library tracks, their rows read.
ToolStart ratingsRun(const QString &profile, TrackSource source, const QString &folderRefusal)
{
    if (std::optional<Refusal> refusal = profileRefusal(profile))
        return *std::move(refusal);
    if (source.method == choices::FolderSource)
        return Refusal{QStringLiteral("Library Tracks Only"), folderRefusal};
    CollectRun run;
    run.source = std::move(source);
    run.tool = QStringLiteral("Ratings & Play Counts");
    run.keys = {ratingKey, playedKey, locationKey};
    return run;
}

} // namespace

ToolStart importRatings(const RatingsOptions &options, TrackSource source)
{
    ToolStart start = ratingsRun(options.profile, std::move(source),
                                 QStringLiteral("Ratings and play counts are taken from the files into the library's "
                                                "tracks: choose a playlist or the library's selection as the source."));
    CollectRun *run = std::get_if<CollectRun>(&start);
    if (!run)
        return start;
    run->noChangesMessage =
        QStringLiteral("The files hold no rating or play count other than the library's for these tracks.");
    run->step = [profile = options.profile](const MusicTrack &track, const TrackValues &values,
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
    return start;
}

ToolStart exportRatings(const RatingsOptions &options, TrackSource source)
{
    if (options.profile.isEmpty())
        return Refusal{QStringLiteral("Choose a Profile"),
                       QStringLiteral("Ratings and play counts are written in one player's fields: choose the "
                                      "profile to write (%1).")
                           .arg(ratingconventions::profileNames().join(QStringLiteral(", ")))};
    ToolStart start = ratingsRun(options.profile, std::move(source),
                                 QStringLiteral("Ratings and play counts are written from the library's tracks into "
                                                "their files: choose a playlist or the library's selection as the "
                                                "source."));
    CollectRun *run = std::get_if<CollectRun>(&start);
    if (!run)
        return start;
    run->noChangesMessage = QStringLiteral("The files already hold these tracks' ratings and play counts in the "
                                          "fields of %1.")
                               .arg(ratingconventions::profileTitle(options.profile));
    // The files the walk could not write to, told with the review: the person
    // should not take a short list for a whole one.
    struct Left {
        QMutex mutex;
        QStringList unreadable, noPlace;
    };
    auto left = std::make_shared<Left>();
    run->step = [options, left](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
        const QString path = values.value(locationKey).toString();
        if (!track.isLibraryTrack() || path.isEmpty())
            return; // a dead track has no file to write
        const int rating = values.value(ratingKey).toInt();
        if (rating <= 0 && !options.unrated)
            return;
        QString tag;
        const FileDescription file = filetags::describe(path, &tag);
        const std::vector<ratingconventions::Written> fields = ratingconventions::fieldsFor(
            options.profile, tag, rating > 0 ? std::optional<int>(std::min(rating, 100)) : std::nullopt,
            quint64(std::max<qlonglong>(0, values.value(playedKey).toLongLong())));
        if (!file.problem.isEmpty() || fields.empty()) {
            const QMutexLocker lock(&left->mutex);
            (file.problem.isEmpty() ? left->noPlace : left->unreadable) << path;
            return;
        }
        for (const ratingconventions::Written &field : fields) {
            // Players spell the names their own way (FMPS_PlayCount, FMPS_Playcount) and read any
            // spelling: the file's own is kept, so that it never holds the field twice.
            QString address = field.address;
            for (const FileField &held : file.fields)
                if (const QString heldAddress = fieldaddress::addressOf(held);
                    heldAddress.compare(address, Qt::CaseInsensitive) == 0)
                    address = heldAddress;
            const QString oldValue = tagText(fieldaddress::valueIn(file, address));
            if (oldValue != field.value)
                records << collector::tagRecord(track, values, address, oldValue, field.value);
        }
    };
    run->remark = [left, title = ratingconventions::profileTitle(options.profile)] {
        const QMutexLocker lock(&left->mutex);
        QStringList told;
        const auto tell = [&told](const QStringList &paths, const QString &why) {
            if (paths.isEmpty())
                return;
            QStringList shown = paths.mid(0, 5);
            if (paths.size() > shown.size())
                shown << QStringLiteral("and %1 more").arg(paths.size() - shown.size());
            told << why.arg(paths.size()) + QStringLiteral(": ") + shown.join(QStringLiteral(", "));
        };
        tell(left->unreadable, QStringLiteral("%1 files could not be read and were left out"));
        tell(left->noPlace, QStringLiteral("%1 files have no tag for the fields of ") + title +
                                QStringLiteral(" and were left out"));
        return told.join(QLatin1Char('\n'));
    };
    return start;
}

} // namespace tools
