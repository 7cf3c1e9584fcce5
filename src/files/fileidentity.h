// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Which file a path named when it was opened, as the system tells files
// apart: two paths with one identity (hard links, or a folder reached twice)
// are one file. Both zero while unknown.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;

    bool known() const { return inode != 0; }
    bool operator==(const FileIdentity &) const = default;
};
