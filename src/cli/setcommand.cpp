// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "files/fieldaddress.h"
#include "tagtoolcommand.h"
#include "toolcommands.h"
#include "toolcontext.h"
#include "tools/edittags.h"

namespace cli {

ExitCode setCommand(ToolContext &context)
{
    QCommandLineParser parser;
    addTagOption(parser, QStringLiteral("The tag to set: name, artist, year, trackNumber, ... (or its index), or a "
                                  "field address such as ID3v2:TXXX:MOOD or Vorbis:MOOD."));
    parser.addOption({QStringLiteral("value"), QStringLiteral("The value; the empty text removes the field."),
                      QStringLiteral("TEXT")});
    if (const std::optional<ExitCode> done = context.parse(
            parser, QStringLiteral("set"),
            QStringLiteral("Sets one tag to one value on the tracks of the source (narrowed with --match and "
                           "--only), through the review.")))
        return *done;
    AppDelegate &app = context.app();
    ExitCode failure = ExitCode::Success;
    // A field address names a raw field of the files, beside the catalogue's tags.
    QString key = parser.value(QStringLiteral("tag"));
    if (!fieldaddress::isAddress(key)) {
        const std::optional<int> tag =
            requiredTag(context, parser, QStringLiteral("tag"), app.allTags(), app.allReadableTags(), &failure);
        if (!tag)
            return failure;
        key = app.allTags().at(*tag);
    }
    if (!parser.isSet(QStringLiteral("value")))
        return context.usageError(QStringLiteral("--value is required (the empty text removes the field)"));
    const QString value = parser.value(QStringLiteral("value"));
    return context.run([&app, key, value] { app.editTags({tools::TagEdit{key, value, std::nullopt}}); });
}

} // namespace cli
