// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "librarycommands.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>

namespace cli {

class ToolContext;

// The --tag option of the tag tools: a key of the tag catalogue ("name",
// "artist", "year", ...) or its index there.
void addTagOption(QCommandLineParser &parser, const QString &description);

// Sets the shared tag option from --tag. False with *failure set (after the
// usage message) when --tag is missing or names no tag.
bool setTagOption(ToolContext &context, const QCommandLineParser &parser, ExitCode *failure);

// Reads a required tag option as an index into keys: the key ("name"), its
// letter case aside, the display name in any letter case ("Album Artist",
// "track number"), "title" for the title's key, or the index.
std::optional<int> requiredTag(ToolContext &context, const QCommandLineParser &parser, const QString &option,
                               const QStringList &keys, const QStringList &displayNames, ExitCode *failure);

// The key a tag name names, as requiredTag reads it (not by index); nothing when none.
std::optional<QString> tagKeyNamed(const QStringList &keys, const QStringList &displayNames, const QString &name);

// Reads a required option as an index into choices (a name, or its index).
std::optional<int> requiredChoice(ToolContext &context, const QCommandLineParser &parser, const QString &option,
                                  const QStringList &choices, ExitCode *failure);

// --rating-profile NAME: whose fields win when a file holds several ratings
// or play counts.
void addRatingProfileOption(QCommandLineParser &parser);
// The profile --rating-profile names, else the person's saved one (maybe
// none: the empty text). Nothing, with *failure set, for a name no profile has.
std::optional<QString> ratingProfileOption(ToolContext &context, const QCommandLineParser &parser, ExitCode *failure);

} // namespace cli
