// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryimport.h"

#include "model/checkedfilestream.h"
#include "model/musicfiles.h"
#include "model/nestingguard.h"
#include "model/taglibtext.h"
#include "support/dispatch.h"
#include "support/fileutils.h"
#include "support/namedexception.h"
#include "support/textutils.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

namespace libraryimport {

namespace {

using taglibtext::fromTagLib;

// Files stored per transaction: large enough that commits do not dominate,
// small enough that progress moves and a refused batch loses little.
constexpr int batchSize = 200;

QString kindFor(const QString &extension)
{
    static const QHash<QString, QString> kinds{
        {"mp3", "MPEG audio file"},      {"aac", "AAC audio file"},        {"m4a", "AAC audio file"},
        {"mp4", "MPEG-4 audio file"},    {"ogg", "Ogg Vorbis audio file"}, {"flac", "FLAC audio file"},
        {"mpc", "Musepack audio file"},  {"spx", "Speex audio file"},      {"wv", "WavPack audio file"},
        {"tta", "True Audio file"},      {"wav", "WAV audio file"},        {"aiff", "AIFF audio file"},
        {"asf", "Windows Media audio file"},
    };
    return kinds.value(extension);
}

void putText(QVariantHash &values, const char *key, const TagLib::String &s)
{
    if (!s.isEmpty())
        values.insert(key, fromTagLib(s));
}

void putNumber(QVariantHash &values, const char *key, qint64 n)
{
    if (n > 0)
        values.insert(key, qlonglong(n));
}

// "3/12" gives 3 and 12; "3" gives 3 and nothing.
std::pair<int, int> numberAndCount(const TagLib::PropertyMap &properties, const char *key)
{
    if (!properties.contains(key) || properties[key].isEmpty())
        return {0, 0};
    const QString text = fromTagLib(properties[key].front());
    const qsizetype slash = text.indexOf(u'/');
    if (slash < 0)
        return {text::intValue(text), 0};
    return {text::intValue(text.left(slash)), text::intValue(text.mid(slash + 1))};
}

int firstNumber(const TagLib::PropertyMap &properties, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        if (properties.contains(key) && !properties[key].isEmpty())
            return text::intValue(fromTagLib(properties[key].front()));
    }
    return 0;
}

// Why a file cannot be imported, in words that follow its path.
struct Unreadable {
    QString reason;
};

// Called on a large stack only.
ImportedFile readWithTagLib(const QString &path)
{
    // Opened as the track's own reads open it: regular files only, and nesting
    // that would exhaust even the large stack is refused before TagLib sees it.
    CheckedFileStream stream(path, CheckedFileStream::Access::Read);
    if (!stream.isOpen())
        throw Unreadable{QStringLiteral("the file %1").arg(stream.error())};
    const QString refusal = nestingguard::refusal(stream, musicfiles::extensionOf(path));
    if (!refusal.isEmpty())
        throw Unreadable{QStringLiteral("the file %1").arg(refusal)};
    TagLib::FileRef ref;
    try {
        ref = TagLib::FileRef(&stream, true, TagLib::AudioProperties::Average);
    } catch (const std::exception &) {
        // A crafted size that cannot be allocated.
        throw Unreadable{QStringLiteral("not a music file that can be read")};
    }
    if (ref.isNull() || !ref.file()->isValid())
        throw Unreadable{QStringLiteral("not a music file that can be read")};
    TagLib::AudioProperties *audio = ref.audioProperties();
    if (!audio || (audio->lengthInMilliseconds() <= 0 && audio->bitrate() <= 0))
        throw Unreadable{QStringLiteral("no audio found in the file")};

    ImportedFile file{path, {}};
    QVariantHash &values = file.values;
    // The generic tag first, as the track's own reads see it; the property map
    // for what it leaves out (a WAV file's INFO chunk, album artist, ...).
    const TagLib::PropertyMap properties = ref.file()->properties();
    const TagLib::Tag *tag = ref.tag();
    const auto textField = [&](const char *key, const char *property, TagLib::String (TagLib::Tag::*read)() const) {
        TagLib::String value = tag && read ? (tag->*read)() : TagLib::String();
        if (value.isEmpty() && properties.contains(property) && !properties[property].isEmpty())
            value = properties[property].front();
        putText(values, key, value);
    };
    textField("name", "TITLE", &TagLib::Tag::title);
    textField("artist", "ARTIST", &TagLib::Tag::artist);
    textField("album", "ALBUM", &TagLib::Tag::album);
    textField("comment", "COMMENT", &TagLib::Tag::comment);
    textField("genre", "GENRE", &TagLib::Tag::genre);
    textField("albumArtist", "ALBUMARTIST", nullptr);
    textField("composer", "COMPOSER", nullptr);
    textField("lyrics", "LYRICS", nullptr);
    putNumber(values, "year", tag && tag->year() ? int(tag->year()) : firstNumber(properties, {"DATE", "YEAR"}));
    const auto [trackNumber, trackCount] = numberAndCount(properties, "TRACKNUMBER");
    const auto [discNumber, discCount] = numberAndCount(properties, "DISCNUMBER");
    putNumber(values, "trackNumber", trackNumber);
    putNumber(values, "trackCount", trackCount ? trackCount : firstNumber(properties, {"TRACKTOTAL", "TOTALTRACKS"}));
    putNumber(values, "discNumber", discNumber);
    putNumber(values, "discCount", discCount ? discCount : firstNumber(properties, {"DISCTOTAL", "TOTALDISCS"}));
    putNumber(values, "bpm", firstNumber(properties, {"BPM"}));
    values.insert("duration", audio->lengthInMilliseconds() / 1000.0);
    putNumber(values, "bitRate", audio->bitrate());
    values.insert("kind", kindFor(musicfiles::extensionOf(path)));
    return file;
}

// A pipe or device named like a music file would block or never end a read.
void checkRegularFile(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        throw Unreadable{QStringLiteral("the file cannot be found or read")};
    if (!S_ISREG(info.st_mode))
        throw Unreadable{QStringLiteral("not a regular file")};
    if (info.st_size == 0)
        throw Unreadable{QStringLiteral("the file is empty")};
}

} // namespace

ImportedFile readFile(const QString &path)
{
    try {
        checkRegularFile(path);
        ImportedFile file;
        runWithLargeStack([&] { file = readWithTagLib(path); });
        return file;
    } catch (const Unreadable &e) {
        throw FileError(path, e.reason);
    }
}

Summary importFolder(MusicLibrary &library, const QString &folder,
                     const std::function<void(int done, int total)> &progress)
{
    QList<files::Skipped> skipped;
    const std::optional<QStringList> entries = files::dirContentsRecursive(folder, &skipped);
    if (!entries)
        throw FileError(folder, QStringLiteral("the folder cannot be read"));
    QStringList paths;
    for (const QString &entry : *entries) {
        if (musicfiles::isMusicFile(entry))
            paths.append(QFileInfo(entry).absoluteFilePath());
    }
    paths.sort();
    Summary summary = importPaths(library, paths, {}, progress);
    // Names the walk could not take are reported first, as they were met before any file was read.
    QList<Failure> unlisted;
    for (const files::Skipped &s : musicfiles::concerningMusic(skipped))
        unlisted.append({s.shown, s.reason});
    summary.failures = unlisted + summary.failures;
    return summary;
}

Summary importPaths(MusicLibrary &library, const QStringList &paths, const ExtraValues &extra,
                    const std::function<void(int done, int total)> &progress)
{
    Summary summary;
    summary.found = int(paths.size());
    const int before = library.trackCount();
    int stored = 0;
    for (qsizetype start = 0; start < paths.size(); start += batchSize) {
        const QStringList batch = paths.mid(start, batchSize);
        QList<ImportedFile> read;
        runWithLargeStack([&] {
            for (const QString &path : batch) {
                try {
                    checkRegularFile(path);
                    read.append(readWithTagLib(path));
                } catch (const Unreadable &e) {
                    summary.failures.append({path, e.reason});
                }
            }
        });
        if (extra)
            for (ImportedFile &file : read)
                extra(file);
        const QList<qint64> ids = library.importFiles(read);
        for (qsizetype i = 0; i < ids.size(); ++i)
            summary.ids.insert(read[i].location, ids[i]);
        stored += int(ids.size());
        if (progress)
            progress(int(start + batch.size()), summary.found);
    }
    summary.added = library.trackCount() - before;
    summary.updated = stored - summary.added;
    return summary;
}

} // namespace libraryimport
