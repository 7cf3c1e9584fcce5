// SPDX-License-Identifier: GPL-3.0-or-later
#include "trash.h"

#include "safemove.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace trash {
namespace {

const QByteArray infoSuffix = QByteArrayLiteral(".trashinfo");

// Enough for any real Trash; a Trash where this many names are taken is broken
// in a way no further try would mend.
constexpr int maxAttempts = 1000;
constexpr qsizetype defaultNameMax = 255;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xc0) == 0x80;
}

// The first n bytes of a name, fewer when the cut would split a UTF-8 character.
QByteArray cutAtCharacter(const QByteArray &bytes, qsizetype n)
{
    if (n >= bytes.size())
        return bytes;
    while (n > 0 && isContinuationByte(bytes.at(n)))
        --n;
    return bytes.left(n);
}

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : path.left(slash);
}

bool makeFolder(const QByteArray &path)
{
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

// A folder this user owns, reached without following a link: one a stranger
// could swap or read is no place for the person's files.
bool isOwnFolder(const QByteArray &path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

struct TrashFolder {
    QByteArray top;     // the Trash folder, holding files/ and info/
    QByteArray topdir;  // empty for the home Trash: paths in it are absolute
};

bool prepare(const TrashFolder &trash)
{
    return makeFolder(trash.top) && isOwnFolder(trash.top) && makeFolder(trash.top + "/files") &&
           makeFolder(trash.top + "/info") && isOwnFolder(trash.top + "/files") && isOwnFolder(trash.top + "/info");
}

// The mount point the path lies on: the highest folder above it on the same device.
QByteArray topdirOf(const QByteArray &path, dev_t device)
{
    QByteArray top = parentOf(path);
    while (top != "/") {
        const QByteArray up = parentOf(top);
        struct stat st {};
        if (::stat(up.constData(), &st) != 0 || st.st_dev != device)
            break;
        top = up;
    }
    return top;
}

// The Trash for a file on the given device; absent, with why, when there is
// none to use. A file on the home's file system goes to the home's Trash or
// nowhere: one left on its own file system would hide it from the person.
std::optional<TrashFolder> trashFor(const QByteArray &path, dev_t device, QString *error)
{
    const QByteArray home =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash");
    const QByteArray dataHome = parentOf(home);
    QDir().mkpath(QFile::decodeName(dataHome));
    struct stat st {};
    if (::stat(dataHome.constData(), &st) == 0 && st.st_dev == device) {
        const TrashFolder trash{home, {}};
        if (prepare(trash))
            return trash;
        *error = QStringLiteral("the Trash folder %1 cannot be used").arg(QFile::decodeName(home));
        return std::nullopt;
    }
    const QByteArray topdir = topdirOf(path, device);
    const QByteArray uid = QByteArray::number(uint(::getuid()));
    const QByteArray slash = topdir == "/" ? QByteArray() : QByteArrayLiteral("/");
    // An administrator's shared Trash counts only when it is a real sticky folder.
    const QByteArray shared = topdir + slash + ".Trash";
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const TrashFolder trash{shared + "/" + uid, topdir};
        if (prepare(trash))
            return trash;
    }
    const TrashFolder own{topdir + slash + ".Trash-" + uid, topdir};
    if (prepare(own))
        return own;
    *error = QStringLiteral("there is no Trash on its file system (%1) that can be used").arg(QFile::decodeName(topdir));
    return std::nullopt;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

QByteArray nameInTrash(const QByteArray &name, int attempt)
{
    QByteArray stem = name;
    QByteArray extension;
    const qsizetype dot = name.lastIndexOf('.');
    // A short ending after the last dot stays, so the file keeps its type.
    if (dot > 0 && name.size() - dot <= 16) {
        stem = name.left(dot);
        extension = name.mid(dot);
    }
    const QByteArray number = attempt > 0 ? " " + QByteArray::number(attempt + 1) : QByteArray();
    const qsizetype room = defaultNameMax - infoSuffix.size() - number.size() - extension.size();
    if (room < 1)
        return cutAtCharacter(name, defaultNameMax - infoSuffix.size() - number.size()) + number;
    return cutAtCharacter(stem, room) + number + extension;
}

QByteArray trashInfo(const QByteArray &path, const QByteArray &deletionDate)
{
    // Percent-encoded as URLs are, so that no newline, '%' or byte that is not
    // UTF-8 can break the key-value line.
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/") + "\nDeletionDate=" + deletionDate + "\n";
}

namespace {

// Claims the first free name from attempt on; attempt tells where the search stopped.
Outcome claimFrom(const QString &path, int &attempt)
{
    Outcome outcome;
    const QByteArray original = QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    struct stat st {};
    if (::lstat(original.constData(), &st) != 0) {
        outcome.error = systemError(errno);
        return outcome;
    }
    const std::optional<TrashFolder> trash = trashFor(original, st.st_dev, &outcome.error);
    if (!trash)
        return outcome;
    const QByteArray recorded = trash->topdir.isEmpty() ? original
                                : trash->topdir == "/" ? original.mid(1)
                                                       : original.mid(trash->topdir.size() + 1);
    const QByteArray info =
        trashInfo(recorded, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1());
    const QByteArray name = original.mid(original.lastIndexOf('/') + 1);

    for (; attempt < maxAttempts; ++attempt) {
        const QByteArray candidate = nameInTrash(name, attempt);
        const QByteArray infoPath = trash->top + "/info/" + candidate + infoSuffix;
        const QByteArray trashedPath = trash->top + "/files/" + candidate;
        // A file in the Trash without its .trashinfo still owns its name.
        if (::lstat(trashedPath.constData(), &st) == 0)
            continue;
        // Creating the .trashinfo exclusively claims the name against other programs.
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            outcome.error = systemError(errno);
            return outcome;
        }
        const bool written = writeAll(fd, info);
        const int writeError = errno;
        if (::close(fd) != 0 || !written) {
            ::unlink(infoPath.constData());
            outcome.error = systemError(written ? errno : writeError);
            return outcome;
        }
        outcome.moved = true;
        outcome.where = {trashedPath, infoPath, original};
        return outcome;
    }
    outcome.error = QStringLiteral("the Trash holds too many files of that name");
    return outcome;
}

} // namespace

Outcome claim(const QString &path)
{
    int attempt = 0;
    return claimFrom(path, attempt);
}

bool moveClaimed(const Moved &claimed)
{
    if (safemove::moveWithoutReplacing(claimed.originalPath, claimed.trashedPath))
        return true;
    const int moveError = errno;
    release(claimed);
    errno = moveError;
    return false;
}

void release(const Moved &claimed)
{
    ::unlink(claimed.infoPath.constData());
}

Outcome moveToTrash(const QString &path)
{
    for (int attempt = 0;; ++attempt) {
        Outcome outcome = claimFrom(path, attempt);
        if (!outcome.moved || moveClaimed(outcome.where))
            return outcome;
        // Another program took the name in between: the next one is tried.
        if (errno != EEXIST && errno != ENOTEMPTY)
            return Outcome{false, {}, systemError(errno)};
    }
}

bool putBack(const Moved &moved)
{
    if (!safemove::moveWithoutReplacing(moved.trashedPath, moved.originalPath))
        return false;
    ::unlink(moved.infoPath.constData());
    return true;
}

} // namespace trash
