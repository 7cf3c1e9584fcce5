// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/coverart.h"

#include "files/musicfiles.h"
#include "support/alerts.h"
#include "tools/filenamechanger.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <mutex>

namespace tools {
namespace {

using embeddedpictures::frontCover;

QList<EmbeddedPicture> currentPictures(const TrackValues &values)
{
    const QString value = tagText(values.value(picturesKey));
    if (value.isEmpty())
        return {};
    // The read that gave the value put the bytes in the bank.
    return embeddedpictures::picturesOf(value).value_or(QList<EmbeddedPicture>{});
}

// A record whose new value is the pictures as the track's file will keep them.
void propose(const MusicTrack &track, const TrackValues &values, const QList<EmbeddedPicture> &pictures,
             QList<ChangeRecord> &records)
{
    // Every run that proposes reads the location with the pictures.
    const QString extension = musicfiles::extensionOf(tagText(values.value(QStringLiteral("location"))));
    // A WAV or AIFF file, say, is left out rather than failing the apply.
    if (!embeddedpictures::holdsPicturesByExtension(extension))
        return;
    const QString oldValue = tagText(values.value(picturesKey));
    const QString newValue =
        embeddedpictures::valueOf(embeddedpictures::asKeptByExtension(extension, pictures));
    if (newValue != oldValue)
        records << collector::tagRecord(track, values, picturesKey, oldValue, newValue);
}

// The keys that fill a name: the filename changer's, but the track number as
// both files and library tracks hold it.
QStringList nameKeys()
{
    QStringList keys = renameTagKeys();
    keys.replaceInStrings(QRegularExpression(QStringLiteral("^number$")), QStringLiteral("trackNumber"));
    return keys;
}

QString extensionFor(const QString &mime)
{
    return mime == QLatin1String("image/png") ? QStringLiteral("png") : QStringLiteral("jpg");
}

} // namespace

const QStringList &folderPictureNames()
{
    static const QStringList names = {"cover.jpg",  "cover.jpeg",  "cover.png",  "folder.jpg",   "folder.jpeg",
                                      "folder.png", "front.jpg",   "front.jpeg", "front.png",    "albumart.jpg",
                                      "albumart.jpeg", "albumart.png", "album.jpg", "album.jpeg", "album.png"};
    return names;
}

std::variant<QByteArray, QString> preparedImage(const QByteArray &bytes, const QString &name, int maxSize, int quality)
{
    if (bytes.size() > embeddedpictures::maximumBytes)
        return QStringLiteral("The image %1 is larger than 16 MiB.").arg(name);
    const QString mime = embeddedpictures::mimeOf(bytes);
    if (mime.isEmpty())
        return QStringLiteral("The image %1 is not a JPEG or PNG image.").arg(name);
    QImage image;
    if (!image.loadFromData(bytes, mime == QLatin1String("image/png") ? "PNG" : "JPEG") || image.isNull())
        return QStringLiteral("The image %1 is damaged: it cannot be decoded.").arg(name);
    if (maxSize <= 0 || std::max(image.width(), image.height()) <= maxSize)
        return bytes;
    const QImage scaled = image.scaled(maxSize, maxSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!scaled.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPEG", std::clamp(quality, 1, 100)))
        return QStringLiteral("The image %1 could not be encoded as JPEG.").arg(name);
    return encoded;
}

std::variant<QByteArray, QString> preparedImage(const QString &path, int maxSize, int quality)
{
    QFile file(path);
    if (QFileInfo(path).size() > embeddedpictures::maximumBytes)
        return QStringLiteral("The image %1 is larger than 16 MiB.").arg(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("The image %1 cannot be read: %2.").arg(path, file.errorString());
    return preparedImage(file.read(embeddedpictures::maximumBytes + 1), path, maxSize, quality);
}

QList<EmbeddedPicture> withPicture(QList<EmbeddedPicture> pictures, const EmbeddedPicture &picture, bool replace)
{
    if (replace) {
        const auto at = std::find_if(pictures.begin(), pictures.end(),
                                     [&](const EmbeddedPicture &p) { return p.type == picture.type; });
        if (at != pictures.end()) {
            *at = picture;
            pictures.erase(std::remove_if(at + 1, pictures.end(),
                                          [&](const EmbeddedPicture &p) { return p.type == picture.type; }),
                           pictures.end());
            return pictures;
        }
    }
    pictures << picture;
    return pictures;
}

ToolStart addCover(const CoverAddOptions &options, TrackSource source)
{
    // The image is checked before any track is read: a refused one touches nothing.
    std::optional<EmbeddedPicture> picture;
    if (!options.fromFolder) {
        if (options.image.isEmpty())
            return Refusal{QStringLiteral("No Image"), QStringLiteral("Choose the image to add.")};
        auto prepared = preparedImage(options.image, options.maxSize, options.quality);
        if (const QString *why = std::get_if<QString>(&prepared))
            return Refusal{QStringLiteral("Image Refused"), *why};
        QByteArray bytes = std::get<QByteArray>(std::move(prepared));
        picture = EmbeddedPicture{options.type, embeddedpictures::mimeOf(bytes), {}, std::move(bytes)};
        embeddedpictures::keep(picture->data);
    }
    // Folder pictures, looked for once per folder; the walk's steps come one at a time.
    struct FolderPictures {
        QHash<QString, std::optional<EmbeddedPicture>> byFolder;
        QStringList refused;
    };
    auto folders = std::make_shared<FolderPictures>();
    WindowPort *port = source.port;

    CollectRun run;
    run.source = std::move(source);
    run.keys = {picturesKey, QStringLiteral("location")};
    run.tool = options.fromFolder ? QStringLiteral("Cover from Folder") : QStringLiteral("Add Cover");
    run.noChangesMessage = options.fromFolder
                               ? QStringLiteral("No track has a picture beside it that it does not hold already.")
                               : QStringLiteral("The tracks already hold this picture.");
    run.step = [options, picture, folders](const MusicTrack &track, const TrackValues &values,
                                           QList<ChangeRecord> &records) {
        const QList<EmbeddedPicture> current = currentPictures(values);
        if (options.skipWithFront &&
            std::any_of(current.cbegin(), current.cend(), [](const EmbeddedPicture &p) { return p.type == frontCover; }))
            return;
        std::optional<EmbeddedPicture> adding = picture;
        if (options.fromFolder) {
            const QString folder = QFileInfo(tagText(values.value(QStringLiteral("location")))).absolutePath();
            auto found = folders->byFolder.find(folder);
            if (found == folders->byFolder.end()) {
                std::optional<EmbeddedPicture> beside;
                const QStringList names = QDir(folder).entryList(QDir::Files);
                for (const QString &wanted : folderPictureNames()) {
                    const auto name = std::find_if(names.cbegin(), names.cend(), [&](const QString &n) {
                        return n.compare(wanted, Qt::CaseInsensitive) == 0;
                    });
                    if (name == names.cend())
                        continue;
                    auto prepared = preparedImage(QDir(folder).filePath(*name), options.maxSize, options.quality);
                    if (const QString *why = std::get_if<QString>(&prepared)) {
                        folders->refused << *why;
                        break;
                    }
                    QByteArray bytes = std::get<QByteArray>(std::move(prepared));
                    embeddedpictures::keep(bytes);
                    beside = EmbeddedPicture{frontCover, embeddedpictures::mimeOf(bytes), {}, std::move(bytes)};
                    break;
                }
                found = folders->byFolder.insert(folder, beside);
            }
            adding = *found;
        }
        if (adding)
            propose(track, values, withPicture(current, *adding, options.replace), records);
    };
    if (options.fromFolder) {
        run.beforeReview = [port, folders] {
            if (!folders->refused.isEmpty())
                alertPanel(port, QStringLiteral("Some Pictures Refused"),
                           QStringLiteral("The tracks beside these pictures are left out:\n%1")
                               .arg(folders->refused.join(QLatin1Char('\n'))));
            return true;
        };
    }
    return run;
}

ToolStart removeCovers(const CoverRemoveOptions &options, TrackSource source)
{
    CollectRun run;
    run.source = std::move(source);
    run.keys = {picturesKey, QStringLiteral("location")};
    run.tool = QStringLiteral("Remove Covers");
    run.noChangesMessage = options.type ? QStringLiteral("No track holds a picture of the type %1.")
                                              .arg(embeddedpictures::typeName(*options.type))
                                        : QStringLiteral("No track holds a picture.");
    run.step = [options](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
        QList<EmbeddedPicture> pictures = currentPictures(values);
        pictures.removeIf([&](const EmbeddedPicture &p) { return !options.type || p.type == *options.type; });
        propose(track, values, pictures, records);
    };
    return run;
}

ToolStart extractCovers(const CoverExtractOptions &options, TrackSource source, std::shared_ptr<QStringList> written)
{
    const QFileInfo folder(options.folder);
    if (options.folder.isEmpty() || !folder.isDir())
        return Refusal{QStringLiteral("No Folder"),
                       QStringLiteral("The folder %1 to extract the pictures into does not exist.").arg(options.folder)};
    if (!folder.isWritable())
        return Refusal{QStringLiteral("Folder Not Writable"),
                       QStringLiteral("The pictures cannot be written into %1.").arg(options.folder)};
    struct Extracted {
        QSet<QString> hashes;
        QStringList paths;
        QStringList failed;
    };
    auto done = std::make_shared<Extracted>();
    WindowPort *port = source.port;
    const QString into = folder.absoluteFilePath();

    CollectRun run;
    run.source = std::move(source);
    run.title = QStringLiteral("Extracting pictures…");
    run.keys = nameKeys();
    run.keys << picturesKey;
    run.step = [options, done, into](const MusicTrack &, const TrackValues &values, QList<ChangeRecord> &) {
        QVariantHash tags;
        const QStringList keys = renameTagKeys();
        const QStringList read = nameKeys();
        for (qsizetype k = 0; k < keys.size(); ++k)
            tags.insert(keys.at(k), values.value(read.at(k)));
        // The value names each picture's hash already: the bytes need no second hashing.
        const QStringList hashes = embeddedpictures::hashesOf(tagText(values.value(picturesKey)));
        const QList<EmbeddedPicture> pictures = currentPictures(values);
        for (qsizetype p = 0; p < pictures.size() && p < hashes.size(); ++p) {
            const EmbeddedPicture &picture = pictures.at(p);
            const QString &hash = hashes.at(p);
            if (done->hashes.contains(hash))
                continue;
            QString base = nameFromPattern(options.pattern, tags);
            base.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QChar(0), QLatin1Char('_'));
            if (base.trimmed().isEmpty() || base == QLatin1String(".") || base == QLatin1String(".."))
                base = QStringLiteral("cover");
            const QString extension = extensionFor(embeddedpictures::mimeOf(picture.data));
            // A taken name gets a number: no file is ever written over.
            for (int n = 1;; ++n) {
                const QString name = n == 1 ? QStringLiteral("%1.%2").arg(base, extension)
                                            : QStringLiteral("%1 (%2).%3").arg(base).arg(n).arg(extension);
                QFile file(QDir(into).filePath(name));
                if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                    if (file.write(picture.data) != picture.data.size() || !file.flush()) {
                        done->failed << QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
                        file.remove();
                    } else {
                        done->paths << file.fileName();
                        done->hashes.insert(hash);
                    }
                    break;
                }
                if (!file.exists() || n > 9999) {
                    done->failed << QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
                    break;
                }
            }
        }
    };
    run.report = [port, done, written](bool found, bool, QString &news) {
        if (written)
            *written = done->paths;
        if (!found)
            return false;
        news = QStringLiteral("%1 pictures extracted").arg(done->paths.size());
        if (!done->failed.isEmpty()) {
            alertPanel(port, QStringLiteral("Some Pictures Not Written"), done->failed.join(QLatin1Char('\n')));
            return false;
        }
        if (done->paths.isEmpty())
            alertPanel(port, QStringLiteral("No Pictures"), QStringLiteral("The tracks hold no pictures."));
        return true;
    };
    return run;
}

} // namespace tools
