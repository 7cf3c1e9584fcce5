// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/icuregex.h"

#include "support/namedexception.h"

#include <unicode/regex.h>

namespace {

// A read-only alias of the QString's UTF-16 buffer: no copy, no UTF-8 detour.
// The QString must outlive the alias.
icu::UnicodeString alias(const QString &s)
{
    return icu::UnicodeString(false, reinterpret_cast<const char16_t *>(s.utf16()), int32_t(s.size()));
}

QString toQString(const icu::UnicodeString &u)
{
    return QString(reinterpret_cast<const QChar *>(u.getBuffer()), u.length());
}

std::unique_ptr<icu::RegexPattern> compilePattern(const icu::UnicodeString &pattern, uint32_t flags)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(pattern, flags, parseError, status));
    if (U_FAILURE(status))
        return nullptr;
    return compiled;
}

// In ICU's steps of the match engine, each on the order of a millisecond.
// ICU loops forever on some patterns (a quantified anchor before certain
// case-folded characters); a tag value takes microseconds otherwise.
constexpr int32_t probeTimeLimit = 50;
constexpr int32_t matchTimeLimit = 250;

// A matcher of the pattern, pointed at subject, for the length of one call.
// Making a matcher allocates its backtracking stack and state, which costs
// more than matching a tag value; a run matches thousands of values with one
// pattern, so each thread keeps the matcher of the pattern it used last. The
// cache holds the pattern too, so no other pattern can take its address.
// Nothing here matches while a match is going on, so one matcher a thread is
// never wanted twice at once.
class Matcher {
public:
    Matcher(const std::shared_ptr<const icu::RegexPattern> &pattern, const icu::UnicodeString &subject,
            UErrorCode &status)
        : status_(status)
    {
        Cached &cached = cache();
        if (cached.pattern == pattern && cached.matcher) {
            cached.matcher->reset(subject);
        } else {
            cached.matcher.reset(); // it refers to the pattern that may go next
            cached.pattern = pattern;
            cached.matcher.reset(pattern->matcher(subject, status));
            if (U_SUCCESS(status))
                cached.matcher->setTimeLimit(matchTimeLimit, status);
            if (U_FAILURE(status)) {
                cached.matcher.reset();
                cached.pattern.reset();
                return;
            }
        }
        matcher_ = cached.matcher.get();
    }
    // The subject is the caller's and goes with the call: the kept matcher
    // must not point at it. One that failed (out of time, out of stack) is
    // not kept, nor the stack it may have grown.
    ~Matcher()
    {
        static const icu::UnicodeString nothing;
        if (U_FAILURE(status_)) {
            cache().matcher.reset();
            cache().pattern.reset();
        } else if (matcher_) {
            matcher_->reset(nothing);
        }
    }
    Matcher(const Matcher &) = delete;
    Matcher &operator=(const Matcher &) = delete;

    icu::RegexMatcher *operator->() const { return matcher_; }

private:
    struct Cached {
        std::shared_ptr<const icu::RegexPattern> pattern;
        std::unique_ptr<icu::RegexMatcher> matcher;
    };
    static Cached &cache()
    {
        thread_local Cached cached;
        return cached;
    }
    UErrorCode &status_;
    icu::RegexMatcher *matcher_ = nullptr;
};

} // namespace

IcuRegex::IcuRegex(std::shared_ptr<const icu::RegexPattern> pattern)
    : pattern_(std::move(pattern))
{
}

std::optional<IcuRegex> IcuRegex::compile(const QString &pattern, bool caseInsensitive)
{
    uint32_t flags = UREGEX_MULTILINE;
    if (caseInsensitive)
        flags |= UREGEX_CASE_INSENSITIVE;
    std::shared_ptr<const icu::RegexPattern> compiled = compilePattern(alias(pattern), flags);
    if (!compiled)
        return std::nullopt;
    return IcuRegex(std::move(compiled));
}

std::optional<IcuRegex> IcuRegex::literal(const QString &text, bool caseInsensitive)
{
    uint32_t flags = UREGEX_LITERAL;
    if (caseInsensitive)
        flags |= UREGEX_CASE_INSENSITIVE;
    std::shared_ptr<const icu::RegexPattern> compiled = compilePattern(alias(text), flags);
    if (!compiled)
        return std::nullopt;
    return IcuRegex(std::move(compiled));
}

QString IcuRegex::literalTemplate(const QString &text)
{
    QString templ;
    templ.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\' || c == u'$')
            templ += QLatin1Char('\\');
        templ += c;
    }
    return templ;
}

bool IcuRegex::findsMatch(const QString &text) const
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString subject = alias(text);
    const Matcher matcher(pattern_, subject, status);
    return U_SUCCESS(status) && matcher->find(0, status) && U_SUCCESS(status);
}

bool IcuRegex::acceptsTemplate(const QString &templ) const
{
    // ICU parses a template only while replacing a match. A probe with the
    // same groups and names plus an empty alternative matches the empty text,
    // so ICU's own parser judges the template here.
    icu::UnicodeString probeText = icu::UnicodeString(u"(?:") + pattern_->pattern() + icu::UnicodeString(u")|");
    std::unique_ptr<icu::RegexPattern> probe = compilePattern(probeText, pattern_->flags());
    if (!probe)
        return true; // the pattern cannot be wrapped (an open \Q, say); replaceAll still reports a bad template
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString empty;
    std::unique_ptr<icu::RegexMatcher> matcher(probe->matcher(empty, status));
    // Matching the empty text should take no time, but ICU loops forever on
    // the probe of some patterns (a quantified anchor before odd characters);
    // a probe that does not end is no judgement.
    matcher->setTimeLimit(probeTimeLimit, status);
    if (U_FAILURE(status) || !matcher->find(status))
        return true;
    icu::UnicodeString out;
    matcher->appendReplacement(out, alias(templ), status);
    return U_SUCCESS(status);
}

QString IcuRegex::replaceAll(const QString &text, const QString &templ) const
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString input = alias(text);
    const Matcher matcher(pattern_, input, status);
    if (U_FAILURE(status))
        throw NamedException(QStringLiteral("Regular Expression"), QString::fromLatin1(u_errorName(status)));
    // ICU's own replaceAll takes a match that runs out of time for the end of
    // the matches; this loop sees the time-out.
    icu::UnicodeString result;
    bool replacing = false; // a failure while replacing is the template's; one while matching, the expression's
    while (matcher->find(status) && U_SUCCESS(status)) {
        replacing = true;
        matcher->appendReplacement(result, alias(templ), status);
        if (U_FAILURE(status))
            break;
        replacing = false;
    }
    if (U_SUCCESS(status))
        matcher->appendTail(result);
    if (status == U_REGEX_TIME_OUT)
        throw NamedException(QStringLiteral("Regular Expression"),
                             QStringLiteral("The regular expression did not finish matching \"%1\".").arg(text));
    // ICU gives up on some expressions whatever the text (a repeated anchor
    // overflows its backtracking stack): that is no fault of the template.
    if (U_FAILURE(status) && !replacing)
        throw NamedException(QStringLiteral("Regular Expression"),
                             QStringLiteral("The regular expression could not match \"%1\" (%2).")
                                 .arg(text, QString::fromLatin1(u_errorName(status))));
    if (U_FAILURE(status))
        throw NamedException(QStringLiteral("Regular Expression"),
                             QStringLiteral("The replacement template \"%1\" is invalid (%2).")
                                 .arg(templ, QString::fromLatin1(u_errorName(status))));
    return toQString(result);
}

QString IcuRegex::concatenatedMatches(const QString &text) const
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString input = alias(text);
    const Matcher matcher(pattern_, input, status);
    QString matches;
    if (U_FAILURE(status))
        return matches;
    while (matcher->find(status) && U_SUCCESS(status)) {
        const int32_t start = matcher->start(status);
        const int32_t end = matcher->end(status);
        matches += QStringView(text).mid(start, end - start);
    }
    return matches;
}

std::optional<QStringList> IcuRegex::groupsOfMatch(const QString &text) const
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString input = alias(text);
    const Matcher matcher(pattern_, input, status);
    if (U_FAILURE(status))
        throw NamedException(QStringLiteral("Regular Expression"), QString::fromLatin1(u_errorName(status)));
    const bool found = matcher->find(status);
    if (status == U_REGEX_TIME_OUT)
        throw NamedException(QStringLiteral("Regular Expression"),
                             QStringLiteral("The regular expression did not finish matching \"%1\".").arg(text));
    if (U_FAILURE(status) || !found)
        return std::nullopt;
    QStringList groups;
    for (int32_t g = 1; g <= matcher->groupCount(); ++g) {
        const int32_t start = matcher->start(g, status);
        const int32_t end = matcher->end(g, status);
        groups << (U_FAILURE(status) || start < 0 ? QString() : QStringView(text).mid(start, end - start).toString());
    }
    return groups;
}

std::optional<int> IcuRegex::groupNumber(const QString &name) const
{
    UErrorCode status = U_ZERO_ERROR;
    const int32_t number = pattern_->groupNumberFromName(alias(name), status);
    if (U_FAILURE(status))
        return std::nullopt;
    return int(number);
}
