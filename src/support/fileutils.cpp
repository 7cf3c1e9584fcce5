// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileutils.h"

#include "textutils.h"

#include <QFile>
#include <QSettings>

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

namespace files {
namespace {

struct Entry {
    QString name;
    bool isFolder; // a real folder, not a link to one
};

std::optional<std::vector<Entry>> readFolder(const QString &folder)
{
    const QByteArray encoded = QFile::encodeName(folder);
    DIR *dir = ::opendir(encoded.constData());
    if (!dir)
        return std::nullopt;
    std::vector<Entry> entries;
    while (const dirent *e = ::readdir(dir)) {
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        bool isFolder = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st;
            isFolder = ::lstat((encoded + '/' + n).constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        entries.push_back({QFile::decodeName(n), isFolder});
    }
    ::closedir(dir);
    return entries;
}

QString joined(const QString &folder, const QString &name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QSettings userDefaults()
{
    return QSettings(QStringLiteral("Quavertin"), QStringLiteral("Quavertin"));
}

} // namespace

std::optional<QStringList> dirContents(const QString &folder)
{
    const auto entries = readFolder(folder);
    if (!entries)
        return std::nullopt;
    QStringList names;
    names.reserve(qsizetype(entries->size()));
    for (const Entry &e : *entries)
        names.append(e.name);
    return names;
}

std::optional<QStringList> dirContentsRecursive(const QString &folder)
{
    auto top = readFolder(folder);
    if (!top)
        return std::nullopt;
    // An explicit stack: very deep trees must not exhaust the caller's stack,
    // and no folder handle stays open while its sub-folders are read.
    struct Level {
        QString path;
        std::vector<Entry> entries;
        std::size_t next = 0;
    };
    std::vector<Level> stack;
    stack.push_back({folder, std::move(*top)});
    QStringList paths;
    while (!stack.empty()) {
        Level &level = stack.back();
        if (level.next == level.entries.size()) {
            stack.pop_back();
            continue;
        }
        const Entry &entry = level.entries[level.next++];
        QString path = joined(level.path, entry.name);
        paths.append(path);
        if (entry.isFolder) {
            if (auto inside = readFolder(path))
                stack.push_back({std::move(path), std::move(*inside)});
        }
    }
    return paths;
}

QString stamp(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    const qint64 nanoseconds = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return QStringLiteral("%1 %2").arg(nanoseconds).arg(qint64(info.st_size));
}

int defaultInt(const QString &key)
{
    return text::intValue(userDefaults().value(key));
}

void setDefaultInt(const QString &key, int value)
{
    userDefaults().setValue(key, value);
}

QString userDefaultsPath()
{
    return userDefaults().fileName();
}

} // namespace files
