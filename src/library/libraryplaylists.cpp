// SPDX-License-Identifier: GPL-3.0-or-later
// Playlists, their entries and the selection.
#include "libraryinternal.h"

#include "condition.h"
#include "support/icuregex.h"

#include <QSet>
#include <algorithm>
#include <optional>
#include <vector>


using namespace libraryinternal;

QList<Playlist> MusicLibrary::userPlaylists() const
{
    Statement st(connection(), "SELECT id, name, smart FROM playlists ORDER BY position, id",
                 QStringLiteral("list the playlists"));
    QList<Playlist> playlists;
    while (st.next())
        playlists.append({st.integer(0), st.text(1), st.integer(2) != 0});
    return playlists;
}

std::optional<Playlist> MusicLibrary::playlistNamed(const QString &name) const
{
    Statement st(connection(), "SELECT id, name, smart FROM playlists WHERE name = ?1 ORDER BY position, id LIMIT 1",
                 QStringLiteral("find the playlist \"%1\"").arg(name));
    st.bind(1, name);
    if (!st.next())
        return std::nullopt;
    return Playlist{st.integer(0), st.text(1), st.integer(2) != 0};
}

std::optional<SmartRule> MusicLibrary::smartRule(qint64 playlistId) const
{
    const QString purpose = QStringLiteral("read the rule of playlist %1").arg(playlistId);
    Statement st(connection(),
                 "SELECT smart, ruleTag, ruleCondition, ruleOperand, ruleCaseInsensitive FROM playlists WHERE id = ?1",
                 purpose);
    st.bind(1, playlistId);
    if (!st.next())
        throw LibraryError(purpose, QStringLiteral("the playlist no longer exists"));
    if (st.integer(0) == 0)
        return std::nullopt;
    return SmartRule{st.text(1), int(st.integer(2)), st.text(3), st.integer(4) != 0};
}

QList<TrackRef> MusicLibrary::tracksOf(qint64 playlistId) const
{
    if (const std::optional<SmartRule> rule = smartRule(playlistId)) {
        const QString purpose = QStringLiteral("compute the smart playlist %1").arg(playlistId);
        std::optional<IcuRegex> pattern;
        if (rule->condition == condition::MatchesRegex)
            pattern = IcuRegex::compile(rule->operand, rule->caseInsensitive);
        const bool byLocation = rule->tagKey == QLatin1StringView("location");
        const trackcolumns::Column *column = byLocation ? nullptr : &columnFor(rule->tagKey, purpose);
        const QByteArray sql = byLocation ? QByteArray("SELECT id, location, stream FROM tracks ORDER BY id")
                                          : "SELECT id, " + QByteArray(column->key) + ", 0 FROM tracks ORDER BY id";
        Statement st(connection(), sql, purpose);
        QList<TrackRef> tracks;
        while (st.next()) {
            const QString value = byLocation ? liveLocation(st.text(1), st.integer(2) != 0)
                                             : readColumn(st, 1, column->kind).toString();
            if (condition::matches(rule->condition, value, rule->operand, rule->caseInsensitive, pattern ? &*pattern : nullptr))
                tracks.append({st.integer(0), playlistId, 0});
        }
        return tracks;
    }
    return tracksOf(playlistId, QStringList()).refs;
}

QList<TrackRef> MusicLibrary::selection() const
{
    return selection(QStringList()).refs;
}

void MusicLibrary::setSelection(const QList<qint64> &trackIds)
{
    Connection &db = connection();
    const QString purpose = QStringLiteral("set the selection");
    Transaction transaction(db, purpose);
    Statement(db, "DELETE FROM selection", purpose).run();
    qint64 position = 0;
    for (qint64 id : trackIds) {
        Statement insert(db, "INSERT INTO selection (position, track) SELECT ?1, id FROM tracks WHERE id = ?2", purpose);
        insert.bind(1, ++position).bind(2, id).run();
        if (db.changes() == 0)
            throw LibraryError(purpose, QStringLiteral("track %1 does not exist").arg(id));
    }
    transaction.commit();
}

namespace {

// Whether each playlist is smart, asked of the library once per playlist
// however many entries of it a long list names.
class SmartPlaylists {
public:
    explicit SmartPlaylists(const MusicLibrary &library) : library_(library) {}
    // Throws LibraryError as smartRule does for a playlist that is gone.
    bool is(qint64 playlistId)
    {
        auto it = known_.constFind(playlistId);
        if (it == known_.constEnd())
            it = known_.insert(playlistId, library_.smartRule(playlistId).has_value());
        return *it;
    }

private:
    const MusicLibrary &library_;
    QHash<qint64, bool> known_;
};

} // namespace

void MusicLibrary::deleteTrack(const TrackRef &ref)
{
    deleteTracks({ref});
}

void MusicLibrary::deleteTracks(const QList<TrackRef> &refs)
{
    Connection &db = connection();
    Transaction transaction(db, QStringLiteral("delete %1 tracks").arg(refs.size()));
    SmartPlaylists smart(*this);
    for (const TrackRef &ref : refs) {
        const QString purpose = trackPurpose("delete", ref);
        if (ref.reachedThroughLibrary()) {
            Statement st(db, "DELETE FROM tracks WHERE id = ?1", purpose);
            st.bind(1, ref.trackId).run();
            if (db.changes() == 0)
                throw LibraryError(purpose, QStringLiteral("the track no longer exists"));
            continue;
        }
        if (smart.is(ref.playlistId))
            throw LibraryError(purpose, QStringLiteral("tracks cannot be removed from a smart playlist; its rule "
                                                       "decides what it holds"));
        Statement st(db, "DELETE FROM playlist_entries WHERE id = ?1 AND playlist = ?2 AND track = ?3", purpose);
        st.bind(1, ref.entryId).bind(2, ref.playlistId).bind(3, ref.trackId).run();
        if (db.changes() == 0)
            throwGone(db, ref, purpose);
    }
    transaction.commit();
}

void MusicLibrary::restoreEntries(const QList<QPair<qint64, PlaylistEntry>> &entries)
{
    Connection &db = connection();
    Transaction transaction(db, QStringLiteral("put %1 playlist entries back").arg(entries.size()));
    SmartPlaylists smart(*this);
    for (const auto &[playlistId, entry] : entries) {
        const QString purpose =
            QStringLiteral("put track %1 back into playlist %2").arg(entry.trackId).arg(playlistId);
        if (smart.is(playlistId))
            throw LibraryError(purpose, QStringLiteral("tracks cannot be added to a smart playlist; its rule "
                                                       "decides what it holds"));
        // Positions need not be consecutive, so the old one still falls between the same neighbours.
        Statement(db, "INSERT INTO playlist_entries (id, playlist, track, position) VALUES (?1, ?2, ?3, ?4)", purpose)
            .bind(1, entry.entryId)
            .bind(2, playlistId)
            .bind(3, entry.trackId)
            .bind(4, entry.position)
            .run();
    }
    transaction.commit();
}

QList<PlaylistEntry> MusicLibrary::entriesOf(qint64 playlistId) const
{
    QList<PlaylistEntry> entries;
    Statement st(connection(), "SELECT id, track, position FROM playlist_entries WHERE playlist = ?1 ORDER BY position, id",
                 QStringLiteral("read the entries of playlist %1").arg(playlistId));
    st.bind(1, playlistId);
    while (st.next())
        entries << PlaylistEntry{st.integer(0), st.integer(1), st.integer(2)};
    return entries;
}

bool MusicLibrary::hasEntry(qint64 playlistId, const PlaylistEntry &entry) const
{
    Statement st(connection(), "SELECT 1 FROM playlist_entries WHERE id = ?1 AND playlist = ?2 AND track = ?3",
                 QStringLiteral("look for entry %1 of playlist %2").arg(entry.entryId).arg(playlistId));
    st.bind(1, entry.entryId).bind(2, playlistId).bind(3, entry.trackId);
    return st.next();
}

qint64 MusicLibrary::lastEntryId() const
{
    Statement st(connection(), "SELECT coalesce(max(id), 0) FROM playlist_entries",
                 QStringLiteral("find the last playlist entry"));
    return st.next() ? st.integer(0) : 0;
}

QList<PlaylistEntry> MusicLibrary::entriesAfter(qint64 playlistId, qint64 afterEntryId, int limit) const
{
    QList<PlaylistEntry> entries;
    // Walked by id, which holds only the entries made since; the playlist's
    // index (the unary + keeps the planner off it) would read all of its
    // entries for every page.
    Statement st(connection(),
                 "SELECT id, track, position FROM playlist_entries WHERE id > ?2 AND +playlist = ?1 ORDER BY id LIMIT ?3",
                 QStringLiteral("read the new entries of playlist %1").arg(playlistId));
    st.bind(1, playlistId).bind(2, afterEntryId).bind(3, qint64(limit));
    while (st.next())
        entries << PlaylistEntry{st.integer(0), st.integer(1), st.integer(2)};
    return entries;
}

QList<qint64> MusicLibrary::entryPositions(const QList<TrackRef> &refs) const
{
    QList<qint64> ids;
    ids.reserve(refs.size());
    for (const TrackRef &ref : refs)
        ids << ref.entryId;
    QList<qint64> positions(refs.size(), 0);
    Statement st(connection(),
                 "SELECT j.key, e.position FROM json_each(?1) j JOIN playlist_entries e ON e.id = j.value",
                 QStringLiteral("read the positions of %1 playlist entries").arg(refs.size()));
    st.bind(1, QString::fromLatin1(idsAsJson(ids)));
    while (st.next())
        positions[st.integer(0)] = st.integer(1);
    return positions;
}

void MusicLibrary::duplicateTo(const TrackRef &ref, qint64 playlistId)
{
    addTracksToPlaylist(playlistId, {ref.trackId}, false);
}

void MusicLibrary::addToPlaylist(qint64 playlistId, const QList<qint64> &trackIds)
{
    addTracksToPlaylist(playlistId, trackIds, false);
}

namespace {

// Track ids seen so far: a bit per id while the ids are about as many as the
// numbers they reach (a library's ids count up from 1), else a set, so that a
// list of a million costs a few hundred kilobytes, not tens of megabytes.
class SeenTracks {
public:
    explicit SeenTracks(const QList<qint64> &ids)
    {
        qint64 highest = 0;
        for (qint64 id : ids)
            highest = std::max(highest, id);
        if (highest < 8 * qint64(ids.size()) + (1 << 20))
            bits_.resize(size_t(highest) + 1);
    }
    // False when the id was seen before; marks it seen.
    bool insert(qint64 id)
    {
        if (id >= 0 && !bits_.empty()) {
            if (size_t(id) >= bits_.size())
                return true; // above every id of the list: never asked for again
            if (bits_[size_t(id)])
                return false;
            bits_[size_t(id)] = true;
            return true;
        }
        if (set_.contains(id))
            return false;
        set_.insert(id);
        return true;
    }

private:
    std::vector<bool> bits_;
    QSet<qint64> set_;
};

} // namespace

int MusicLibrary::addTracksToPlaylist(qint64 playlistId, const QList<qint64> &trackIds, bool skipExisting)
{
    Connection &db = connection();
    const QString purpose = QStringLiteral("add %1 tracks to playlist %2").arg(trackIds.size()).arg(playlistId);
    Transaction transaction(db, purpose);
    if (smartRule(playlistId))
        throw LibraryError(purpose, QStringLiteral("tracks cannot be added to a smart playlist; its rule decides "
                                                   "what it holds"));
    std::optional<SeenTracks> seen;
    if (skipExisting) {
        // The playlist's own tracks are read once; a track listed twice is
        // added once, where it first appears.
        seen.emplace(trackIds);
        Statement st(db, "SELECT track FROM playlist_entries WHERE playlist = ?1", purpose);
        st.bind(1, playlistId);
        while (st.next())
            seen->insert(st.integer(0));
    }
    qint64 last = 0;
    {
        Statement st(db, "SELECT COALESCE(MAX(position), 0) FROM playlist_entries WHERE playlist = ?1", purpose);
        st.bind(1, playlistId);
        if (st.next())
            last = st.integer(0);
    }
    // One statement for a chunk of the list, the new entries in the list's
    // order after the playlist's last one: their positions say the order, so
    // the rows need no sorting. The track's foreign key refuses a track that
    // is gone; only then is the chunk searched, to name it.
    constexpr qsizetype chunkSize = 65536;
    int added = 0;
    QList<qint64> chunk;
    for (qsizetype first = 0; first < trackIds.size(); first += chunkSize) {
        chunk.clear();
        for (qsizetype i = first; i < std::min(first + chunkSize, trackIds.size()); ++i)
            if (!seen || seen->insert(trackIds.at(i)))
                chunk.append(trackIds.at(i));
        if (chunk.isEmpty())
            continue;
        const QString ids = QString::fromLatin1(idsAsJson(chunk));
        try {
            Statement(db,
                      "INSERT INTO playlist_entries (playlist, track, position) "
                      "SELECT ?1, j.value, ?3 + j.key + 1 FROM json_each(?2) j",
                      purpose)
                .bind(1, playlistId)
                .bind(2, ids)
                .bind(3, last + added)
                .run();
        } catch (const LibraryError &) {
            Statement st(db,
                         "SELECT j.value FROM json_each(?1) j WHERE NOT EXISTS (SELECT 1 FROM tracks t WHERE t.id = "
                         "j.value) ORDER BY j.key LIMIT 1",
                         purpose);
            st.bind(1, ids);
            if (st.next())
                throw LibraryError(purpose, QStringLiteral("track %1 no longer exists").arg(st.integer(0)));
            throw;
        }
        added += db.changes();
    }
    transaction.commit();
    return added;
}

// Appends a playlist after the others; a smart one when rule is given.
static qint64 insertPlaylist(sqlite::Database &db, const QString &name, const SmartRule *rule)
{
    const QString purpose = QStringLiteral("create the playlist \"%1\"").arg(name);
    if (name.isEmpty())
        throw LibraryError(purpose, QStringLiteral("a playlist needs a name"));
    if (rule) {
        if (rule->condition < 0 || rule->condition >= condition::Count)
            throw LibraryError(purpose, QStringLiteral("there is no condition %1").arg(rule->condition));
        if (rule->tagKey != QLatin1StringView("location"))
            columnFor(rule->tagKey, purpose);
        if (rule->condition == condition::MatchesRegex && !IcuRegex::compile(rule->operand, false))
            throw LibraryError(purpose, QStringLiteral("the expression \"%1\" is invalid").arg(rule->operand));
    }
    Statement st(db,
                 "INSERT INTO playlists (name, position, smart, ruleTag, ruleCondition, ruleOperand, ruleCaseInsensitive) "
                 "SELECT ?1, COALESCE(MAX(position), 0) + 1, ?2, ?3, ?4, ?5, ?6 FROM playlists",
                 purpose);
    st.bind(1, name).bind(2, qint64(rule != nullptr));
    if (rule)
        st.bind(3, rule->tagKey).bind(4, qint64(rule->condition)).bind(5, rule->operand).bind(6, qint64(rule->caseInsensitive));
    st.run();
    return db.lastInsertId();
}

qint64 MusicLibrary::createPlaylist(const QString &name)
{
    return insertPlaylist(connection(), name, nullptr);
}

qint64 MusicLibrary::createSmartPlaylist(const QString &name, const SmartRule &rule)
{
    return insertPlaylist(connection(), name, &rule);
}

void MusicLibrary::deletePlaylist(qint64 playlistId)
{
    const QString purpose = QStringLiteral("delete the playlist %1").arg(playlistId);
    Connection &db = connection();
    Statement st(db, "DELETE FROM playlists WHERE id = ?1", purpose);
    st.bind(1, playlistId).run();
    if (db.changes() == 0)
        throw LibraryError(purpose, QStringLiteral("the playlist no longer exists"));
}

void MusicLibrary::setPlaylistOrigin(qint64 playlistId, const QString &origin)
{
    const QString purpose = QStringLiteral("remember where playlist %1 came from").arg(playlistId);
    Connection &db = connection();
    Statement st(db, "UPDATE playlists SET importedFrom = ?2 WHERE id = ?1 AND smart = 0", purpose);
    st.bind(1, playlistId).bind(2, origin).run();
    if (db.changes() == 0)
        throw LibraryError(purpose, QStringLiteral("the playlist no longer exists"));
}

std::optional<Playlist> MusicLibrary::playlistFrom(const QString &origin) const
{
    Statement st(connection(),
                 "SELECT id, name, smart FROM playlists WHERE importedFrom = ?1 ORDER BY position, id LIMIT 1",
                 QStringLiteral("find the playlist imported from %1").arg(origin));
    st.bind(1, origin);
    if (!st.next())
        return std::nullopt;
    return Playlist{st.integer(0), st.text(1), st.integer(2) != 0};
}

void MusicLibrary::replacePlaylistTracks(qint64 playlistId, const QList<qint64> &trackIds)
{
    const QString purpose = QStringLiteral("set the tracks of playlist %1").arg(playlistId);
    Connection &db = connection();
    Transaction transaction(db, purpose);
    Statement(db, "DELETE FROM playlist_entries WHERE playlist = ?1", purpose).bind(1, playlistId).run();
    addTracksToPlaylist(playlistId, trackIds, false);
    transaction.commit();
}

void MusicLibrary::renamePlaylist(qint64 playlistId, const QString &name)
{
    const QString purpose = QStringLiteral("rename the playlist %1 to \"%2\"").arg(playlistId).arg(name);
    if (name.isEmpty())
        throw LibraryError(purpose, QStringLiteral("a playlist needs a name"));
    Connection &db = connection();
    Statement st(db, "UPDATE playlists SET name = ?2 WHERE id = ?1", purpose);
    st.bind(1, playlistId).bind(2, name).run();
    if (db.changes() == 0)
        throw LibraryError(purpose, QStringLiteral("the playlist no longer exists"));
}
