// SPDX-License-Identifier: GPL-3.0-or-later
#include "relinkindex.h"

#include "model/musictrack.h"
#include "files/musicfiles.h"

namespace tools {

RelinkIndex RelinkIndex::scan(const QString &folder, const Progress &progress, QList<files::Skipped> *skipped)
{
    RelinkIndex index;
    const QStringList paths = musicfiles::musicFilesBelow(folder, skipped);
    const QStringList keys{QStringLiteral("artist"), QStringLiteral("name"), QStringLiteral("album")};
    index.files_.reserve(paths.size());
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (progress)
            progress(int(i), int(paths.size()), paths[i]);
        QVariantHash values;
        try {
            values = MusicTrack::withPath(paths[i]).valuesForTags(keys);
        } catch (const std::exception &) {
            // A file the tag reader refuses cannot be matched; the scan goes on.
            continue;
        }
        RelinkKey key{values.value(keys[0]).toString(), values.value(keys[1]).toString(),
                      values.value(keys[2]).toString()};
        // A file without any of the three values says nothing about which track it is.
        if (key.artist.isEmpty() && key.title.isEmpty() && key.album.isEmpty())
            continue;
        index.byKey_[key].append(int(index.files_.size()));
        index.files_.append(IndexedFile{paths[i], std::move(key)});
    }
    return index;
}

QList<IndexedFile> RelinkIndex::matches(const RelinkKey &key) const
{
    QList<IndexedFile> found;
    for (int i : byKey_.value(key))
        found.append(files_[i]);
    return found;
}

} // namespace tools
