// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/filetags.h"
#include "support/namedexception.h"

#include <QString>
#include <QVariant>

// The reason a write of the value to the file is refused with; "written"
// when the write went through.
inline QString writeRefusal(const QString &path, const QString &key, const QVariant &value)
{
    try {
        filetags::write(path, key, value);
    } catch (const FileError &e) {
        return e.reason();
    }
    return QStringLiteral("written");
}
