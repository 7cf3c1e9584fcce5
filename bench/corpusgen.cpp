// SPDX-License-Identifier: GPL-3.0-or-later
// bench-corpusgen DIR N: writes N small music files of mixed formats with
// varied, realistic tags into DIR/Artist/Album/NN Title.ext, for the
// benchmarks. The same N gives the same corpus every time.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>
#include <taglib/fileref.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tpropertymap.h>

namespace {

struct Format {
    const char *extension;
    int weight; // out of 100: mp3 and m4a dominate real collections
};

constexpr Format formats[] = {{"mp3", 40}, {"m4a", 20}, {"flac", 15}, {"ogg", 15}, {"wav", 10}};

const QStringList firstWords{"Velvet",  "Electric", "Silver", "Midnight", "Crimson", "Hollow",  "Golden",
                             "Paper",   "Northern", "Broken", "Wild",     "Quiet",   "Neon",    "Iron",
                             "Lunar",   "Stray",    "Bitter", "Glass",    "Rusty",   "Frozen",  "Saint",
                             "Little",  "Distant",  "Sonic",  "Amber",    "Young",   "Burning", "Cosmic"};
const QStringList secondWords{"Owls",     "Rivers",  "Machines", "Pilots",   "Horses",  "Sisters", "Lanterns",
                              "Ghosts",   "Gardens", "Wolves",   "Echoes",   "Hearts",  "Kings",   "Sparrows",
                              "Engines",  "Tides",   "Mountains", "Dreamers", "Strangers", "Bones", "Mirrors"};
// Names whose letters a tool must not mangle: accents, other scripts, symbols.
const QStringList specialArtists{"Björk Ensemble", "Sigur Fjöll",        "Zoë & the Ćirić Trio",   "Mañana Sur",
                                 "Ólafur Árnason",  "Łukasz Żółw",        "東京ストリングス",       "Παύλος Κόρη",
                                 "Beyoncé Tribute", "Motörhead Revival",  "Ensemble Œuvre",         "АКВАРИУМ Ночь",
                                 "AC/DC Covers",    "Guns 'n' Roses Jr.", "Sinéad & Friends",       "Dvořák Quartet"};
const QStringList albumWords{"Songs",  "Nights", "Letters",  "Stories", "Roads",  "Colours", "Seasons",
                             "Rooms",  "Signals", "Fragments", "Waves",  "Islands", "Shadows", "Lights"};
const QStringList titleWords{"Love",   "Rain",   "Home",    "Fire",   "Dance",  "Summer", "Goodbye", "Morning",
                             "River",  "Heart",  "Stars",   "Road",   "Dream",  "Ocean",  "City",    "Winter",
                             "Angel",  "Blue",   "Tonight", "Forever", "Ghost", "Gold",   "Runaway", "Sunday",
                             "Café",   "Señor",  "Über",    "Naïve",  "Smile", "Echo",   "Paris",   "Tokyo"};
const QStringList genres{"Rock", "Pop", "Jazz", "Classical", "Electronic", "Hip-Hop", "Folk", "Metal", "Blues",
                         "Country", "Reggae", "Soul", "Ambient", "Punk"};

QString pick(QRandomGenerator &rng, const QStringList &list)
{
    return list[int(rng.bounded(quint32(list.size())))];
}

QString artistName(QRandomGenerator &rng, int index)
{
    if (index % 7 == 3)
        return specialArtists[(index / 7) % specialArtists.size()] + (index >= 7 * specialArtists.size()
                                                                          ? QStringLiteral(" %1").arg(index)
                                                                          : QString());
    QString name = firstWords[index % firstWords.size()] + ' ' +
                   secondWords[(index / firstWords.size() + index) % secondWords.size()];
    if (index >= firstWords.size() * secondWords.size())
        name += QStringLiteral(" %1").arg(index);
    return rng.bounded(4) == 0 ? QStringLiteral("The ") + name : name;
}

QString titleFrom(QRandomGenerator &rng, const QStringList &words, int count)
{
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts.append(pick(rng, words));
    return parts.join(' ');
}

// A file or folder name from a tag: no slashes, no leading dot.
QString safeName(QString s)
{
    s.replace('/', '-');
    if (s.startsWith('.'))
        s.prepend('_');
    return s;
}

const char *pickFormat(QRandomGenerator &rng)
{
    int roll = int(rng.bounded(100));
    for (const Format &f : formats) {
        if (roll < f.weight)
            return f.extension;
        roll -= f.weight;
    }
    return formats[0].extension;
}

TagLib::String tl(const QString &s)
{
    return TagLib::String(s.toStdString(), TagLib::String::UTF8);
}

struct Track {
    QString artist, albumArtist, album, title, genre, comment, composer;
    int year = 0, number = 0, count = 0, disc = 0, discs = 0, bpm = 0;
};

// Re-tags the seed in memory and writes it out: one write per file, no re-read.
bool writeTrack(const QByteArray &seed, const Track &t, const QString &path)
{
    TagLib::ByteVectorStream stream(TagLib::ByteVector(seed.constData(), unsigned(seed.size())));
    {
        TagLib::FileRef ref(&stream, false);
        if (ref.isNull())
            return false;
        TagLib::PropertyMap p;
        p.replace("TITLE", tl(t.title));
        p.replace("ARTIST", tl(t.artist));
        p.replace("ALBUM", tl(t.album));
        p.replace("ALBUMARTIST", tl(t.albumArtist));
        p.replace("GENRE", tl(t.genre));
        p.replace("DATE", tl(QString::number(t.year)));
        p.replace("TRACKNUMBER", tl(QStringLiteral("%1/%2").arg(t.number).arg(t.count)));
        if (t.discs > 1)
            p.replace("DISCNUMBER", tl(QStringLiteral("%1/%2").arg(t.disc).arg(t.discs)));
        if (!t.comment.isEmpty())
            p.replace("COMMENT", tl(t.comment));
        if (!t.composer.isEmpty())
            p.replace("COMPOSER", tl(t.composer));
        if (t.bpm)
            p.replace("BPM", tl(QString::number(t.bpm)));
        ref.file()->setProperties(p);
        if (!ref.save())
            return false;
    }
    QFile out(path);
    const TagLib::ByteVector *data = stream.data();
    return out.open(QIODevice::WriteOnly) && out.write(data->data(), data->size()) == qint64(data->size());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    bool ok = false;
    const int total = args.size() == 3 ? args[2].toInt(&ok) : 0;
    if (!ok || total < 0) {
        err << "usage: bench-corpusgen DIR N\n"
               "Writes N music files (mp3, m4a, flac, ogg, wav) with varied tags into DIR/Artist/Album/NN Title.ext.\n";
        return 2;
    }
    const QString root = QDir(args[1]).absolutePath();

    QHash<QString, QByteArray> seeds;
    for (const Format &f : formats) {
        QFile file(QStringLiteral(QUAVERTIN_SEED_DIR "/seed.%1").arg(QLatin1StringView(f.extension)));
        if (!file.open(QIODevice::ReadOnly)) {
            err << "bench-corpusgen: cannot read the seed " << file.fileName() << '\n';
            return 1;
        }
        seeds.insert(f.extension, file.readAll());
    }

    QElapsedTimer timer;
    timer.start();
    QRandomGenerator rng(20240229);
    int written = 0;
    for (int artistIndex = 0; written < total; ++artistIndex) {
        const QString artist = artistName(rng, artistIndex);
        const int albums = 1 + int(rng.bounded(4));
        for (int a = 0; a < albums && written < total; ++a) {
            Track t;
            t.album = pick(rng, firstWords) + ' ' + pick(rng, albumWords);
            if (rng.bounded(5) == 0)
                t.album += QStringLiteral(" (Deluxe Edition)");
            const bool compilation = rng.bounded(10) == 0;
            t.albumArtist = compilation ? QStringLiteral("Various Artists") : artist;
            t.year = 1960 + int(rng.bounded(65));
            t.genre = pick(rng, genres);
            t.count = 6 + int(rng.bounded(12));
            t.discs = rng.bounded(8) == 0 ? 2 : 1;
            const QString folder = root + '/' + safeName(t.albumArtist) + '/' + safeName(t.album);
            if (!QDir().mkpath(folder)) {
                err << "bench-corpusgen: cannot make " << folder << '\n';
                return 1;
            }
            for (int n = 1; n <= t.count * t.discs && written < total; ++n) {
                t.disc = 1 + (n - 1) / t.count;
                t.number = 1 + (n - 1) % t.count;
                t.artist = compilation ? artistName(rng, int(rng.bounded(500))) : artist;
                t.title = titleFrom(rng, titleWords, 1 + int(rng.bounded(3)));
                t.comment = rng.bounded(3) == 0 ? QStringLiteral("Recorded live, take %1").arg(rng.bounded(9) + 1)
                                                : QString();
                t.composer = rng.bounded(4) == 0 ? artistName(rng, int(rng.bounded(300))) : QString();
                t.bpm = rng.bounded(3) == 0 ? 60 + int(rng.bounded(120)) : 0;
                const char *extension = pickFormat(rng);
                const auto pathFor = [&] {
                    return QStringLiteral("%1/%2%3 %4.%5")
                        .arg(folder, t.discs > 1 ? QString::number(t.disc) + '-' : QString())
                        .arg(t.number, 2, 10, QLatin1Char('0'))
                        .arg(safeName(t.title), QLatin1StringView(extension));
                };
                QString path = pathFor();
                while (QFile::exists(path)) { // the same track twice on one album: keep both
                    t.title += QStringLiteral(" (Reprise)");
                    path = pathFor();
                }
                if (!writeTrack(seeds.value(extension), t, path)) {
                    err << "bench-corpusgen: cannot write " << path << '\n';
                    return 1;
                }
                ++written;
            }
        }
    }
    err << "bench-corpusgen: wrote " << written << " files into " << root << " in " << timer.elapsed() << " ms\n";
    return 0;
}
