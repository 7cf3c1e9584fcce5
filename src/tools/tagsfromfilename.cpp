// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/tagsfromfilename.h"

#include "support/alerts.h"
#include "support/icuregex.h"
#include "support/textutils.h"
#include "tools/filenamechanger.h"

#include <algorithm>

namespace tools {

namespace {

const QString locationKey = QStringLiteral("location");
const QString durationKey = QStringLiteral("duration");
const QString trackNumberKey = QStringLiteral("trackNumber");
const QString yearKey = QStringLiteral("year");

// The catalogue key a placeholder's tag is written to: the filename changer
// reads the track number as the basic tag's "number", the library and the
// apply know it as "trackNumber".
QString catalogueKey(const QString &placeholderKey)
{
    return placeholderKey == QLatin1String("number") ? trackNumberKey : placeholderKey;
}

// The named groups a regular expression may fill, and their tags.
struct NamedGroup {
    const char *name;
    const char *key;
};
constexpr NamedGroup namedGroups[] = {{"title", "name"}, {"artist", "artist"}, {"album", "album"},
                                      {"genre", "genre"}, {"year", "year"},    {"track", "trackNumber"}};

// A character of the pattern's literal text, matched as itself whatever it is.
QString literal(QChar c)
{
    return QStringLiteral("\\x{%1}").arg(c.unicode(), 0, 16);
}

// The end of the path the pattern is matched against: its last levels
// levels (all of it for 0), without the file's extension; nothing when the
// path has fewer levels.
std::optional<QString> pathTail(const QString &path, int levels)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > slash ? path.left(dot) : path;
    if (levels == 0)
        return stem;
    qsizetype start = stem.size();
    for (int level = 0; level < levels; ++level) {
        start = start > 0 ? stem.lastIndexOf(QLatin1Char('/'), start - 1) : -1;
        if (start < 0)
            return std::nullopt;
    }
    return stem.mid(start + 1);
}

bool isNumberKey(const QString &key)
{
    return key == trackNumberKey || key == yearKey;
}

// An integer tag that reads 0 (a library's never-set number) holds no value.
bool holdsValue(const QString &key, const QString &text)
{
    return !text.isEmpty() && !(isNumberKey(key) && text == QLatin1String("0"));
}

// What the walk met that the person should hear of. Worker only.
struct Left {
    QStringList notMatching;
    QStringList notNumbers;
};

// The paths, as many as an alert can show.
QString listed(const QStringList &paths)
{
    constexpr qsizetype shown = 20;
    QString text = paths.mid(0, shown).join(QLatin1Char('\n'));
    if (paths.size() > shown)
        text += QStringLiteral("\n… and %1 more").arg(paths.size() - shown);
    return text;
}

QString leftMessage(const Left &left, const QString &pattern)
{
    QStringList parts;
    if (!left.notMatching.isEmpty())
        parts << QStringLiteral("%1 files do not match the pattern \"%2\" and were left alone:\n%3")
                     .arg(left.notMatching.size())
                     .arg(pattern, listed(left.notMatching));
    if (!left.notNumbers.isEmpty())
        parts << QStringLiteral("%1 files have no whole number where the pattern wants one, so that tag was left "
                                "alone:\n%2")
                     .arg(left.notNumbers.size())
                     .arg(listed(left.notNumbers));
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace

std::optional<NamePattern> NamePattern::make(const FromFilenameOptions &options, QString *problem)
{
    NamePattern made;
    made.underscores_ = options.underscoresToSpaces;
    made.trim_ = options.trim;
    QString expression;
    if (options.useRegular) {
        // Non-capturing, so that the person's groups keep their numbers.
        expression = QStringLiteral("(?:") + options.pattern + QStringLiteral(")\\z");
    } else {
        made.levels_ = int(options.pattern.count(QLatin1Char('/'))) + 1;
        expression = QStringLiteral("\\A");
        const QString &pattern = options.pattern;
        for (qsizetype i = 0; i < pattern.size(); ++i) {
            const NamePlaceholder *placeholder = nullptr;
            for (const NamePlaceholder &p : namePlaceholders())
                if (QStringView(pattern).mid(i, 2) == p.text)
                    placeholder = &p;
            if (!placeholder) {
                expression += pattern.at(i) == u'/' ? QStringLiteral("/") : literal(pattern.at(i));
                continue;
            }
            ++i;
            const QString key = catalogueKey(placeholder->key);
            // A placeholder used twice must find the same text both times.
            const qsizetype earlier = made.keys_.indexOf(key);
            if (earlier >= 0) {
                expression += QStringLiteral("\\%1").arg(earlier + 1);
                continue;
            }
            expression += QStringLiteral("([^/]+?)");
            made.keys_ << key;
            made.labels_ << placeholder->text;
        }
        expression += QStringLiteral("\\z");
    }
    std::optional<IcuRegex> regex = IcuRegex::compile(expression, false);
    if (!regex) {
        *problem = QStringLiteral("The regular expression you've entered is invalid. Click on the Help icon in the "
                                  "lower left corner to learn more about the ICU Regexp syntax.");
        return std::nullopt;
    }
    if (options.useRegular) {
        // Groups are found by their names; the keys list follows group numbers.
        for (const NamedGroup &group : namedGroups) {
            const std::optional<int> number = regex->groupNumber(QString::fromLatin1(group.name));
            if (!number)
                continue;
            while (made.keys_.size() < *number) {
                made.keys_ << QString();
                made.labels_ << QString();
            }
            made.keys_[*number - 1] = QString::fromLatin1(group.key);
            made.labels_[*number - 1] = QString::fromLatin1(group.name);
        }
    }
    if (std::none_of(made.keys_.cbegin(), made.keys_.cend(), [](const QString &k) { return !k.isEmpty(); })) {
        *problem = options.useRegular
                       ? QStringLiteral("The regular expression names none of the groups title, artist, album, "
                                        "genre, year or track, as in (?<title>.+), so it gives no tags.")
                       : QStringLiteral("The pattern holds none of the placeholders #t, #a, #l, #g, #y or #n, so "
                                        "it gives no tags.");
        return std::nullopt;
    }
    made.regex_ = std::make_shared<const IcuRegex>(std::move(*regex));
    return made;
}

std::optional<NameValues> NamePattern::match(const QString &path) const
{
    const std::optional<QString> tail = pathTail(path, levels_);
    if (!tail)
        return std::nullopt;
    const std::optional<QStringList> groups = regex_->groupsOfMatch(*tail);
    if (!groups)
        return std::nullopt;
    NameValues found;
    for (qsizetype g = 0; g < groups->size() && g < keys_.size(); ++g) {
        const QString &key = keys_.at(g);
        if (key.isEmpty() || groups->at(g).isNull())
            continue;
        QString value = text::withoutControlAndBidi(groups->at(g));
        if (underscores_)
            value.replace(QLatin1Char('_'), QLatin1Char(' '));
        if (trim_)
            value = value.trimmed();
        if (isNumberKey(key)) {
            const QString number = value.trimmed();
            if (!isPlaceableNumber(number)) {
                found.notNumbers << labels_.at(g);
                continue;
            }
            value = QString::number(number.toLongLong());
        }
        if (!value.isEmpty())
            found.values.append({key, value});
    }
    return found;
}

ToolStart tagsFromFilename(const FromFilenameOptions &options, TrackSource source)
{
    if (options.pattern.isEmpty())
        return Refusal{QStringLiteral("No Pattern"),
                       QStringLiteral("You need to enter a pattern to take tags from the file names.")};
    QString problem;
    std::optional<NamePattern> made = NamePattern::make(options, &problem);
    if (!made)
        return Refusal{QStringLiteral("Invalid Pattern"), problem};

    auto left = std::make_shared<Left>();
    CollectRun run;
    run.source = std::move(source);
    run.keys = made->keys();
    run.keys.removeAll(QString());
    run.keys.removeDuplicates();
    run.keys << locationKey << durationKey;
    run.tool = QStringLiteral("Tags from File Name");
    run.noChangesMessage = QStringLiteral("The file names of the tracks you've selected give no tags they don't "
                                          "already have.");
    run.step = [pattern = *made, keepExisting = options.keepExisting, left](
                   const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
        QString path = values.value(locationKey).toString();
        if (path.isEmpty() && !track.isLibraryTrack())
            path = track.path();
        if (path.isEmpty())
            return; // a library track whose file is gone has no name to read
        // TagLib gives the length of every file it can read as audio: one
        // without (a broken file named .mp3) could not take the tag.
        if (!track.isLibraryTrack() && !values.value(durationKey).isValid())
            return;
        const std::optional<NameValues> found = pattern.match(path);
        if (!found) {
            left->notMatching << path;
            return;
        }
        if (!found->notNumbers.isEmpty())
            left->notNumbers << QStringLiteral("%1 (%2)").arg(path, found->notNumbers.join(QStringLiteral(", ")));
        QStringList done;
        for (const auto &[key, value] : found->values) {
            if (done.contains(key))
                continue;
            done << key;
            const QString oldValue = tagText(values.value(key));
            if (oldValue == value || (keepExisting && holdsValue(key, oldValue)))
                continue;
            records << collector::tagRecord(track, values, key, oldValue, value);
        }
    };
    run.finish = [left, pattern = options.pattern](QList<ChangeRecord> &, ProgressSink &progress) {
        if (!left->notMatching.isEmpty() || !left->notNumbers.isEmpty())
            alertPanel(progress.port(), QStringLiteral("Names Left Alone"), leftMessage(*left, pattern));
    };
    return run;
}

} // namespace tools
