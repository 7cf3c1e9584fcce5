// SPDX-License-Identifier: GPL-3.0-or-later
#include "sourcewatcher.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

// A file is told once it is written and closed, not at every write.
constexpr uint32_t folderEvents = IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                  IN_DELETE_SELF | IN_MOVE_SELF;
// SQLite writes its log without closing it: every write counts.
constexpr uint32_t libraryEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_TO;

} // namespace

SourceWatcher::SourceWatcher(QObject *parent) : QObject(parent)
{
    settle_.setSingleShot(true);
    settle_.setInterval(300);
    connect(&settle_, &QTimer::timeout, this, &SourceWatcher::changed);
}

SourceWatcher::~SourceWatcher()
{
    stop();
}

void SourceWatcher::stop()
{
    settle_.stop();
    delete notifier_;
    notifier_ = nullptr;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    folders_.clear();
    names_.clear();
    watched_.clear();
}

bool SourceWatcher::start()
{
    stop();
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0)
        return false; // no watching: the table is then read again only after runs and on request
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SourceWatcher::readEvents);
    return true;
}

void SourceWatcher::addFolder(const QString &folder)
{
    const int wd = inotify_add_watch(fd_, QFile::encodeName(folder).constData(), folderEvents | IN_ONLYDIR);
    if (wd >= 0)
        folders_.insert(wd, folder);
}

void SourceWatcher::watchFolder(const QString &folder)
{
    if (watched_ == folder && names_.isEmpty() && fd_ >= 0)
        return;
    if (!start())
        return;
    watched_ = folder;
    addFolder(folder);
    QDirIterator below(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                       QDirIterator::Subdirectories);
    while (below.hasNext())
        addFolder(below.next());
}

void SourceWatcher::watchLibrary(const QString &libraryPath)
{
    if (watched_ == libraryPath && !names_.isEmpty() && fd_ >= 0)
        return;
    if (!start())
        return;
    const QFileInfo library(libraryPath);
    watched_ = libraryPath;
    names_ = {library.fileName(), library.fileName() + QStringLiteral("-wal")};
    const int wd = inotify_add_watch(fd_, QFile::encodeName(library.absolutePath()).constData(), libraryEvents);
    if (wd >= 0)
        folders_.insert(wd, library.absolutePath());
}

void SourceWatcher::readEvents()
{
    alignas(inotify_event) char buffer[16384];
    bool relevant = false;
    for (;;) {
        const ssize_t length = ::read(fd_, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const QString name = event->len ? QFile::decodeName(event->name) : QString();
            if (!names_.isEmpty()) {
                relevant = relevant || names_.contains(name);
                continue;
            }
            // A save's hidden copy is told when it is renamed over the file.
            if (name.startsWith(QLatin1Char('.')))
                continue;
            if ((event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO)))
                addFolder(folders_.value(event->wd) + QLatin1Char('/') + name);
            if (event->mask & IN_IGNORED)
                folders_.remove(event->wd);
            else
                relevant = true;
        }
    }
    if (relevant)
        settle_.start();
}
