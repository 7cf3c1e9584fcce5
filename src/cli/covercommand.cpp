// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "files/embeddedpictures.h"
#include "files/filetags.h"
#include "reviewprinter.h"
#include "support/namedexception.h"
#include "support/textutils.h"
#include "toolcommands.h"
#include "toolcontext.h"
#include "tools/coverart.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <climits>

namespace cli {
namespace {

const QStringList actions = {"show", "add", "from-folder", "extract", "remove"};

QString terminal(const QString &text)
{
    return text::escapedControls(text, text::ControlStyle::Terminal);
}

// --type as a picture type; absent when it is not given.
std::optional<int> typeOption(ToolContext &context, const QCommandLineParser &parser, int absent, ExitCode *failure)
{
    if (!parser.isSet(QStringLiteral("type")))
        return absent;
    const std::optional<int> type = embeddedpictures::typeNamed(parser.value(QStringLiteral("type")));
    if (!type) {
        *failure = context.usageError(QStringLiteral("--type wants one of %1 (or a number from 0 to 20)")
                                          .arg(embeddedpictures::typeShortNames().join(QStringLiteral(", "))));
    }
    return type;
}

// Every picture of every track of the source, with no run: nothing changes.
ExitCode showPictures(ToolContext &context)
{
    AppDelegate &app = context.app();
    TrackSource source = app.trackSource();
    const std::optional<TrackScope> scope = std::exchange(source.scope, std::nullopt);
    const QStringList keys = {tools::picturesKey};
    std::optional<TrackList> list;
    try {
        list = source.tracksWithValues(keys);
        if (!list)
            return ExitCode::Failed;
        QList<qsizetype> positions;
        if (scope)
            scope->narrow(*list, &positions);
        else
            for (qsizetype i = 0; i < list->tracks.size(); ++i)
                positions << i;
        QJsonArray tracks;
        for (qsizetype i = 0; i < list->tracks.size(); ++i) {
            const MusicTrack &track = list->tracks.at(i);
            const QString path = track.isLibraryTrack() ? track.location() : track.path();
            const QVariant value = list->values.size() == list->tracks.size()
                                       ? list->values.at(i).value(tools::picturesKey)
                                       : track.valueForTag(tools::picturesKey);
            const QList<EmbeddedPicture> pictures =
                embeddedpictures::picturesOf(tagText(value)).value_or(QList<EmbeddedPicture>{});
            QJsonArray shown;
            if (!context.json())
                context.out() << positions.at(i) + 1 << "  " << terminal(path) << '\n';
            if (!context.json() && pictures.isEmpty())
                context.out() << "   no pictures\n";
            for (const EmbeddedPicture &picture : pictures) {
                const QSize size = embeddedpictures::pixelSize(picture.data);
                if (context.json()) {
                    QJsonObject one{{"type", embeddedpictures::typeName(picture.type)},
                                    {"mime", picture.mime},
                                    {"bytes", picture.data.size()},
                                    {"hash", embeddedpictures::hashOf(picture.data)},
                                    {"description", picture.description}};
                    if (size.isValid()) {
                        one.insert("width", size.width());
                        one.insert("height", size.height());
                    }
                    shown.append(one);
                } else {
                    context.out() << "   " << embeddedpictures::typeName(picture.type) << ", "
                                  << (picture.mime.isEmpty() ? QStringLiteral("unknown type") : terminal(picture.mime))
                                  << (size.isValid() ? QStringLiteral(", %1×%2").arg(size.width()).arg(size.height())
                                                     : QString())
                                  << ", " << picture.data.size() << " bytes"
                                  << (picture.description.isEmpty()
                                          ? QString()
                                          : QStringLiteral(", “%1”").arg(terminal(picture.description)))
                                  << '\n';
                }
            }
            if (context.json())
                tracks.append(QJsonObject{{"position", positions.at(i) + 1}, {"path", path}, {"pictures", shown}});
        }
        if (context.json())
            printJson(context.out(), QJsonDocument(QJsonObject{{"tracks", tracks}}));
    } catch (const NamedException &e) {
        context.err() << "quavertin-cli: " << terminal(e.description()) << '\n';
        return ExitCode::Failed;
    }
    context.out().flush();
    return list->tracks.isEmpty() ? ExitCode::Failed : ExitCode::Success;
}

} // namespace

ExitCode coverCommand(ToolContext &context)
{
    const QString action = context.arguments().value(0);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("ACTION"), actions.join(QLatin1Char('|')));
    // Without an action (--help alone) every option is listed, for the person and the completion.
    const bool all = !actions.contains(action);
    const bool adds = action == QLatin1String("add") || action == QLatin1String("from-folder");
    if (all || action == QLatin1String("add")) {
        parser.addOption({QStringLiteral("image"), QStringLiteral("The JPEG or PNG image to embed."), QStringLiteral("FILE")});
        parser.addOption({QStringLiteral("add"), QStringLiteral("Add beside the pictures of the type rather than in their place.")});
    }
    if (all || action == QLatin1String("add") || action == QLatin1String("remove"))
        parser.addOption({QStringLiteral("type"),
                          QStringLiteral("The picture type: front, back, other, ... (add: front by default; remove: every "
                                         "picture by default)."),
                          embeddedpictures::typeShortNames().join(QLatin1Char('|'))});
    if (all || adds) {
        parser.addOption({QStringLiteral("max-size"),
                          QStringLiteral("Scale larger images down to PX pixels on the longer side (re-encoded as JPEG)."),
                          QStringLiteral("PX")});
        parser.addOption({QStringLiteral("quality"), QStringLiteral("The JPEG quality of a scaled image, 1 to 100 (90)."),
                          QStringLiteral("Q")});
        parser.addOption({QStringLiteral("skip-existing"), QStringLiteral("Leave tracks that have a front cover alone.")});
    }
    if (all || action == QLatin1String("extract")) {
        parser.addOption({QStringLiteral("output"), QStringLiteral("The folder the pictures go into."), QStringLiteral("DIR")});
        parser.addOption({QStringLiteral("pattern"),
                          QStringLiteral("The file name, with #a #t #g #l #y #n for the tags (\"#a - #l\")."),
                          QStringLiteral("P")});
    }
    const int review = action == QLatin1String("show") || action == QLatin1String("extract")
                           ? ToolContext::JsonOption | ToolContext::ScopeOption
                           : ToolContext::AllReviewOptions;
    if (const std::optional<ExitCode> done = context.parse(
            parser, QStringLiteral("cover"),
            QStringLiteral("Shows, adds, extracts or removes the pictures embedded in the tracks' files: show lists "
                           "them; add embeds an image; from-folder embeds cover.jpg, folder.jpg, front.* beside each "
                           "track; extract writes each distinct picture once into a folder; remove takes them out. "
                           "Changes go through the review."),
            review, 1))
        return *done;
    if (!actions.contains(action))
        return context.usageError(QStringLiteral("cover wants one of %1").arg(actions.join(QStringLiteral(", "))));

    AppDelegate &app = context.app();
    ExitCode failure = ExitCode::Success;
    if (action == QLatin1String("show"))
        return showPictures(context);
    if (adds) {
        if (action == QLatin1String("add")) {
            if (!parser.isSet(QStringLiteral("image")))
                return context.usageError(QStringLiteral("--image is required"));
            app.setCoverImage(parser.value(QStringLiteral("image")));
            app.setCoverAddBeside(parser.isSet(QStringLiteral("add")));
            const std::optional<int> type = typeOption(context, parser, embeddedpictures::frontCover, &failure);
            if (!type)
                return failure;
            app.setCoverType(*type);
        }
        int maxSize = 0;
        if (parser.isSet(QStringLiteral("max-size"))) {
            const std::optional<int> px = context.intOption(parser, QStringLiteral("max-size"), 1, 65535, &failure);
            if (!px)
                return failure;
            maxSize = *px;
        }
        app.setCoverMaxSize(maxSize);
        if (parser.isSet(QStringLiteral("quality"))) {
            const std::optional<int> quality = context.intOption(parser, QStringLiteral("quality"), 1, 100, &failure);
            if (!quality)
                return failure;
            app.setCoverQuality(*quality);
        }
        app.setCoverSkipWithFront(parser.isSet(QStringLiteral("skip-existing")));
        const bool folder = action == QLatin1String("from-folder");
        return context.run([&app, folder] { folder ? app.performCoverFromFolder() : app.performAddCover(); });
    }
    if (action == QLatin1String("remove")) {
        const std::optional<int> type = typeOption(context, parser, -1, &failure);
        if (!type)
            return failure;
        app.setCoverRemoveType(*type);
        return context.run([&app] { app.performRemoveCovers(); });
    }
    if (!parser.isSet(QStringLiteral("output")))
        return context.usageError(QStringLiteral("--output is required"));
    app.setCoverExtractFolder(parser.value(QStringLiteral("output")));
    if (parser.isSet(QStringLiteral("pattern")))
        app.setCoverExtractPattern(parser.value(QStringLiteral("pattern")));
    return context.run([&app] { app.performExtractCovers(); });
}

} // namespace cli
