// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileutils.h"

#include "filepool.h"
#include "textutils.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <unicode/utf8.h>

#include <climits>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

#include <vector>

namespace files {
namespace {

struct Entry {
    QString name;
    bool isFolder; // a real folder, not a link to one
    QByteArray bytes; // the name as stored, when it is not valid UTF-8; else empty
    bool isRegular = false; // a regular file, not a link to one
    qsizetype size = 0; // the name's length as stored, in bytes
};

bool isValidUtf8(const char *bytes, int32_t length)
{
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

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
        bool isRegular = e->d_type == DT_REG;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st;
            const bool known = ::lstat((encoded + '/' + n).constData(), &st) == 0;
            isFolder = known && S_ISDIR(st.st_mode);
            isRegular = known && S_ISREG(st.st_mode);
        }
        const int32_t length = int32_t(std::strlen(n));
        if (isValidUtf8(n, length))
            entries.push_back({QFile::decodeName(n), isFolder, {}, isRegular, length});
        else
            entries.push_back({{}, isFolder, QByteArray(n, length), isRegular, length});
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

// The length in bytes of the path of a folder's entry, from the folder's.
qsizetype pathSize(const QString &folder, qsizetype folderSize, const Entry &entry)
{
    return folderSize + (folder.endsWith(QLatin1Char('/')) ? 0 : 1) + entry.size;
}

// Whether the entry can be listed under a folder whose path takes
// folderSize bytes; when not, it goes to skipped.
bool usable(const QString &folder, qsizetype folderSize, const Entry &entry, QList<Skipped> *skipped)
{
    if (!entry.bytes.isEmpty()) {
        if (skipped)
            skipped->append({shownPath(QFile::encodeName(joined(folder, QString())) + entry.bytes),
                             QStringLiteral("the name is not valid UTF-8"), entry.isFolder});
        return false;
    }
    const qsizetype length = pathSize(folder, folderSize, entry);
    // The limit counts the terminating NUL.
    if (length >= PATH_MAX) {
        if (skipped)
            skipped->append({shownPath(QFile::encodeName(joined(folder, entry.name))),
                             QStringLiteral("the path is too long (%1 bytes; the system takes at most %2)")
                                 .arg(length)
                                 .arg(PATH_MAX - 1),
                             entry.isFolder});
        return false;
    }
    return true;
}

} // namespace

QString shownPath(const QByteArray &bytes)
{
    QString shown;
    const int32_t length = int32_t(bytes.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes.constData(), i, length, c);
        if (c >= 0) {
            shown += QString::fromUtf8(bytes.constData() + start, i - start);
        } else {
            // Each byte of an ill-formed sequence on its own, as it is stored.
            for (int32_t k = start; k < i; ++k)
                shown += QStringLiteral("\\x") +
                         QString::number(uchar(bytes.at(k)), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        }
    }
    return text::escapedControls(shown, text::ControlStyle::Terminal);
}

std::optional<QStringList> dirContents(const QString &folder, QList<Skipped> *skipped)
{
    const auto entries = readFolder(folder);
    if (!entries)
        return std::nullopt;
    QStringList names;
    names.reserve(qsizetype(entries->size()));
    for (const Entry &e : *entries) {
        if (e.bytes.isEmpty())
            names.append(e.name);
        else
            usable(folder, QFile::encodeName(folder).size(), e, skipped);
    }
    return names;
}

namespace {

// What a walk below one folder found, in the order it found it.
struct Walked {
    QStringList paths;
    QList<bool> regular;
    QList<Skipped> skipped;
};

// Lists the entry of a folder whose path takes folderSize bytes and, when it
// is a folder, everything below it.
void walkFrom(const QString &folder, qsizetype folderSize, const Entry &first, Walked &walked)
{
    if (!usable(folder, folderSize, first, &walked.skipped))
        return;
    // An explicit stack: very deep trees must not exhaust the caller's stack,
    // and no folder handle stays open while its sub-folders are read.
    struct Level {
        QString path;
        qsizetype size; // of the path, in bytes
        std::vector<Entry> entries;
        std::size_t next = 0;
    };
    std::vector<Level> stack;
    const auto take = [&](const QString &in, qsizetype inSize, const Entry &entry) {
        QString path = joined(in, entry.name);
        walked.paths.append(path);
        walked.regular.append(entry.isRegular);
        if (entry.isFolder) {
            const qsizetype size = pathSize(in, inSize, entry);
            if (auto inside = readFolder(path))
                stack.push_back({std::move(path), size, std::move(*inside)});
        }
    };
    take(folder, folderSize, first);
    while (!stack.empty()) {
        Level &level = stack.back();
        if (level.next == level.entries.size()) {
            stack.pop_back();
            continue;
        }
        const Entry &entry = level.entries[level.next++];
        if (usable(level.path, level.size, entry, &walked.skipped))
            take(level.path, level.size, entry);
    }
}

} // namespace

std::optional<QStringList> dirContentsRecursive(const QString &folder, QList<Skipped> *skipped, QList<bool> *regular)
{
    const auto top = readFolder(folder);
    if (!top)
        return std::nullopt;
    const qsizetype size = QFile::encodeName(folder).size();
    // The entries of the folder are walked several at once, each with what
    // lies below it: listing a folder waits on the disk, and a collection is
    // mostly folders of folders. They are joined in the folder's order.
    QStringList paths;
    filepool::ordered<Walked>(
        int(top->size()),
        [&](int i) {
            Walked walked;
            walkFrom(folder, size, (*top)[size_t(i)], walked);
            return walked;
        },
        [&](int, Walked &&walked) {
            paths += walked.paths;
            if (regular)
                *regular += walked.regular;
            if (skipped)
                *skipped += walked.skipped;
        });
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

QVariant defaultValue(const QString &key)
{
    return userDefaults().value(key);
}

void setDefaultValue(const QString &key, const QVariant &value)
{
    userDefaults().setValue(key, value);
}

QString userDefaultsPath()
{
    return userDefaults().fileName();
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QStringLiteral("/");
}

QString homeShortened(const QString &path)
{
    const QString home = QDir::homePath();
    if (home.isEmpty() || home == QLatin1String("/") || !path.startsWith(home + QLatin1Char('/')))
        return path;
    return QLatin1Char('~') + path.mid(home.size());
}

} // namespace files
