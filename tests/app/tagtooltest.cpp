// SPDX-License-Identifier: GPL-3.0-or-later
#include "tagtooltest.h"

#include "lastrun.h"
#include "operations/changelist.h"

void TagToolTest::SetUp()
{
    app.setLibraryPath(folder.filePath("library.sqlite"));
    app.applicationDidFinishLaunching();
    library = app.library();
}

QString TagToolTest::addFile(const QString &name, const QVariantHash &tags, const QString &seed)
{
    const QString path = folder.addSeed(seed, QStringLiteral("music/") + name);
    const MusicTrack track = MusicTrack::withPath(path);
    for (auto it = tags.begin(); it != tags.end(); ++it)
        track.setTag(it.key(), it.value());
    return path;
}

QVariant TagToolTest::fileValue(const QString &path, const QString &key) const
{
    return MusicTrack::withPath(path).valueForTag(key);
}

void TagToolTest::useFolder()
{
    app.pathSelected(folder.filePath("music"));
    ASSERT_EQ(app.selectedMethod(), 1);
}

qint64 TagToolTest::addLibraryTrack(const QVariantHash &values)
{
    if (playlistId == 0)
        playlistId = library->createPlaylist(QStringLiteral("Tools"));
    static int serial = 0;
    const QString path = folder.addSeed(QStringLiteral("seed.mp3"), QStringLiteral("library/%1.mp3").arg(++serial));
    const qint64 id = library->importFile(ImportedFile{path, values});
    library->addToPlaylist(playlistId, {id});
    return id;
}

QVariant TagToolTest::libraryValue(qint64 trackId, const QString &key) const
{
    return library->property(TrackRef{trackId}, key);
}

void TagToolTest::useLibraryPlaylist()
{
    app.refreshPlaylists();
    const int index = int(app.playlists().indexOf(QStringLiteral("Tools")));
    ASSERT_GE(index, 0);
    app.setSelectedPlaylist(index);
    app.setSelectedMethod(0);
}

void TagToolTest::run(const std::function<void()> &action)
{
    action();
    awaitLastRun(app);
}

QStringList TagToolTest::reviewRows() const
{
    QStringList rows;
    if (app.changes())
        for (const ChangeRecord &r : app.changes()->records)
            rows << r.oldTag + QStringLiteral(" -> ") + r.newTag;
    return rows;
}

ChangeRecord &TagToolTest::recordFor(const QString &path)
{
    static ChangeRecord none;
    if (app.changes())
        for (ChangeRecord &r : app.changes()->records)
            if (!r.track.isLibraryTrack() && r.track.path() == path)
                return r;
    ADD_FAILURE() << "no record for " << path.toStdString();
    return none;
}

ChangeRecord &TagToolTest::recordFor(qint64 trackId)
{
    static ChangeRecord none;
    if (app.changes())
        for (ChangeRecord &r : app.changes()->records)
            if (r.track.isLibraryTrack() && r.track.track()->trackId == trackId)
                return r;
    ADD_FAILURE() << "no record for track " << trackId;
    return none;
}

void TagToolTest::applyWithout(const QStringList &paths, const QList<qint64> &trackIds)
{
    ASSERT_TRUE(app.changes());
    QList<int> rows;
    const QList<ChangeRecord> &records = app.changes()->records;
    for (int row = 0; row < records.size(); ++row) {
        const MusicTrack &track = records[row].track;
        if (track.isLibraryTrack() ? trackIds.contains(track.track()->trackId) : paths.contains(track.path()))
            rows << row;
    }
    app.checkSelected(rows, 0); // the review's "uncheck the selected rows"
    app.applyChanges();
    awaitLastRun(app);
}
