// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "files/filetags.h"
#include "files/musicfiles.h"
#include "library/musiclibrary.h"
#include "reviewprinter.h"
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

void printShown(QTextStream &out, const Shown &shown)
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
    for (const auto &[key, value] : shown.library)
        out << "   " << QStringLiteral("library").leftJustified(10) << key.leftJustified(idWidth + 2) << terminal(value)
            << '\n';
}

QJsonObject shownJson(const Shown &shown)
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
    if (const auto done = context.parse(
            parser, QStringLiteral("show"),
            QStringLiteral("Prints every field each track's file holds, in its own tags' terms (ID3v2 frames, Vorbis "
                           "comments, MP4 items, APE items, ASF attributes), and what the file is: format, length, "
                           "bitrate, sample rate, channels, tags present, size. Library tracks add their row's "
                           "values. Tracks are numbered in the source's order, as --only counts them."),
            ToolContext::JsonOption | ToolContext::ScopeOption, INT_MAX))
        return *done;

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
                tracks.append(shownJson(shown));
            else
                printShown(context.out(), shown);
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
