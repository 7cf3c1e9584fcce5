// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// What the tools that rewrite the text of one tag share.
namespace tools {

// The text tag key the shared tag option points to; nothing when it points
// beyond the text tags (the pop-ups offer every tag, integer ones included).
std::optional<QString> textTagKey(const QStringList &tags, int selectedTag);

// The new text of a value; nothing when the value gives no change.
using TextTransform = std::function<std::optional<QString>(const QString &value)>;

// A collecting run that proposes, for every track holding a value of key
// (and a location, when needsLocation), the transformed value wherever it
// differs from the old one by exact comparison, over the tracks of source.
CollectRun tagToolRun(TrackSource source, const QString &key, TextTransform transform,
                      const QString &noChangesMessage, bool needsLocation = true);

} // namespace tools
