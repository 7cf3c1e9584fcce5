// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class IcuRegex;

namespace tools {

// The tool's options, read when the person starts it.
struct FromFilenameOptions {
    // The filename changer's placeholders with "/" between folder levels,
    // matched against the end of a file's path ("#a/#l/#n - #t"); or, with
    // useRegular, an ICU regular expression whose named groups (title,
    // artist, album, genre, year, track) give the tags, matched against the
    // path without its extension and reaching its end.
    QString pattern;
    bool useRegular = false;
    bool underscoresToSpaces = false;
    bool trim = true;
    bool keepExisting = false; // leave a tag alone when it already has a value
};

// What one path's name gives.
struct NameValues {
    QList<QPair<QString, QString>> values; // a catalogue key and its cleaned value, in the pattern's order
    QStringList notNumbers;                // the placeholders ("#n") whose text was no number
};

// A pattern made ready to match many paths; usable on any thread once made.
class NamePattern {
public:
    // Nothing, with why in *problem, when the pattern gives no tag or does not compile.
    static std::optional<NamePattern> make(const FromFilenameOptions &options, QString *problem);

    // The catalogue keys the pattern fills.
    const QStringList &keys() const { return keys_; }

    // The values the path gives, cleaned as values typed in are (control and
    // bidi characters dropped; "_" and the spaces round them as asked);
    // nothing when the path does not match. A value that is empty once
    // cleaned gives no tag. Throws NamedException when matching does not finish.
    std::optional<NameValues> match(const QString &path) const;

private:
    std::shared_ptr<const IcuRegex> regex_;
    QStringList keys_;       // the key of each group of the expression, empty for a repeated placeholder
    QStringList labels_;     // how each group is named to the person ("#n", "track")
    int levels_ = 0;         // the path's last levels the pattern matches; 0: the whole path
    bool underscores_ = false;
    bool trim_ = true;
};

// Validates the options, then gives the run that collects the tags the
// names of the source's files give. Main thread.
ToolStart tagsFromFilename(const FromFilenameOptions &options, TrackSource source);

} // namespace tools
