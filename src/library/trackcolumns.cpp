// SPDX-License-Identifier: GPL-3.0-or-later
#include "trackcolumns.h"

#include "libraryerror.h"

#include <cmath>

namespace trackcolumns {

namespace {

constexpr Column columns[] = {
    {"name", Kind::Text, true},
    {"artist", Kind::Text, true},
    {"album", Kind::Text, true},
    {"lyrics", Kind::Text, true},
    {"genre", Kind::Text, true},
    {"comment", Kind::Text, true},
    {"composer", Kind::Text, true},
    {"albumArtist", Kind::Text, true},
    {"playedCount", Kind::Integer, false},
    {"skippedCount", Kind::Integer, false},
    {"bpm", Kind::Integer, true},
    {"rating", Kind::Integer, false},
    {"year", Kind::Integer, true},
    {"volumeAdjustment", Kind::Integer, false},
    {"trackNumber", Kind::Integer, true},
    {"trackCount", Kind::Integer, true},
    {"discNumber", Kind::Integer, true},
    {"discCount", Kind::Integer, true},
    {"duration", Kind::Real, true},
    {"bitRate", Kind::Integer, true},
    {"kind", Kind::Text, true},
};

} // namespace

std::span<const Column> all()
{
    return columns;
}

const Column *find(const QString &key)
{
    for (const Column &c : columns) {
        if (key == QLatin1StringView(c.key))
            return &c;
    }
    return nullptr;
}

QVariant toStored(const Column &column, const QVariant &value, const QString &purpose)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (column.kind) {
    case Kind::Text:
        return value.toString();
    case Kind::Integer:
    case Kind::Real: {
        if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty())
            return {};
        bool ok = false;
        QVariant stored;
        if (column.kind == Kind::Real) {
            stored = value.toDouble(&ok);
        } else {
            // Qt converts a floating-point value to an integer without checking
            // its range, so those take the rounding path below.
            const bool floating = value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
            if (!floating)
                stored = qlonglong(value.toLongLong(&ok));
            if (!ok) {
                // A real number for an integer property is rounded, as a number
                // field would; one that no 64-bit integer holds (or no number at
                // all, like "inf") is refused rather than rounded into garbage.
                const double d = value.toDouble(&ok);
                ok = ok && std::isfinite(d) && std::abs(d) < 9.2e18;
                if (ok)
                    stored = qlonglong(qRound64(d));
            }
        }
        if (!ok)
            throw LibraryError(purpose, QStringLiteral("\"%1\" is not a number").arg(value.toString()));
        return stored;
    }
    }
    return {};
}

} // namespace trackcolumns
