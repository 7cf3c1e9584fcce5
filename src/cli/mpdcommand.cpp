// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "toolcommands.h"
#include "toolcontext.h"

#include <QCommandLineParser>

namespace cli {

ExitCode mpdCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("pull|push"),
                                 QStringLiteral("pull takes MPD's stickers into the library; push stores the "
                                                "library's ratings and play counts as MPD's stickers."));
    parser.addOption({QStringLiteral("host"), QStringLiteral("MPD's host (remembered; at first localhost)."),
                      QStringLiteral("H")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("MPD's port (remembered; at first 6600)."),
                      QStringLiteral("P")});
    parser.addOption({QStringLiteral("password"), QStringLiteral("MPD's password, when it asks for one (never "
                                                                 "remembered)."),
                      QStringLiteral("PW")});
    parser.addOption({QStringLiteral("music-dir"),
                      QStringLiteral("MPD's music_directory as this computer sees it; tracks are matched to MPD's "
                                     "songs by their path under it (asked once, then remembered)."),
                      QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("scale"),
                      QStringLiteral("The highest rating sticker (remembered; at first 10, as MPD clients commonly "
                                     "use): a library rating of 100 is that many."),
                      QStringLiteral("N")});
    if (const auto done = context.parse(
            parser, QStringLiteral("mpd"),
            QStringLiteral("Brings the tracks' ratings and play counts from MPD's stickers \"rating\" and "
                           "\"playCount\" into the library (pull), or stores the library's in them (push); either "
                           "way the changes are reviewed first. A pull is written in one library transaction and "
                           "can be undone; tracks outside MPD's music folder or not in its database are left out "
                           "and counted."),
            ToolContext::AllReviewOptions, 1))
        return *done;
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty() || (words.first() != QLatin1String("pull") && words.first() != QLatin1String("push")))
        return context.usageError(
            QStringLiteral("mpd wants pull or push%1").arg(words.isEmpty() ? QString() : QStringLiteral(", not '%1'").arg(words.first())));
    AppDelegate &app = context.app();
    ExitCode failure = ExitCode::BadUsage;
    if (parser.isSet(QStringLiteral("port"))) {
        const auto port = context.intOption(parser, QStringLiteral("port"), 1, 65535, &failure);
        if (!port)
            return failure;
        app.setMpdPort(*port);
    }
    if (parser.isSet(QStringLiteral("scale"))) {
        const auto scale = context.intOption(parser, QStringLiteral("scale"), 1, 100, &failure);
        if (!scale)
            return failure;
        app.setMpdRatingScale(*scale);
    }
    if (parser.isSet(QStringLiteral("host")))
        app.setMpdHost(parser.value(QStringLiteral("host")));
    if (parser.isSet(QStringLiteral("password")))
        app.setMpdPassword(parser.value(QStringLiteral("password")));
    if (parser.isSet(QStringLiteral("music-dir")))
        app.setMpdMusicFolder(parser.value(QStringLiteral("music-dir")));
    if (words.first() == QLatin1String("pull"))
        return context.run([&app] { app.performMpdPull(); });
    return context.run([&app] { app.performMpdPush(); });
}

} // namespace cli
