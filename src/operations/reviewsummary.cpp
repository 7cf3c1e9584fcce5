// SPDX-License-Identifier: GPL-3.0-or-later
#include "reviewsummary.h"

#include "model/tagcatalogue.h"

namespace review {

namespace {

QString listSummary(const ChangeList &list, const QString &playlistName)
{
    const qsizetype count = list.records.size();
    // An undo's entries stand in the playlists its run changed, not in the one chosen now.
    if (list.playlist && list.restore) {
        bool files = false;
        bool tracks = false;
        for (const Comeback &comeback : list.comebacks) {
            files = files || !comeback.trashedPath.isEmpty();
            tracks = tracks || comeback.saved;
        }
        return QStringLiteral("Checked tracks of these %1 tracks will be put back into %2%3:")
            .arg(count)
            .arg(tracks ? QStringLiteral("the library and their playlists") : QStringLiteral("their playlists"))
            .arg(files ? QStringLiteral(", their files taken out of the Trash") : QString());
    }
    if (list.playlist && list.undoOf != 0 && list.remove)
        return QStringLiteral("Checked tracks of these %1 tracks will be taken back out of their playlists%2:")
            .arg(count)
            .arg(list.trash ? QStringLiteral(", their files moved to the Trash") : QString());
    if (list.playlist) {
        const QString format = list.remove
                                   ? QStringLiteral("Checked tracks of these %1 tracks will removed from the playlist '%2':")
                                   : QStringLiteral("Checked tracks of these %1 tracks will added to the playlist '%2':");
        return format.arg(count).arg(playlistName);
    }
    // Only the first ten records are looked at: enough to name what a tool
    // changes without walking a list of a hundred thousand.
    QStringList keys;
    for (qsizetype i = 0; i < count && i < 10; ++i)
        if (const QString &name = TagCatalogue::displayName(list.records.at(i).tagToChange); !keys.contains(name))
            keys << name;
    if (keys.size() == 1)
        return QStringLiteral("Checked tracks of these %1 tracks will get their tag '%2' changed:").arg(count).arg(keys.first());
    return QStringLiteral("Checked tracks of these %1 tracks will get their tags '%2' changed:")
        .arg(count)
        .arg(keys.join(QStringLiteral("', '")));
}

} // namespace

QString summary(const ChangeList &list, const QString &playlistName)
{
    // An undo looks like the run it takes back; it says which run it undoes first.
    if (list.undoOf != 0)
        return QStringLiteral("Undo of %1. %2")
            .arg(list.source.isEmpty() ? QStringLiteral("run %1").arg(list.undoOf) : list.source,
                 listSummary(list, playlistName));
    return listSummary(list, playlistName);
}

} // namespace review
