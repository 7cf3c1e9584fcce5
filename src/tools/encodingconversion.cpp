// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/encodingconversion.h"

#include "tools/tagtoolrun.h"
#include "tools/textencodings.h"

namespace tools {

namespace {

std::optional<QString> convertedOneWay(const QString &value, int fromEncoding, int toEncoding)
{
    // A value the first encoding cannot spell was never decoded with it: no repair to make.
    const std::optional<QByteArray> bytes = textencodings::encodeStrict(value, fromEncoding);
    if (!bytes)
        return std::nullopt;
    return textencodings::decodeStrict(*bytes, toEncoding);
}

} // namespace

std::optional<QString> convertedValue(const QString &value, int fromEncoding, int toEncoding)
{
    const std::optional<QString> converted = convertedOneWay(value, fromEncoding, toEncoding);
    // A change the opposite conversion cannot undo lost text on the way (a
    // character the source encoding lacks became '?'); applying it would
    // destroy the value, so it is no change at all.
    if (converted && *converted != value && convertedOneWay(*converted, toEncoding, fromEncoding) != value)
        return std::nullopt;
    return converted;
}

ToolStart convertEncoding(const EncodingOptions &options, TrackSource source)
{
    const QString noChanges = QStringLiteral(
        "The Encoding Conversion you've entered doesn't lead to any changes in the tracks you've selected.");
    if (!options.tag) {
        // There is nothing to check before the walk: a tag beyond the text
        // tags ends the walk before its first track, so only the source's own
        // alerts and then "No Changes" are seen.
        CollectRun run;
        run.noChangesMessage = noChanges;
        run.step = [](const MusicTrack &, const TrackValues &, QList<ChangeRecord> &) {};
        run.listed = [source]() -> std::optional<QList<MusicTrack>> {
            std::optional<QList<MusicTrack>> tracks = source.tracks();
            if (tracks)
                tracks->clear();
            return tracks;
        };
        return run;
    }
    const int from = options.from;
    const int to = options.to;
    // A library track whose file is gone is converted too: only the value matters.
    CollectRun run = tagToolRun(
        std::move(source), *options.tag, [from, to](const QString &value) { return convertedValue(value, from, to); },
        noChanges, /*needsLocation=*/false);
    run.tool = QStringLiteral("Encoding Conversion");
    return run;
}

} // namespace tools
