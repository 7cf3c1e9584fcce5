// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/appdelegate.h"
#include "fakewindowport.h"
#include "lastrun.h"
#include "library/musiclibrary.h"
#include "support/dispatch.h"
#include "testfiles.h"
#include "userlocations.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <memory>

// A copy of a seed in the folder with these tags; track 0 means no track number.
inline QString addTaggedSeed(TestFolder &folder, const QString &relative, const QString &title, unsigned track,
                             const QString &artist = QStringLiteral("Artist"), const QString &seed = "seed.mp3")
{
    const QString path = folder.addSeed(seed, relative);
    TagLib::FileRef f(QFile::encodeName(path).constData());
    f.tag()->setTitle(TagLib::String(title.toStdString(), TagLib::String::UTF8));
    f.tag()->setArtist(TagLib::String(artist.toStdString(), TagLib::String::UTF8));
    f.tag()->setTrack(track);
    f.save();
    return path;
}

// One tool run over real files and a real library file, with the scripted
// person answering: the controller, a temporary folder, and the library in it.
class FileToolRun {
public:
    FileToolRun()
    {
        library_ = std::make_shared<MusicLibrary>(libraryPath());
        app.setLibraryPath(libraryPath());
    }

    QString libraryPath() const { return files.filePath("library/library.sqlite"); }
    MusicLibrary &library() { return *library_; }

    // Presses the button, then waits for the outcome of the run it started.
    template <typename Action> void run(Action action)
    {
        action();
        awaitLastRun(app);
    }

    QString addTagged(const QString &relative, const QString &title, unsigned track = 0,
                      const QString &artist = QStringLiteral("Artist"), const QString &seed = "seed.mp3")
    {
        return addTaggedSeed(files, relative, title, track, artist, seed);
    }

    ScopedUserLocations locations;
    ScopedFakePort port;
    TestFolder files;
    AppDelegate app{*port};

private:
    std::shared_ptr<MusicLibrary> library_;
};
