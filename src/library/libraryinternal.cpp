// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryinternal.h"

#include "libraryerror.h"

#include <QFileInfo>

namespace libraryinternal {

QString trackPurpose(const char *action, const TrackRef &ref)
{
    return QStringLiteral("%1 track %2").arg(QLatin1StringView(action)).arg(ref.trackId);
}

QString keyPurpose(const char *action, const QString &key, const TrackRef &ref)
{
    return QStringLiteral("%1 \"%2\" of track %3").arg(QLatin1StringView(action), key).arg(ref.trackId);
}

const trackcolumns::Column &columnFor(const QString &key, const QString &purpose)
{
    const trackcolumns::Column *column = trackcolumns::find(key);
    if (!column)
        throw LibraryError(purpose, QStringLiteral("the library has no property \"%1\"").arg(key));
    return *column;
}

QVariant readColumn(const Statement &st, int index, trackcolumns::Kind kind)
{
    if (st.isNull(index))
        return {};
    switch (kind) {
    case trackcolumns::Kind::Text:
        return st.text(index);
    case trackcolumns::Kind::Integer:
        return QVariant(qlonglong(st.integer(index)));
    case trackcolumns::Kind::Real:
        return QVariant(st.real(index));
    }
    return {};
}

QByteArray idsAsJson(const QList<qint64> &ids)
{
    QByteArray json = "[";
    for (qint64 id : ids) {
        if (json.size() > 1)
            json += ',';
        json += QByteArray::number(id);
    }
    return json + ']';
}

QString liveLocation(const QString &stored, bool stream)
{
    if (stream || stored.isEmpty())
        return {};
    const QFileInfo info(stored);
    return info.exists() && !info.isDir() ? stored : QString();
}

void throwGone(sqlite::Database &db, const TrackRef &ref, const QString &purpose)
{
    Statement st(db, "SELECT 1 FROM tracks WHERE id = ?1", purpose);
    st.bind(1, ref.trackId);
    if (st.next() && ref.entryId != 0)
        throw LibraryError(purpose, QStringLiteral("the track is no longer in playlist %1").arg(ref.playlistId));
    throw LibraryError(purpose, QStringLiteral("the track no longer exists"));
}

} // namespace libraryinternal
