// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryerror.h"

LibraryError::LibraryError(QString purpose, QString reason, int sqliteCode)
    : NamedException(QStringLiteral("Library Error"),
                     purpose.isEmpty() ? reason : QStringLiteral("Could not %1: %2.").arg(purpose, reason)),
      purpose_(std::move(purpose)), sqliteCode_(sqliteCode)
{
}
