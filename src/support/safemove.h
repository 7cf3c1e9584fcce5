// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace safemove {

// Gives the file at from the name to, in one step that fails when anything
// (a file, a folder, a dangling link) already exists at to: no existing file
// is ever replaced, and there is no window between a check and the move for
// another process to slip a file in. Where the file system refuses the
// no-replace rename (some network and FUSE file systems), a hard link to the
// new name followed by removing the old one gives the same guarantee.
// Returns false, with both names as they were, when the move cannot be made.
bool moveWithoutReplacing(const QString &from, const QString &to);

// The same for names given as the file system's bytes. On failure errno tells
// why (EEXIST when the name is taken).
bool moveWithoutReplacing(const QByteArray &from, const QByteArray &to);

// moveWithoutReplacing to a path whose folders may not exist yet (they are
// made) and may lie on another file system: there the file is copied beside
// its new name under a hidden one, synced, read back and compared byte for
// byte, given its new name without replacing anything, and only then is the
// original removed. The copy keeps the file's permissions and modification
// time. Returns false, with the original where it was and nothing left at
// to, when the move cannot be made (errno EEXIST when the name is taken).
bool moveMakingFolders(const QString &from, const QString &to);

} // namespace safemove
