// SPDX-License-Identifier: GPL-3.0-or-later
// Gives every music file below a folder the ratings and play counts players
// leave behind: two POPM frames of different owners in an MP3, FMPS fields
// in every format, and Quod Libet's fields where the format has free ones.
// With --resave it adds nothing and saves each file the same two ways, so
// that a corpus without ratings has the same tag layout and padding.
#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QTextStream>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/tpropertymap.h>

namespace {

TagLib::String tl(const QString &s) { return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8); }

bool rate(const QString &path, int n, bool resave)
{
    const QByteArray name = QFile::encodeName(path);
    if (path.endsWith(QLatin1StringView(".mp3"))) {
        TagLib::MPEG::File file(name.constData());
        if (!file.isValid())
            return false;
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
        for (const char *owner : {"MusicBee", "no@email"}) {
            if (resave)
                break;
            auto *popm = new TagLib::ID3v2::PopularimeterFrame();
            popm->setEmail(owner);
            popm->setRating(1 + n % 255);
            popm->setCounter(unsigned(n % 40));
            tag->addFrame(popm);
        }
        if (!file.save())
            return false;
    }
    TagLib::FileRef ref(name.constData());
    if (ref.isNull())
        return false;
    TagLib::PropertyMap p = ref.file()->properties();
    if (resave)
        return ref.save();
    p.replace("FMPS_RATING", tl(QString::number((n % 11) / 10.0)));
    p.replace("FMPS_PLAYCOUNT", tl(QString::number(n % 40)));
    if (path.endsWith(QLatin1StringView(".flac")) || path.endsWith(QLatin1StringView(".ogg"))) {
        p.replace("RATING:QUODLIBET@LISTS.SACREDCHAO.NET", tl(QString::number((n % 5) / 4.0)));
        p.replace("PLAYCOUNT:QUODLIBET@LISTS.SACREDCHAO.NET", tl(QString::number(n % 40)));
    }
    ref.file()->setProperties(p);
    return ref.save();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    const bool resave = args.size() == 3 && args[2] == u"--resave";
    if (args.size() != 2 && !resave) {
        err << "usage: bench-ratinggen DIR [--resave]\nAdds ratings and play counts of several players to every "
               "music file below DIR; with --resave, saves each file as it would without adding any.\n";
        return 2;
    }
    int n = 0, failed = 0;
    QDirIterator it(app.arguments()[1], {"*.mp3", "*.m4a", "*.flac", "*.ogg", "*.wav"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        failed += rate(it.next(), ++n, resave) ? 0 : 1;
    QTextStream(stdout) << (resave ? "saved " : "rated ") << n - failed << " of " << n << " files\n";
    return failed == 0 ? 0 : 1;
}
