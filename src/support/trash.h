// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The freedesktop Trash: a file goes to the Trash of the home when it lives on
// the home's file system, else to the Trash at the top of its own file system
// ($topdir/.Trash/$uid when the administrator made one, else $topdir/.Trash-$uid).
// Beside it, a .trashinfo file records where it came from, so file managers
// can put it back.
namespace trash {

struct Moved {
    QByteArray trashedPath; // where the file now is
    QByteArray infoPath;    // its .trashinfo
    QByteArray originalPath;
};

struct Outcome {
    bool moved = false;
    Moved where;   // when moved
    QString error; // when not: why, for the person
};

// Moves the file at path into the Trash. The name in the Trash is the file's
// own, shortened at a character boundary when "<name>.trashinfo" would exceed
// the file system's 255 bytes, and numbered when taken; a bounded number of
// names is tried. Never replaces anything; on failure the file is where it was
// and no .trashinfo is left behind.
Outcome moveToTrash(const QString &path);

// moveToTrash in two steps, for callers that must record the name in the
// Trash before the file goes there. claim() chooses a free name and writes
// its .trashinfo (which holds the name against other programs); the file is
// not touched. Outcome::moved then means "claimed".
Outcome claim(const QString &path);
// Moves a claimed file to its name in the Trash. False, with errno set and
// the claim released (its .trashinfo removed), when the file could not go
// there; the file is then where it was.
bool moveClaimed(const Moved &claimed);
// Gives up a claim whose file was not moved.
void release(const Moved &claimed);

// Puts a file moved by moveToTrash back where it was and removes its
// .trashinfo. False when its old name has been taken meanwhile or the move fails.
bool putBack(const Moved &moved);

// The name the Trash would give a file named name (bytes) on its try-th
// attempt (0 first): numbered from the second try, shortened to fit.
QByteArray nameInTrash(const QByteArray &name, int attempt);

// The contents of a .trashinfo for a file that was at path (relative to the
// Trash's top folder, or absolute), deleted at the given local time.
QByteArray trashInfo(const QByteArray &path, const QByteArray &deletionDate);

} // namespace trash
