// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariant>

#include <taglib/tstring.h>

// Text between TagLib and the program, for every place that reads or writes tags.
namespace taglibtext {

// TagLib keeps its text as UTF-16 code units in a wstring, whatever the
// width of wchar_t, so the units are copied one by one.
inline QString fromTagLib(const TagLib::String &text)
{
    const std::wstring &units = text.toWString();
    QString result(static_cast<qsizetype>(units.size()), Qt::Uninitialized);
    QChar *out = result.data();
    for (wchar_t unit : units)
        *out++ = QChar(static_cast<char16_t>(unit));
    return result;
}

inline TagLib::String toTagLib(const QVariant &value)
{
    return TagLib::String(value.toString().toUtf8().toStdString(), TagLib::String::UTF8);
}

} // namespace taglibtext
