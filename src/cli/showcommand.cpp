// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "files/filetags.h"
#include "files/musicfiles.h"
#include "files/ratingconventions.h"
#include "library/musiclibrary.h"
#include "reviewprinter.h"
#include "tagtoolcommand.h"
#include "support/namedexception.h"
#include "support/textutils.h"
#include "toolcommands.h"
#include "toolcontext.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QLocale>
#include <climits>

namespace cli {
namespace {

// What show tells of one track.
struct Shown {
    qsizetype position = 0; // from 0, in the source's order
    qint64 trackId = 0;     // a library track; 0 for a file
    bool dead = false;
    FileDescription file;
    QList<std::pair<QString, QString>> library; // the library row's values, by key
};

QString terminal(const QString &text)
{
    return text::escapedControls(text, text::ControlStyle::Terminal);
}

// "MP3, MPEG-1 Layer 3, 3:07, 128 kb/s, 44100 Hz, 2 channels, 4.5 MB".
QString factsLine(const FileDescription &file)
{
    QStringList facts{file.format};
    if (!file.codec.isEmpty())
        facts << file.codec;
    facts << filedescription::lengthText(file.lengthMs);
    if (file.bitrate > 0)
        facts << QStringLiteral("%1 kb/s").arg(file.bitrate);
    if (file.sampleRate > 0)
        facts << QStringLiteral("%1 Hz").arg(file.sampleRate);
    if (file.channels > 0)
        facts << (file.channels == 1 ? QStringLiteral("1 channel") : QStringLiteral("%1 channels").arg(file.channels));
    facts << QLocale::c().formattedDataSize(file.size, 1, QLocale::DataSizeTraditionalFormat);
    return facts.join(QStringLiteral(", "));
}

QString ratingText(const ratingconventions::Found &found)
{
    QStringList said;
    if (found.rating)
        said << QStringLiteral("rating %1").arg(*found.rating);
    if (found.playCount)
        said << QStringLiteral("played %1").arg(*found.playCount);
    return said.isEmpty() ? QStringLiteral("unrated") : said.join(QStringLiteral(", "));
}

// Each rating or play count the file holds, what it reads as, and which of
// them the library takes by the profile.
void printRatings(QTextStream &out, const FileDescription &file, const QString &profile)
{
    const ratingconventions::Reading &reading = file.ratings;
    if (reading.found.empty() && reading.ignored.isEmpty())
        return;
    const ratingconventions::Chosen chosen = ratingconventions::choose(reading, profile);
    qsizetype width = 0;
    for (const ratingconventions::Found &found : reading.found)
        width = std::max(width, terminal(found.field).size());
    for (qsizetype i = 0; i < qsizetype(reading.found.size()); ++i) {
        const ratingconventions::Found &found = reading.found[size_t(i)];
        QStringList wins;
        if (chosen.ratingIndex == i)
            wins << QStringLiteral("rating");
        if (chosen.playCountIndex == i)
            wins << QStringLiteral("play count");
        out << "   " << QStringLiteral("rating").leftJustified(10) << terminal(found.field).leftJustified(width + 2)
            << terminal(found.raw) << " \u2192 " << ratingText(found);
        if (!wins.isEmpty())
            out << "  (the library's " << wins.join(QStringLiteral(" and ")) << ')';
        out << '\n';
    }
    for (const QString &ignored : reading.ignored)
        out << "   " << QStringLiteral("rating").leftJustified(10) << "ignored: " << terminal(ignored) << '\n';
}

QJsonObject ratingsJson(const FileDescription &file, const QString &profile)
{
    const ratingconventions::Reading &reading = file.ratings;
    const ratingconventions::Chosen chosen = ratingconventions::choose(reading, profile);
    QJsonArray found;
    for (qsizetype i = 0; i < qsizetype(reading.found.size()); ++i) {
        const ratingconventions::Found &f = reading.found[size_t(i)];
        QJsonObject one{{"field", f.field}, {"raw", f.raw}, {"chosenForRating", chosen.ratingIndex == i},
                        {"chosenForPlayCount", chosen.playCountIndex == i}};
        if (!f.owner.isEmpty())
            one.insert("owner", f.owner);
        if (f.rating)
            one.insert("rating", *f.rating);
        if (f.playCount)
            one.insert("playCount", qint64(*f.playCount));
        found.append(one);
    }
    QJsonObject ratings{{"profile", profile}, {"found", found},
                        {"ignored", QJsonArray::fromStringList(reading.ignored)}};
    if (chosen.rating)
        ratings.insert("rating", *chosen.rating);
    if (chosen.playCount)
        ratings.insert("playCount", qint64(*chosen.playCount));
    return ratings;
}

void printShown(QTextStream &out, const Shown &shown, const QString &profile)
{
    out << shown.position + 1 << "  " << terminal(shown.file.path.isEmpty() ? QStringLiteral("(no file)") : shown.file.path)
        << '\n';
    if (shown.dead)
        out << "   dead track: its file is missing\n";
    else if (!shown.file.problem.isEmpty())
        out << "   " << terminal(shown.file.problem) << '\n';
    else
        out << "   " << factsLine(shown.file) << "\n   tags: "
            << (shown.file.tagTypes.isEmpty() ? QStringLiteral("none") : shown.file.tagTypes.join(QStringLiteral(", ")))
            << '\n';
    qsizetype idWidth = 0;
    for (const FileField &field : shown.file.fields)
        idWidth = std::max(idWidth, terminal(field.id).size());
    for (const auto &[key, value] : shown.library)
        idWidth = std::max(idWidth, key.size());
    for (const FileField &field : shown.file.fields)
        out << "   " << field.tag.leftJustified(10) << terminal(field.id).leftJustified(idWidth + 2)
            << terminal(field.value) << '\n';
    printRatings(out, shown.file, profile);
    for (const auto &[key, value] : shown.library)
        out << "   " << QStringLiteral("library").leftJustified(10) << key.leftJustified(idWidth + 2) << terminal(value)
            << '\n';
}

QJsonObject shownJson(const Shown &shown, const QString &profile)
{
    QJsonObject track{{"position", shown.position + 1}, {"path", shown.file.path}};
    if (shown.trackId != 0) {
        track.insert("trackId", shown.trackId);
        track.insert("dead", shown.dead);
    }
    if (!shown.file.problem.isEmpty())
        track.insert("problem", shown.file.problem);
    if (shown.file.problem.isEmpty() && !shown.dead) {
        track.insert("format", shown.file.format);
        track.insert("codec", shown.file.codec);
        track.insert("lengthMs", shown.file.lengthMs);
        track.insert("bitrate", shown.file.bitrate);
        track.insert("sampleRate", shown.file.sampleRate);
        track.insert("channels", shown.file.channels);
        track.insert("size", shown.file.size);
        track.insert("tagTypes", QJsonArray::fromStringList(shown.file.tagTypes));
        track.insert("ratings", ratingsJson(shown.file, profile));
    }
    QJsonArray fields;
    for (const FileField &field : shown.file.fields)
        fields.append(QJsonObject{{"tag", field.tag}, {"id", field.id}, {"value", field.value}});
    track.insert("fields", fields);
    if (shown.trackId != 0) {
        QJsonObject library;
        for (const auto &[key, value] : shown.library)
            library.insert(key, value);
        track.insert("library", library);
    }
    return track;
}

} // namespace

ExitCode showCommand(ToolContext &context)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QStringLiteral("Music files, or folders whose music files are shown; without one, "
                                                "the tracks of the source."),
                                 QStringLiteral("[PATH...]"));
    addRatingProfileOption(parser);
    if (const auto done = context.parse(
            parser, QStringLiteral("show"),
            QStringLiteral("Prints every field each track's file holds, in its own tags' terms (ID3v2 frames, Vorbis "
                           "comments, MP4 items, APE items, ASF attributes), and what the file is: format, length, "
                           "bitrate, sample rate, channels, tags present, size. Library tracks add their row's "
                           "values. The ratings and play counts among the fields are read as the library reads them, "
                           "naming the ones it takes by the rating profile. Tracks are numbered in the source's order, as --only counts them."),
            ToolContext::JsonOption | ToolContext::ScopeOption, INT_MAX))
        return *done;
    ExitCode failure = ExitCode::Success;
    const std::optional<QString> profile = ratingProfileOption(context, parser, &failure);
    if (!profile)
        return failure;

    AppDelegate &app = context.app();
    TrackSource source = app.trackSource();
    const std::optional<TrackScope> scope = std::exchange(source.scope, std::nullopt);
    const QStringList keys = app.tags() + app.integerTags();
    TrackList list;
    try {
        if (!parser.positionalArguments().isEmpty()) {
            for (const QString &argument : parser.positionalArguments()) {
                const QFileInfo info(argument);
                if (info.isDir()) {
                    for (const QString &path : musicfiles::musicFilesBelow(info.absoluteFilePath()))
                        list.tracks << MusicTrack::withPath(path, app.port());
                } else if (info.exists()) {
                    list.tracks << MusicTrack::withPath(info.absoluteFilePath(), app.port());
                } else {
                    return context.usageError(QStringLiteral("'%1' does not exist").arg(argument));
                }
            }
        } else if (std::optional<TrackList> tracks = source.tracksWithValues(keys)) {
            list = std::move(*tracks);
        } else {
            return ExitCode::Failed;
        }
        QList<qsizetype> positions;
        if (scope)
            scope->narrow(list, &positions);
        else
            for (qsizetype i = 0; i < list.tracks.size(); ++i)
                positions << i;

        QJsonArray tracks;
        for (qsizetype i = 0; i < list.tracks.size(); ++i) {
            const MusicTrack &track = list.tracks.at(i);
            Shown shown;
            shown.position = positions.at(i);
            QString path = track.path();
            if (const TrackRef *ref = track.track()) {
                shown.trackId = ref->trackId;
                const TrackValues values = list.values.size() == list.tracks.size()
                                               ? list.values.at(i)
                                               : TrackValues::fromHash(keys, track.valuesForTags(keys));
                for (const QString &key : keys)
                    if (values.value(key).isValid())
                        shown.library.append({key, tagText(values.value(key))});
                path = track.location();
                if (path.isEmpty()) {
                    path = track.library()->storedLocation(*ref);
                    shown.dead = !path.isEmpty();
                }
            }
            if (shown.dead || path.isEmpty())
                shown.file.path = path;
            else
                shown.file = filetags::describe(path);
            if (context.json())
                tracks.append(shownJson(shown, *profile));
            else
                printShown(context.out(), shown, *profile);
        }
        if (context.json())
            printJson(context.out(), QJsonDocument(QJsonObject{{"tracks", tracks}}));
    } catch (const NamedException &e) {
        context.err() << "quavertin-cli: " << text::escapedControls(e.description(), text::ControlStyle::Terminal) << '\n';
        return ExitCode::Failed;
    }
    context.out().flush();
    return list.tracks.isEmpty() ? ExitCode::Failed : ExitCode::Success;
}

} // namespace cli
