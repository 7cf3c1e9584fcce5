// SPDX-License-Identifier: GPL-3.0-or-later
// Tracks saved whole before they leave the library, and brought back.
#include "libraryinternal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace libraryinternal;

namespace {

// The track table's columns but the id, as the file has them: a track saved
// by an older layout lacks the newer ones, which then keep their defaults.
QStringList trackColumns(sqlite::Database &db)
{
    QStringList names;
    Statement st(db, "SELECT name FROM pragma_table_info('tracks') WHERE name <> 'id' ORDER BY cid",
                 QStringLiteral("list the columns of the tracks"));
    while (st.next())
        names << st.text(0);
    return names;
}

bool exists(sqlite::Database &db, const char *sql, qint64 value, const QString &purpose)
{
    Statement st(db, sql, purpose);
    st.bind(1, value);
    return st.next();
}

} // namespace

QByteArray SavedTrack::toJson() const
{
    QJsonObject values;
    for (auto it = columns.cbegin(); it != columns.cend(); ++it)
        values.insert(it.key(), QJsonValue::fromVariant(it.value()));
    QJsonArray places;
    for (const auto &[playlist, entry] : entries)
        places.append(QJsonArray{playlist, entry.entryId, entry.position});
    QJsonArray selected;
    for (qint64 position : selection)
        selected.append(position);
    return QJsonDocument(QJsonObject{{QStringLiteral("id"), trackId},
                                     {QStringLiteral("columns"), values},
                                     {QStringLiteral("entries"), places},
                                     {QStringLiteral("selection"), selected}})
        .toJson(QJsonDocument::Compact);
}

std::optional<SavedTrack> SavedTrack::fromJson(const QByteArray &json)
{
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    if (!object.value(QStringLiteral("columns")).isObject())
        return std::nullopt;
    SavedTrack saved;
    saved.trackId = object.value(QStringLiteral("id")).toInteger();
    const QJsonObject values = object.value(QStringLiteral("columns")).toObject();
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        // JSON keeps numbers without their kind; the column's type gives it back.
        const QJsonValue v = it.value();
        saved.columns.insert(it.key(), v.isNull() ? QVariant() : v.toVariant());
    }
    for (const QJsonValue &place : object.value(QStringLiteral("entries")).toArray()) {
        const QJsonArray p = place.toArray();
        saved.entries.append({p.at(0).toInteger(), PlaylistEntry{p.at(1).toInteger(), saved.trackId, p.at(2).toInteger()}});
    }
    for (const QJsonValue &position : object.value(QStringLiteral("selection")).toArray())
        saved.selection << position.toInteger();
    return saved;
}

QList<SavedTrack> MusicLibrary::savedTracks(const QList<qint64> &trackIds) const
{
    Connection &db = connection();
    const QStringList names = trackColumns(db);
    const QByteArray row = "SELECT " + names.join(QStringLiteral(", ")).toUtf8() + " FROM tracks WHERE id = ?1";
    QList<SavedTrack> saved;
    for (qint64 id : trackIds) {
        const QString purpose = QStringLiteral("save track %1").arg(id);
        SavedTrack track;
        track.trackId = id;
        {
            Statement st(db, row, purpose);
            st.bind(1, id);
            if (!st.next())
                throw LibraryError(purpose, QStringLiteral("the track no longer exists"));
            for (qsizetype k = 0; k < names.size(); ++k)
                track.columns.insert(names.at(k), st.value(int(k)));
        }
        {
            Statement st(db, "SELECT playlist, id, position FROM playlist_entries WHERE track = ?1 ORDER BY id", purpose);
            st.bind(1, id);
            while (st.next())
                track.entries.append({st.integer(0), PlaylistEntry{st.integer(1), id, st.integer(2)}});
        }
        {
            Statement st(db, "SELECT position FROM selection WHERE track = ?1 ORDER BY position", purpose);
            st.bind(1, id);
            while (st.next())
                track.selection << st.integer(0);
        }
        saved << track;
    }
    return saved;
}

qint64 MusicLibrary::restoreTrack(const SavedTrack &saved)
{
    Connection &db = connection();
    const QString purpose = QStringLiteral("bring track %1 back into the library").arg(saved.trackId);
    Transaction transaction(db, purpose);
    // Only names the table has go into the statement: the saved text comes
    // from a file another program may have written.
    QStringList names;
    for (const QString &name : trackColumns(db))
        if (saved.columns.contains(name))
            names << name;
    const bool sameId =
        saved.trackId > 0 && !exists(db, "SELECT 1 FROM tracks WHERE id = ?1", saved.trackId, purpose);
    QByteArray sql = "INSERT INTO tracks (" + QByteArray(sameId ? "id" : "");
    QByteArray values = sameId ? "?1" : "";
    for (qsizetype k = 0; k < names.size(); ++k) {
        const bool first = !sameId && k == 0;
        sql += (first ? "" : ", ") + names.at(k).toUtf8();
        values += (first ? "" : ", ") + QByteArray("?") + QByteArray::number(k + 2);
    }
    if (names.isEmpty() && !sameId)
        sql = "INSERT INTO tracks DEFAULT VALUES";
    else
        sql += ") VALUES (" + values + ")";
    {
        Statement st(db, sql, purpose);
        if (sameId)
            st.bind(1, saved.trackId);
        for (qsizetype k = 0; k < names.size(); ++k)
            st.bind(int(k + 2), saved.columns.value(names.at(k)));
        st.run();
    }
    const qint64 id = sameId ? saved.trackId : db.lastInsertId();
    for (const auto &[playlist, entry] : saved.entries) {
        Statement smart(db, "SELECT smart FROM playlists WHERE id = ?1", purpose);
        smart.bind(1, playlist);
        if (!smart.next() || smart.integer(0) != 0)
            continue;
        const bool sameEntry = entry.entryId > 0 && !exists(db, "SELECT 1 FROM playlist_entries WHERE id = ?1", entry.entryId, purpose);
        Statement st(db,
                     sameEntry ? "INSERT INTO playlist_entries (playlist, track, position, id) VALUES (?1, ?2, ?3, ?4)"
                               : "INSERT INTO playlist_entries (playlist, track, position) VALUES (?1, ?2, ?3)",
                     purpose);
        st.bind(1, playlist).bind(2, id).bind(3, entry.position);
        if (sameEntry)
            st.bind(4, entry.entryId);
        st.run();
    }
    for (qint64 position : saved.selection)
        if (!exists(db, "SELECT 1 FROM selection WHERE position = ?1", position, purpose))
            Statement(db, "INSERT INTO selection (position, track) VALUES (?1, ?2)", purpose)
                .bind(1, position)
                .bind(2, id)
                .run();
    transaction.commit();
    return id;
}

bool MusicLibrary::trackExists(qint64 trackId) const
{
    return exists(connection(), "SELECT 1 FROM tracks WHERE id = ?1", trackId,
                  QStringLiteral("look for track %1").arg(trackId));
}
