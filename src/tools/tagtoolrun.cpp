// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/tagtoolrun.h"

namespace tools {

std::optional<QString> textTagKey(const QStringList &tags, int selectedTag)
{
    if (selectedTag < 0 || selectedTag >= tags.size())
        return std::nullopt;
    return tags.at(selectedTag);
}

CollectRun tagToolRun(TrackSource source, const QString &key, TextTransform transform,
                      const QString &noChangesMessage, bool needsLocation)
{
    static const QString locationKey = QStringLiteral("location");
    CollectRun run;
    run.source = std::move(source);
    run.keys = QStringList{key};
    if (needsLocation)
        run.keys << locationKey;
    run.noChangesMessage = noChangesMessage;
    run.step = [key, needsLocation, transform = std::move(transform)](
                   const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
        const QVariant value = values.value(key);
        if (!value.isValid() || (needsLocation && !values.value(locationKey).isValid()))
            return; // no value to change, or a library track whose file is gone
        const QString oldValue = value.toString();
        const std::optional<QString> newValue = transform(oldValue);
        if (newValue && *newValue != oldValue)
            records << collector::tagRecord(track, values, key, oldValue, *newValue);
    };
    return run;
}

} // namespace tools
