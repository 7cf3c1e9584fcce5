// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

// Text operations the tools share. Every function leaves its argument alone and
// returns a new value. Lengths and positions count UTF-16 code units, as tag
// lengths do everywhere in the program; case mapping is full Unicode mapping
// in the root locale (no language-specific rules such as Turkish dotted i).
namespace text {

// Search text -> replacement, tried in list order. A pair whose key or value is
// a null QString is skipped, as is an empty key (it would match everywhere).
using ReplacementMap = QList<QPair<QString, QString>>;

// Replaces every key by its value "at once": only occurrences present in the
// original text are replaced, and text that a replacement inserted is never
// taken for another key. Where occurrences of two keys overlap, at most one of
// them is replaced, and which one may depend on the list's order. The end of an
// inserted value may still complete an occurrence that directly follows it and
// was found in the original: in "Born In The Usa", " The " tried before " In "
// is lowered together with " In "; tried after it, it keeps its capital.
QString stringByReplacingMultipleStrings(const QString &text, const ReplacementMap &map);

QString uppercaseString(const QString &text);
QString lowercaseString(const QString &text);

// The first letter or digit of every word in upper (title) case, everything
// else in lower case. Words are separated by white space and line breaks only,
// so "(the" becomes "(The" and "it's" becomes "It's".
QString capitalizedString(const QString &text);

// Word capitalization with the small English words (" Of ", " The ", ...)
// lowered again where a space stands on each side of them.
QString titlecaseString(const QString &text);

// The first character upper case, the rest lower case.
QString propercaseString(const QString &text);

// The first n characters when n is less than the length, else the text itself.
// A cut never splits a surrogate pair: the lone half is left out, since it
// could not be stored in a tag.
QString clamp(const QString &text, quint32 n);

// Whether s occurs literally in text. With insensitive, letter case is folded
// fully first (so "STRASSE" is found in "Straße"). An empty s is never found.
bool contains(const QString &text, const QString &s, bool insensitive = false);

// The pieces between single line-break characters (LF, CR, FF, VT, NEL, LS,
// PS). CR LF gives an empty piece between them; a trailing break gives an empty
// last piece; text without breaks gives one piece, itself.
QStringList lines(const QString &text);

// The pieces between blanks and tabs; consecutive ones give empty pieces.
QStringList words(const QString &text);

// Percent-escapes what may not stand in a URL (blanks, line breaks, quotes,
// '%', '#', non-ASCII as UTF-8 bytes, ...). Letters, digits, "-._~", the
// delimiters ":/?&=" and "@!$'()*+,;" stay as they are.
QString escaped(const QString &text);

using CharacterSet = std::function<bool(char32_t)>;

// Letters and combining marks (Unicode categories L and M).
bool isLetter(char32_t c);

// The text from its first character that is not in the set; empty when all are.
QString stringByTrimmingLeadingCharactersInSet(const QString &text, const CharacterSet &set);
// The text up to its last character that is not in the set; empty when all are.
QString stringByTrimmingTrailingCharactersInSet(const QString &text, const CharacterSet &set);

// The leading integer: blanks, then an optional sign, then digits up to the
// first other character; 0 when there are no digits. Saturates at the 32-bit
// limits instead of wrapping.
int intValue(const QString &text);

// A tag value as an integer: a number gives its value truncated toward zero
// (saturated to 32 bits), a string its leading integer, anything else 0.
int intValue(const QVariant &value);

// C0 and C1 control characters, DEL, and the characters that reorder text
// for display (bidi marks, embeddings, overrides and isolates). Shown raw,
// they can drive a terminal or disguise a file's name, so names drop them
// and printed text shows them escaped.
bool isControlOrBidi(char32_t c);

// The text without any character for which isControlOrBidi holds.
QString withoutControlAndBidi(const QString &text);

// How printed text shows the characters for which isControlOrBidi holds, so
// that none of them reaches a terminal or a table raw:
// - Terminal: "\n", "\r", "\t", "\e" for escape, "\x07" for the other C0
//   controls and DEL, "\u202E" for C1 controls and the bidi characters;
// - Json: "\u001b" as JSON escapes, for text that is already JSON (a string
//   escaped this way still reads back as the same string);
// - Window: the Control Pictures symbols for C0 controls and DEL ("␛"), the
//   terminal's "\u202E" form for the rest.
// With keepLineFeeds, line feeds stay as they are: the text's own lines.
enum class ControlStyle { Terminal, Json, Window };
QString escapedControls(const QString &text, ControlStyle style, bool keepLineFeeds = false);
// The same appended to out, and the length it takes, for tables that measure
// and write many cells without making a text of each.
void appendEscapedControls(QString &out, QStringView text, ControlStyle style, bool keepLineFeeds = false);
qsizetype escapedControlsLength(QStringView text, ControlStyle style, bool keepLineFeeds = false);

// Letter case and diacritics folded away, for comparisons that ignore both.
QString foldedForComparison(const QString &text);

} // namespace text
