// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantHash>

// The values a verified write expects a track to hold before it writes, as
// (key, value) pairs; a key may stand more than once ("artist" as the track's
// artist and as the tag being changed).
using TagExpectations = QList<QPair<QString, QVariant>>;

namespace tagvalue {

// A value as the change list compares it: an absent value is the empty text,
// a number its decimal text.
inline QString comparableText(const QVariant &value)
{
    return value.isValid() ? value.toString() : QString();
}

// The keys of the expectations, each once, in their order.
inline QStringList keysOf(const TagExpectations &expected)
{
    QStringList keys;
    for (const auto &entry : expected) {
        if (!keys.contains(entry.first))
            keys << entry.first;
    }
    return keys;
}

// Whether the current values hold what every expectation says.
inline bool matches(const QVariantHash &current, const TagExpectations &expected)
{
    for (const auto &[key, value] : expected) {
        if (comparableText(current.value(key)) != comparableText(value))
            return false;
    }
    return true;
}

} // namespace tagvalue
