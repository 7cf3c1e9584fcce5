// SPDX-License-Identifier: GPL-3.0-or-later
#include "pendingedits.h"

#include <QSet>

size_t qHash(const PendingTrack &track, size_t seed)
{
    return track.trackId != 0 ? qHash(track.trackId, seed) : qHash(track.path, seed);
}

PendingEdits::PendingEdits(QObject *parent) : QObject(parent) {}

std::optional<QString> PendingEdits::put(const QList<PendingTrack> &tracks, const QString &key,
                                         const QString &value)
{
    if (tracks.isEmpty())
        return std::nullopt;
    if (std::optional<QString> refusal = tools::editRefusal(key, value))
        return refusal;
    if (check_)
        for (const PendingTrack &track : tracks)
            if (std::optional<QString> refusal = check_(track, key, value))
                return refusal;
    const QString saved = tools::editedValue(key, value);
    QHash<PendingTrack, QString> &values = values_[key];
    if (!keys_.contains(key))
        keys_ << key;
    values.reserve(values.size() + tracks.size());
    for (const PendingTrack &track : tracks) {
        const qsizetype before = values.size();
        values.insert(track, saved);
        count_ += values.size() - before;
    }
    emit changed();
    return std::nullopt;
}

std::optional<QString> PendingEdits::valueFor(const PendingTrack &track, const QString &key) const
{
    const auto values = values_.constFind(key);
    if (values == values_.cend())
        return std::nullopt;
    const auto value = values->constFind(track);
    if (value == values->cend())
        return std::nullopt;
    return *value;
}

bool PendingEdits::contains(const PendingTrack &track) const
{
    return std::any_of(values_.cbegin(), values_.cend(),
                       [&](const QHash<PendingTrack, QString> &values) { return values.contains(track); });
}

QList<PendingTrack> PendingEdits::tracks() const
{
    QSet<PendingTrack> all;
    for (const QHash<PendingTrack, QString> &values : values_)
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            all.insert(it.key());
    return all.values();
}

void PendingEdits::clear()
{
    if (count_ == 0)
        return;
    keys_.clear();
    values_.clear();
    count_ = 0;
    emit changed();
}

void PendingEdits::forget(const QList<PendingTrack> &tracks)
{
    const qsizetype before = count_;
    for (auto values = values_.begin(); values != values_.end();) {
        for (const PendingTrack &track : tracks)
            count_ -= values->remove(track) ? 1 : 0;
        if (values->isEmpty()) {
            keys_.removeOne(values.key());
            values = values_.erase(values);
        } else {
            ++values;
        }
    }
    if (count_ != before)
        emit changed();
}

QList<tools::TagEdit> PendingEdits::edits() const
{
    QList<tools::TagEdit> edits;
    for (const QString &key : keys_) {
        const QHash<PendingTrack, QString> &values = *values_.constFind(key);
        QHash<QString, qsizetype> editOf;
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            auto at = editOf.constFind(it.value());
            if (at == editOf.cend()) {
                TrackScope scope;
                scope.byName = true;
                edits << tools::TagEdit{key, it.value(), scope};
                at = editOf.insert(it.value(), edits.size() - 1);
            }
            TrackScope &scope = *edits[*at].tracks;
            if (it.key().trackId != 0)
                scope.trackIds.insert(it.key().trackId);
            else
                scope.paths.insert(it.key().path);
        }
    }
    return edits;
}
