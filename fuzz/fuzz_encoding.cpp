// SPDX-License-Identifier: GPL-3.0-or-later
// The encoding repair over any text and any pair of encodings: no crash, and
// a proposed change can always be undone by the opposite conversion, so
// applying one never loses text. Raw bytes are read in every encoding too.
#include "fuzzsupport.h"

#include "tools/encodingconversion.h"
#include "tools/textencodings.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

namespace {

// Any UTF-16, lone surrogates included: tags of broken files hold such text.
QString textFrom(const std::string &raw)
{
    return QString(reinterpret_cast<const QChar *>(raw.data()), qsizetype(raw.size() / 2));
}

bool isWellFormed(const QString &text)
{
    return QString::fromUtf8(text.toUtf8()) == text && !text.contains(QChar::ReplacementCharacter);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int from = input.ConsumeIntegralInRange<int>(0, textencodings::count() - 1);
    const int to = input.ConsumeIntegralInRange<int>(0, textencodings::count() - 1);
    const std::string raw = input.ConsumeRemainingBytesAsString();
    const QByteArray bytes = QByteArray::fromStdString(raw);

    // The bytes as every encoding reads them, strictly.
    for (int index = 0; index < textencodings::count(); ++index)
        (void)textencodings::decodeStrict(bytes, index);

    const QString value = textFrom(raw);
    // The escaped ASCII form keeps every well-formed text exactly.
    if (isWellFormed(value) && textencodings::decodeNonLossyAscii(textencodings::encodeNonLossyAscii(value)) != value)
        fuzzsupport::fail("the escaped ASCII form lost text", value);

    const std::optional<QString> changed = tools::convertedValue(value, from, to);
    if (!changed || *changed == value)
        return 0;
    const std::optional<QString> back = tools::convertedValue(*changed, to, from);
    if (back != value)
        fuzzsupport::fail("a proposed change cannot be undone",
                          QStringLiteral("from %1 to %2\nvalue: %3\nchanged: %4\nback: %5")
                              .arg(textencodings::names().at(from), textencodings::names().at(to), value, *changed,
                                   back.value_or(QStringLiteral("(nothing)"))));
    return 0;
}
