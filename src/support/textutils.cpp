// SPDX-License-Identifier: GPL-3.0-or-later
#include "textutils.h"

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/stringoptions.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace text {
namespace {

icu::UnicodeString toIcu(const QString &s)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(s.utf16()), int32_t(s.size()));
}

QString fromIcu(const icu::UnicodeString &u)
{
    return QString(reinterpret_cast<const QChar *>(u.getBuffer()), u.length());
}

// Length in code units of the code point starting at i.
qsizetype codePointLength(const QString &s, qsizetype i)
{
    return (i + 1 < s.size() && s[i].isHighSurrogate() && s[i + 1].isLowSurrogate()) ? 2 : 1;
}

char32_t codePointAt(const QString &s, qsizetype i)
{
    return codePointLength(s, i) == 2 ? QChar::surrogateToUcs4(s[i], s[i + 1]) : s[i].unicode();
}

// Text in which the multiple replacement remembers, beside the characters, the
// places right after each occurrence it has found. Keeping those places apart
// from the characters means no key and no tag text can ever collide with them.
struct MarkedText {
    QString chars;
    std::vector<qsizetype> marks; // sorted; one place may hold several marks

    bool markedInside(qsizetype begin, qsizetype end) const
    {
        auto it = std::upper_bound(marks.begin(), marks.end(), begin);
        return it != marks.end() && *it < end;
    }
    bool markedAt(qsizetype pos) const { return std::binary_search(marks.begin(), marks.end(), pos); }

    // An occurrence counts only where no mark splits it: a mark stands
    // between characters as if it were text of its own.
    template <typename Accept>
    std::vector<qsizetype> occurrences(const QString &key, Accept accept) const
    {
        std::vector<qsizetype> found;
        qsizetype from = 0;
        for (qsizetype at; (at = chars.indexOf(key, from)) >= 0;) {
            const qsizetype end = at + key.size();
            if (!markedInside(at, end) && accept(end)) {
                found.push_back(at);
                from = end;
            } else {
                from = at + 1;
            }
        }
        return found;
    }

    void markAfter(const QString &key)
    {
        for (qsizetype at : occurrences(key, [](qsizetype) { return true; }))
            marks.insert(std::upper_bound(marks.begin(), marks.end(), at + key.size()), at + key.size());
    }

    // Replaces each marked occurrence of key, using up its mark. Returns whether anything changed.
    bool replaceMarked(const QString &key, const QString &value)
    {
        const auto found = occurrences(key, [this](qsizetype end) { return markedAt(end); });
        if (found.empty())
            return false;
        QString out;
        out.reserve(chars.size() + qsizetype(found.size()) * (value.size() - key.size()));
        std::vector<qsizetype> outMarks;
        outMarks.reserve(marks.size());
        const qsizetype growth = value.size() - key.size();
        qsizetype copied = 0;
        auto mark = marks.cbegin();
        for (std::size_t n = 0; n < found.size(); ++n) {
            const qsizetype at = found[n];
            const qsizetype shift = qsizetype(n) * growth;
            for (; mark != marks.cend() && *mark <= at; ++mark)
                outMarks.push_back(*mark + shift);
            ++mark; // the mark right after this occurrence is used up
            out += QStringView(chars).mid(copied, at - copied);
            out += value;
            copied = at + key.size();
        }
        const qsizetype shift = qsizetype(found.size()) * growth;
        for (; mark != marks.cend(); ++mark)
            outMarks.push_back(*mark + shift);
        out += QStringView(chars).mid(copied);
        chars = std::move(out);
        marks = std::move(outMarks);
        return true;
    }
};

bool usable(const QPair<QString, QString> &entry)
{
    return !entry.first.isEmpty() && !entry.second.isNull();
}

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x85: case 0x2028: case 0x2029:
        return true;
    default:
        return false;
    }
}

// Articles come first: a small word directly followed by another ("Out Of The
// Blue") has both lowered only when the second one's key is tried first, and
// the second one is nearly always an article.
const ReplacementMap &smallWords()
{
    static const ReplacementMap table = [] {
        ReplacementMap t;
        for (const char *word : {"The", "A", "An", "And", "As", "At", "But", "By", "En", "For", "If", "In",
                                 "Of", "On", "Or", "Nor", "To", "V", "Via", "Vs", "Up", "It"}) {
            const QString key = QLatin1Char(' ') + QLatin1String(word) + QLatin1Char(' ');
            t.append({key, key.toLower()});
        }
        return t;
    }();
    return table;
}

} // namespace

QString stringByReplacingMultipleStrings(const QString &text, const ReplacementMap &map)
{
    MarkedText t{text, {}};
    for (const auto &entry : map) {
        if (usable(entry))
            t.markAfter(entry.first);
    }
    // Each round uses up at least one mark, so this ends.
    for (bool changed = true; changed;) {
        changed = false;
        for (const auto &entry : map) {
            if (usable(entry) && t.replaceMarked(entry.first, entry.second))
                changed = true;
        }
    }
    return t.chars;
}

QString uppercaseString(const QString &text)
{
    icu::UnicodeString u = toIcu(text);
    return fromIcu(u.toUpper(icu::Locale::getRoot()));
}

QString lowercaseString(const QString &text)
{
    icu::UnicodeString u = toIcu(text);
    return fromIcu(u.toLower(icu::Locale::getRoot()));
}

QString capitalizedString(const QString &text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype end = i;
        while (end < text.size() && !QChar::isSpace(codePointAt(text, end)))
            end += codePointLength(text, end);
        if (end > i) {
            icu::UnicodeString word = toIcu(text.mid(i, end - i));
            out += fromIcu(word.toTitle(nullptr, icu::Locale::getRoot(), U_TITLECASE_WHOLE_STRING));
        }
        i = end;
        while (i < text.size() && QChar::isSpace(codePointAt(text, i))) {
            const qsizetype len = codePointLength(text, i);
            out += QStringView(text).mid(i, len);
            i += len;
        }
    }
    return out;
}

QString titlecaseString(const QString &text)
{
    return stringByReplacingMultipleStrings(capitalizedString(text), smallWords());
}

QString propercaseString(const QString &text)
{
    if (text.isEmpty())
        return text;
    const qsizetype first = codePointLength(text, 0);
    return uppercaseString(text.left(first)) + lowercaseString(text.mid(first));
}

QString clamp(const QString &text, quint32 n)
{
    if (quint64(n) >= quint64(text.size()))
        return text;
    qsizetype cut = qsizetype(n);
    if (cut > 0 && text[cut - 1].isHighSurrogate() && text[cut].isLowSurrogate())
        --cut;
    return text.left(cut);
}

bool contains(const QString &text, const QString &s, bool insensitive)
{
    if (s.isEmpty())
        return false;
    if (!insensitive)
        return text.contains(s, Qt::CaseSensitive);
    // Between ASCII texts full case folding is plain lower-casing, which Qt
    // does in place; anything else may fold to more or other characters
    // (ß to ss, the Kelvin sign to k) and goes through ICU.
    const auto ascii = [](const QString &t) {
        char16_t high = 0;
        for (const QChar c : t)
            high |= c.unicode();
        return high < 0x80;
    };
    if (ascii(text) && ascii(s))
        return text.contains(s, Qt::CaseInsensitive);
    icu::UnicodeString hay = toIcu(text);
    icu::UnicodeString needle = toIcu(s);
    hay.foldCase(U_FOLD_CASE_DEFAULT);
    needle.foldCase(U_FOLD_CASE_DEFAULT);
    return hay.indexOf(needle) >= 0;
}

QStringList lines(const QString &text)
{
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isLineBreak(text[i])) {
            pieces.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    pieces.append(text.mid(start));
    return pieces;
}

QStringList words(const QString &text)
{
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')) {
            pieces.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    pieces.append(text.mid(start));
    return pieces;
}

QString escaped(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toPercentEncoding(":/?&=@!$'()*+,;"));
}

bool isLetter(char32_t c)
{
    return QChar::isLetter(c) || QChar::isMark(c);
}

QString stringByTrimmingLeadingCharactersInSet(const QString &text, const CharacterSet &set)
{
    qsizetype i = 0;
    while (i < text.size() && set(codePointAt(text, i)))
        i += codePointLength(text, i);
    return text.mid(i);
}

QString stringByTrimmingTrailingCharactersInSet(const QString &text, const CharacterSet &set)
{
    qsizetype end = text.size();
    while (end > 0) {
        qsizetype start = end - 1;
        if (start > 0 && text[start].isLowSurrogate() && text[start - 1].isHighSurrogate())
            --start;
        if (!set(codePointAt(text, start)))
            break;
        end = start;
    }
    return text.left(end);
}

int intValue(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 magnitude = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i)
        magnitude = std::min(limit, magnitude * 10 + (text[i].unicode() - '0'));
    const qint64 v = negative ? -magnitude : magnitude;
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int intValue(const QVariant &value)
{
    constexpr qint64 lo = std::numeric_limits<int>::min();
    constexpr qint64 hi = std::numeric_limits<int>::max();
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return 0;
    case QMetaType::QString:
        return intValue(value.toString());
    case QMetaType::QByteArray:
        return intValue(QString::fromUtf8(value.toByteArray()));
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        return std::isnan(d) ? 0 : int(std::clamp(std::trunc(d), double(lo), double(hi)));
    }
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UInt:
        return int(std::min<quint64>(value.toULongLong(), quint64(hi)));
    default:
        break;
    }
    bool ok = false;
    const qint64 v = value.toLongLong(&ok);
    return ok ? int(std::clamp(v, lo, hi)) : 0;
}

bool isControlOrBidi(char32_t c)
{
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f))
        return true;
    switch (c) {
    case 0x061c: // Arabic letter mark
    case 0x200e: // left-to-right mark
    case 0x200f: // right-to-left mark
        return true;
    default:
        // Embeddings and overrides, then isolates.
        return (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
    }
}

QString withoutControlAndBidi(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = codePointLength(text, i);
        if (!isControlOrBidi(codePointAt(text, i)))
            kept.append(text.constData() + i, n);
        i += n;
    }
    return kept;
}

namespace {

// A hexadecimal code of c written into out as prefix and digits; the length written.
int codeEscape(char16_t *out, char16_t prefix, char32_t c, int digits, bool upper)
{
    // A pointer, not a subscripted conditional of two arrays: GCC 12 with
    // -fsanitize=undefined gets the shift below wrong in that form.
    const char *hex = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    out[0] = u'\\';
    out[1] = prefix;
    for (int i = 0; i < digits; ++i) {
        const unsigned nibble = (c >> (4 * (digits - 1 - i))) & 0xf;
        out[2 + i] = char16_t(hex[nibble]);
    }
    return 2 + digits;
}

// Whether the unit is shown as something else.
inline bool isEscaped(char16_t c, bool keepLineFeeds)
{
    // Printable ASCII, most of any text, needs no closer look.
    if (c >= 0x20 && c < 0x7f)
        return false;
    return isControlOrBidi(c) && !(keepLineFeeds && c == u'\n');
}

// How c is shown, written into out; the length written (at most 6). Every
// character escaped lies in the basic plane, where no surrogate does, so a
// text is walked unit by unit.
int escapeOf(char16_t c, ControlStyle style, char16_t *out)
{
    if (style == ControlStyle::Json)
        return codeEscape(out, u'u', c, 4, false);
    if (style == ControlStyle::Window && (c < 0x20 || c == 0x7f)) {
        out[0] = c == 0x7f ? char16_t(0x2421) : char16_t(0x2400 + c);
        return 1;
    }
    if (c == u'\n' || c == u'\r' || c == u'\t' || c == 0x1b) {
        out[0] = u'\\';
        out[1] = c == u'\n' ? u'n' : c == u'\r' ? u'r' : c == u'\t' ? u't' : u'e';
        return 2;
    }
    if (c < 0x20 || c == 0x7f)
        return codeEscape(out, u'x', c, 2, true);
    return codeEscape(out, u'u', c, 4, true);
}

} // namespace

void appendEscapedControls(QString &out, QStringView text, ControlStyle style, bool keepLineFeeds)
{
    // Text kept as it is goes over in runs: most text has nothing to escape,
    // and a million-track listing passes through here.
    qsizetype kept = 0; // where the run not yet copied begins
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!isEscaped(c, keepLineFeeds))
            continue;
        out.append(text.mid(kept, i - kept));
        kept = i + 1;
        char16_t shown[6];
        out.append(QStringView(shown, escapeOf(c, style, shown)));
    }
    out.append(text.mid(kept));
}

qsizetype escapedControlsLength(QStringView text, ControlStyle style, bool keepLineFeeds)
{
    qsizetype length = text.size();
    for (const QChar unit : text) {
        if (isEscaped(unit.unicode(), keepLineFeeds)) {
            char16_t shown[6];
            length += escapeOf(unit.unicode(), style, shown) - 1;
        }
    }
    return length;
}

QString escapedControls(const QString &text, ControlStyle style, bool keepLineFeeds)
{
    const auto escaped = [keepLineFeeds](QChar unit) { return isEscaped(unit.unicode(), keepLineFeeds); };
    // Text with nothing to escape is shared, not copied.
    if (std::none_of(text.cbegin(), text.cend(), escaped))
        return text;
    QString shown;
    shown.reserve(text.size() + 8);
    appendEscapedControls(shown, text, style, keepLineFeeds);
    return shown;
}

QString foldedForComparison(const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfd = icu::Normalizer2::getNFDInstance(status);
    icu::UnicodeString decomposed = U_SUCCESS(status) ? nfd->normalize(toIcu(text), status) : toIcu(text);
    if (U_FAILURE(status))
        decomposed = toIcu(text);
    icu::UnicodeString bare;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK)
            bare.append(c);
        i += U16_LENGTH(c);
    }
    return fromIcu(bare.foldCase(U_FOLD_CASE_DEFAULT));
}

} // namespace text
