// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "tagtoolcommand.h"
#include "toolcommands.h"
#include "toolcontext.h"
#include "tools/textencodings.h"

namespace cli {
namespace {

std::optional<int> encodingOption(ToolContext &context, const QCommandLineParser &parser, const QString &option,
                                  ExitCode *failure)
{
    const int index = textencodings::indexForName(parser.value(option));
    if (!parser.isSet(option) || index < 0) {
        *failure = context.usageError(QStringLiteral("--%1 wants an encoding: %2 (or 0-%3)")
                                          .arg(option, textencodings::names().join(QStringLiteral(", ")))
                                          .arg(textencodings::count() - 1));
        return std::nullopt;
    }
    return index;
}

} // namespace

ExitCode encodingCommand(ToolContext &context)
{
    const QString encodings = textencodings::names().join(QStringLiteral(", "));
    QCommandLineParser parser;
    addTagOption(parser, QStringLiteral("The tag to convert: name, artist, album, ... (or its index)."));
    parser.addOption({QStringLiteral("from"),
                      QStringLiteral("The encoding the text is written in as bytes (characters it lacks become "
                                     "'?'): %1, any name ICU knows, or 0-13.")
                          .arg(encodings),
                      QStringLiteral("ENCODING")});
    parser.addOption({QStringLiteral("to"),
                      QStringLiteral("The encoding the bytes are read with; values whose bytes are not valid "
                                     "there are left alone."),
                      QStringLiteral("ENCODING")});
    if (const std::optional<ExitCode> done =
            context.parse(parser, QStringLiteral("encoding"),
                          QStringLiteral("Repairs tag text that was decoded with the wrong character set.")))
        return *done;

    AppDelegate &app = context.app();
    ExitCode failure = ExitCode::Success;
    if (!setTagOption(context, parser, &failure))
        return failure;
    const std::optional<int> from = encodingOption(context, parser, QStringLiteral("from"), &failure);
    if (!from)
        return failure;
    const std::optional<int> to = encodingOption(context, parser, QStringLiteral("to"), &failure);
    if (!to)
        return failure;
    app.setSelectedEncodingFrom(*from);
    app.setSelectedEncodingTo(*to);
    return context.run([&app] { app.performEncoding(); });
}

} // namespace cli
