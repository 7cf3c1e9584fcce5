// SPDX-License-Identifier: GPL-3.0-or-later
// A user's pattern and replacement template compiled and used on a tag value:
// no crash, and a template that passes the check never fails mid-run.
#include "fuzzsupport.h"

#include "support/icuregex.h"
#include "support/namedexception.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool caseInsensitive = input.ConsumeBool();
    const QString pattern = QString::fromUtf8(input.ConsumeRandomLengthString(64));
    const QString templ = QString::fromUtf8(input.ConsumeRandomLengthString(32));
    // Tag values are short; a long subject only measures ICU's backtracking.
    const QString text = QString::fromUtf8(input.ConsumeRandomLengthString(64));

    const std::optional<IcuRegex> regex = IcuRegex::compile(pattern, caseInsensitive);
    if (!regex)
        return 0;
    (void)regex->findsMatch(text);
    (void)regex->concatenatedMatches(text);
    if (!regex->acceptsTemplate(templ))
        return 0;
    try {
        (void)regex->replaceAll(text, templ);
    } catch (const NamedException &e) {
        // A match ICU never finishes, or gives up on, is cut short and told;
        // only a failure of the accepted template itself is a finding.
        if (!e.reason().startsWith(QLatin1String("The replacement template")))
            return 0;
        fuzzsupport::fail("an accepted template failed", pattern + QLatin1Char('\n') + templ + QLatin1Char('\n') +
                                                              text + QLatin1Char('\n') + e.description());
    }
    return 0;
}
