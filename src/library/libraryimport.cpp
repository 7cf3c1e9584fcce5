// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryimport.h"

#include "files/checkedfilestream.h"
#include "files/fileproperties.h"
#include "files/musicfiles.h"
#include "files/nestingguard.h"
#include "files/ratingconventions.h"
#include "files/taglibfile.h"
#include "files/taglibtext.h"
#include "support/dispatch.h"
#include "support/fileutils.h"
#include "support/namedexception.h"
#include "support/textutils.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <climits>
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
        {"asf", "Windows Media audio file"}, {"wma", "Windows Media audio file"}, {"opus", "Opus audio file"},
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

// Why a file cannot be imported, in words that follow its path.
struct Unreadable {
    QString reason;
};

// Called on a large stack only.
ImportedFile readWithTagLib(const QString &path, const QString &ratingProfile)
{
    // Opened as the track's own reads open it: regular files only, and nesting
    // that would exhaust even the large stack is refused before TagLib sees it.
    // Taken before the read: a file changed while it is read then looks
    // changed to the next write, which compares its values before writing.
    const QString stamp = files::stamp(path);
    CheckedFileStream stream(path, CheckedFileStream::Access::Read);
    if (!stream.isOpen())
        throw Unreadable{QStringLiteral("the file %1").arg(stream.error())};
    const QString extension = musicfiles::extensionOf(path);
    const QString refusal = nestingguard::refusal(stream, extension);
    if (!refusal.isEmpty())
        throw Unreadable{QStringLiteral("the file %1").arg(refusal)};
    TagLib::FileRef ref;
    try {
        ref = taglibfile::parse(stream, extension, true);
    } catch (const std::exception &) {
        // A crafted size that cannot be allocated.
        throw Unreadable{QStringLiteral("not a music file that can be read")};
    }
    if (ref.isNull() || !ref.file()->isValid())
        throw Unreadable{QStringLiteral("not a music file that can be read")};
    TagLib::AudioProperties *audio = ref.audioProperties();
    if (!audio || (audio->lengthInMilliseconds() <= 0 && audio->bitrate() <= 0))
        throw Unreadable{QStringLiteral("no audio found in the file")};

    ImportedFile file{path, {}, stamp};
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
    putNumber(values, "year",
              tag && tag->year() ? int(tag->year()) : fileproperties::firstNumber(properties, {"DATE", "YEAR"}));
    // Read as the library's writes to the file store them.
    for (const char *key :
         {"albumArtist", "composer", "lyrics", "trackNumber", "trackCount", "discNumber", "discCount", "bpm"}) {
        const QVariant value = fileproperties::read(properties, QLatin1StringView(key));
        if (value.isValid())
            values.insert(key, value);
    }
    values.insert("duration", audio->lengthInMilliseconds() / 1000.0);
    putNumber(values, "bitRate", audio->bitrate());
    values.insert("kind", kindFor(musicfiles::extensionOf(path)));
    // A re-import or refresh leaves the library's own rating and count
    // alone: they may have moved on since the file was written.
    ratingconventions::Reading reading = ratingconventions::read(*ref.file());
    const ratingconventions::Chosen kept = ratingconventions::choose(reading, ratingProfile);
    if (kept.rating) {
        file.onAdd.insert("rating", *kept.rating);
        file.onAddFrom.insert("rating", kept.ratingFrom);
    }
    if (kept.playCount) {
        file.onAdd.insert("playedCount", qlonglong(std::min<quint64>(*kept.playCount, INT_MAX)));
        file.onAddFrom.insert("playedCount", kept.playCountFrom);
    }
    file.ignored = std::move(reading.ignored);
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

void noteIgnored(const QList<ImportedFile> &files, QList<Failure> &ignored)
{
    for (const ImportedFile &file : files)
        for (const QString &line : file.ignored)
            ignored.append({file.location, line});
}

QString valueText(const QVariant &value)
{
    return value.isNull() ? QStringLiteral("none") : QString::number(value.toLongLong());
}

} // namespace

QStringList disagreementRows(const QList<Disagreement> &disagreements)
{
    QStringList rows;
    for (qsizetype i = 0; i < disagreements.size();) {
        const Disagreement &first = disagreements[i];
        QStringList parts;
        for (; i < disagreements.size() && disagreements[i].trackId == first.trackId &&
               disagreements[i].location == first.location;
             ++i) {
            const Disagreement &d = disagreements[i];
            parts << QStringLiteral("%1 %2 (%3) \u2192 %4")
                         .arg(d.key == u"rating" ? QStringLiteral("rating") : QStringLiteral("play count"),
                              valueText(d.file), d.from, valueText(d.library));
        }
        rows << first.location + QStringLiteral(": ") + parts.join(QStringLiteral("; "));
    }
    return rows;
}

QString disagreementHeading(const QList<Disagreement> &disagreements)
{
    return QStringLiteral("The files of %1 tracks rate or count them otherwise than the library, which keeps its "
                          "own (file \u2192 library):")
        .arg(disagreementRows(disagreements).size());
}

ImportedFile readFile(const QString &path, const QString &ratingProfile)
{
    try {
        checkRegularFile(path);
        ImportedFile file;
        runWithLargeStack([&] { file = readWithTagLib(path, ratingProfile); });
        return file;
    } catch (const Unreadable &e) {
        throw FileError(path, e.reason);
    }
}

FolderListing listFolder(const QString &folder)
{
    QList<files::Skipped> skipped;
    const std::optional<QStringList> entries = files::dirContentsRecursive(folder, &skipped);
    if (!entries)
        throw FileError(folder, QStringLiteral("the folder cannot be read"));
    FolderListing listing;
    for (const QString &entry : *entries) {
        if (musicfiles::isMusicFile(entry))
            listing.paths.append(QFileInfo(entry).absoluteFilePath());
    }
    listing.paths.sort();
    for (const files::Skipped &s : musicfiles::concerningMusic(skipped))
        listing.unlisted.append({s.shown, s.reason});
    return listing;
}

Summary importListed(MusicLibrary &library, const FolderListing &listing,
                     const std::function<void(int done, int total)> &progress, const QString &ratingProfile)
{
    Summary summary = importPaths(library, listing.paths, {}, progress, ratingProfile);
    // Names the walk could not take are reported first, as they were met before any file was read.
    summary.failures = listing.unlisted + summary.failures;
    return summary;
}

Summary importFolder(MusicLibrary &library, const QString &folder,
                     const std::function<void(int done, int total)> &progress, const QString &ratingProfile)
{
    return importListed(library, listFolder(folder), progress, ratingProfile);
}

Summary importPaths(MusicLibrary &library, const QStringList &paths, const ExtraValues &extra,
                    const std::function<void(int done, int total)> &progress, const QString &ratingProfile)
{
    Summary summary;
    summary.found = int(paths.size());
    for (qsizetype start = 0; start < paths.size(); start += batchSize) {
        const QStringList batch = paths.mid(start, batchSize);
        QList<ImportedFile> read;
        runWithLargeStack([&] {
            for (const QString &path : batch) {
                try {
                    checkRegularFile(path);
                    read.append(readWithTagLib(path, ratingProfile));
                } catch (const Unreadable &e) {
                    summary.failures.append({path, e.reason});
                }
            }
        });
        if (extra)
            for (ImportedFile &file : read)
                extra(file);
        QList<MusicLibrary::Stored> outcomes;
        const QList<qint64> ids = library.importFiles(read, &outcomes, &summary.disagreements);
        noteIgnored(read, summary.ignored);
        for (qsizetype i = 0; i < ids.size(); ++i)
            summary.ids.insert(read[i].location, ids[i]);
        for (const MusicLibrary::Stored outcome : outcomes) {
            summary.added += outcome == MusicLibrary::Stored::Added ? 1 : 0;
            summary.updated += outcome == MusicLibrary::Stored::Added ? 0 : 1;
            summary.changed += outcome == MusicLibrary::Stored::Changed ? 1 : 0;
        }
        if (progress)
            progress(int(start + batch.size()), summary.found);
    }
    return summary;
}

QString describe(const RefreshSummary &summary)
{
    const int unreadable = int(summary.failures.size());
    const int total = summary.changed + summary.unchanged + summary.dead + unreadable;
    QString text = QStringLiteral("Refreshed %1 tracks from their files: %2 changed, %3 unchanged, %4 dead")
                       .arg(total)
                       .arg(summary.changed)
                       .arg(summary.unchanged)
                       .arg(summary.dead);
    if (unreadable > 0)
        text += QStringLiteral(", %1 unreadable").arg(unreadable);
    return text + u'.';
}

RefreshSummary refresh(MusicLibrary &library, const QList<TrackRef> &tracks,
                       const std::function<void(int done, int total)> &progress, const QString &ratingProfile)
{
    QList<qint64> ids;
    QSet<qint64> seen;
    for (const TrackRef &ref : tracks) {
        if (!seen.contains(ref.trackId)) {
            seen.insert(ref.trackId);
            ids.append(ref.trackId);
        }
    }
    RefreshSummary summary;
    const int total = int(ids.size());
    for (qsizetype start = 0; start < ids.size(); start += batchSize) {
        QList<ImportedFile> read;
        for (qint64 id : ids.mid(start, batchSize)) {
            const QString path = library.fileLink({id, 0, 0}).path;
            if (path.isNull()) {
                ++summary.dead;
                continue;
            }
            try {
                read.append(readFile(path, ratingProfile));
            } catch (const FileError &e) {
                summary.failures.append({path, e.reason()});
            }
        }
        QList<MusicLibrary::Stored> outcomes;
        library.importFiles(read, &outcomes, &summary.disagreements);
        noteIgnored(read, summary.ignored);
        for (const MusicLibrary::Stored outcome : outcomes)
            (outcome == MusicLibrary::Stored::Changed ? summary.changed : summary.unchanged) += 1;
        if (progress)
            progress(int(std::min<qsizetype>(start + batchSize, total)), total);
    }
    return summary;
}

} // namespace libraryimport
