// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/namedexception.h"

// An error of the music library: a track or playlist deleted meanwhile, a
// locked, corrupt or foreign database file. Carries the SQLite result code
// (0 when the error is not SQLite's own) and what the statement was for.
class LibraryError : public NamedException {
public:
    LibraryError(QString purpose, QString reason, int sqliteCode = 0);
    const QString &purpose() const noexcept { return purpose_; }
    int sqliteCode() const noexcept { return sqliteCode_; }

private:
    QString purpose_;
    int sqliteCode_;
};
