// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/edittags.h"

#include "files/fieldaddress.h"
#include "files/filetags.h"
#include "model/tagcatalogue.h"

#include <limits>

namespace tools {

std::optional<QString> editRefusal(const QString &key, const QString &value)
{
    if (fieldaddress::isAddress(key)) {
        const QString refusal = fieldaddress::refusal(key);
        return refusal.isEmpty() ? std::nullopt : std::optional<QString>(refusal);
    }
    static const TagCatalogue catalogue = TagCatalogue::build();
    if (catalogue.tags.contains(key))
        return std::nullopt;
    if (!catalogue.integerTags.contains(key))
        return QStringLiteral("The tag '%1' cannot be edited as text.").arg(key);
    const QString number = value.trimmed();
    if (number.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qlonglong n = number.toLongLong(&ok);
    if (!ok || n < 0 || n > std::numeric_limits<qint32>::max())
        return QStringLiteral("'%1' is not a whole number from 0 to 2147483647, which is what the tag '%2' holds.")
            .arg(value, key);
    return std::nullopt;
}

QString editedValue(const QString &key, const QString &value)
{
    static const TagCatalogue catalogue = TagCatalogue::build();
    if (!catalogue.integerTags.contains(key) || value.trimmed().isEmpty())
        return catalogue.integerTags.contains(key) ? QString() : value;
    return QString::number(value.trimmed().toLongLong());
}

ToolStart editTags(const EditTagsOptions &options, TrackSource source)
{
    if (options.edits.isEmpty())
        return Refusal{QStringLiteral("No Changes"), QStringLiteral("There are no edits to save.")};
    QList<TagEdit> edits;
    for (const TagEdit &edit : options.edits) {
        if (const std::optional<QString> refusal = editRefusal(edit.key, edit.value))
            return Refusal{QStringLiteral("Invalid Value"), *refusal};
        edits << TagEdit{edit.key, editedValue(edit.key, edit.value), edit.tracks};
    }
    // Edits of chosen rows walk those rows alone, whatever is chosen now.
    if (std::all_of(edits.cbegin(), edits.cend(), [](const TagEdit &edit) { return edit.tracks.has_value(); })) {
        TrackScope edited;
        edited.byName = true;
        for (const TagEdit &edit : edits) {
            edited.trackIds.unite(edit.tracks->trackIds);
            edited.paths.unite(edit.tracks->paths);
        }
        source.scope = edited;
    }
    CollectRun run;
    run.source = std::move(source);
    for (const TagEdit &edit : edits)
        if (!run.keys.contains(edit.key))
            run.keys << edit.key;
    run.tool = QStringLiteral("Edit Tags");
    run.noChangesMessage = QStringLiteral("The tracks already hold the values you've entered.");
    run.step = [edits](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
        // One record per key of a track: the last edit that reaches it.
        QList<qsizetype> last;
        for (qsizetype i = edits.size() - 1; i >= 0; --i) {
            const TagEdit &edit = edits.at(i);
            if (edit.tracks && !edit.tracks->isNamed(track))
                continue;
            if (std::any_of(last.cbegin(), last.cend(), [&](qsizetype j) { return edits.at(j).key == edit.key; }))
                continue;
            last.prepend(i);
        }
        for (const qsizetype i : last) {
            const TagEdit &edit = edits.at(i);
            const QString oldValue = tagText(values.value(edit.key));
            if (oldValue == edit.value)
                continue;
            ChangeRecord record = collector::tagRecord(track, values, edit.key, oldValue, edit.value);
            // A file without the address's tag (an MP3 file and a Vorbis comment)
            // comes unchecked with the reason, rather than stopping the save.
            if (fieldaddress::isAddress(edit.key) && !track.isLibraryTrack()) {
                record.refusal = filetags::roomRefusal(track.path(), edit.key, edit.value);
                record.enabled = record.refusal.isEmpty();
            }
            records << record;
        }
    };
    return run;
}

} // namespace tools
