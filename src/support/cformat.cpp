// SPDX-License-Identifier: GPL-3.0-or-later
#include "cformat.h"

#include <QByteArray>

#include <cstdarg>
#include <cstdio>
#include <locale.h>

namespace text {

QString cFormat(const char *format, ...)
{
    // The application sets the person's locale at start; this thread
    // formats in C's for the length of the call only.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const locale_t previous = uselocale(cLocale);
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    QByteArray bytes(size > 0 ? size : 0, Qt::Uninitialized);
    if (size > 0)
        std::vsnprintf(bytes.data(), size_t(size) + 1, format, again);
    va_end(again);
    uselocale(previous);
    return QString::fromUtf8(bytes);
}

} // namespace text
