// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryinternal.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace libraryinternal;

QHash<QString, qint64> MusicLibrary::fileTracksAt(const QStringList &paths) const
{
    QHash<QString, qint64> found;
    if (paths.isEmpty())
        return found;
    Connection &db = connection();
    const QString purpose = QStringLiteral("look up %1 locations").arg(paths.size());
    // All paths travel as one JSON array so that any number of them is one query.
    const QByteArray json = QJsonDocument(QJsonArray::fromStringList(paths)).toJson(QJsonDocument::Compact);
    Statement st(db,
                 "SELECT j.value, (SELECT t.id FROM tracks t WHERE t.location = j.value AND t.stream = 0 "
                 "ORDER BY t.id LIMIT 1) FROM json_each(?1) j",
                 purpose);
    st.bind(1, QString::fromUtf8(json));
    while (st.next()) {
        if (!st.isNull(1))
            found.insert(st.text(0), st.integer(1));
    }
    return found;
}
