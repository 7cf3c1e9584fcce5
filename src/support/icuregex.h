// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <unicode/uversion.h>

#include <memory>
#include <optional>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

// An ICU regular expression as the tools use it: '^' and '$' always match at
// every line start and end, letter case is ignored when asked. Compile once on
// the main thread; the compiled pattern never changes afterwards, so the worker
// may use it (each thread keeps a matcher of its own). Positions count UTF-16
// code units, like QString, so text crosses to ICU without conversion.
class IcuRegex {
public:
    // Nothing when ICU refuses the pattern.
    static std::optional<IcuRegex> compile(const QString &pattern, bool caseInsensitive);
    // The text itself as the pattern, no character special; with
    // caseInsensitive it matches as the expressions do, by full case folding
    // ("SS" finds "ß").
    static std::optional<IcuRegex> literal(const QString &text, bool caseInsensitive);
    // The template that puts text in place of a match, character for character.
    static QString literalTemplate(const QString &text);

    // Whether templ is a replacement template ICU accepts for this pattern:
    // every '$' not escaped by a backslash names a group that exists ($0-$n or
    // ${name}). ICU checks a template only when a match uses it, so a bad one
    // would otherwise surface in the middle of a run.
    bool acceptsTemplate(const QString &templ) const;

    // Every match replaced by the template ("$n" is group n, "$0" the whole
    // match, a backslash takes the next character literally). Throws
    // NamedException when the template is not one acceptsTemplate() accepts.
    QString replaceAll(const QString &text, const QString &templ) const;

    // Whether the expression matches anywhere in text (an empty match counts).
    bool findsMatch(const QString &text) const;

    // The whole matches (not their groups) joined in order; empty when none.
    QString concatenatedMatches(const QString &text) const;

    // The text of every group of the first match, group 1 first (a group
    // that took no part in it is a null QString), or nothing when there is
    // no match. Throws NamedException when the match does not finish.
    std::optional<QStringList> groupsOfMatch(const QString &text) const;

    // The number of the group with this name; nothing when there is none.
    std::optional<int> groupNumber(const QString &name) const;

private:
    explicit IcuRegex(std::shared_ptr<const icu::RegexPattern> pattern);
    std::shared_ptr<const icu::RegexPattern> pattern_;
};
