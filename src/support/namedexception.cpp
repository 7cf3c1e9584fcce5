// SPDX-License-Identifier: GPL-3.0-or-later
#include "namedexception.h"

NamedException::NamedException(QString name, QString reason)
    : name_(std::move(name)), reason_(std::move(reason)), what_(description().toUtf8())
{
}

QString NamedException::description() const
{
    return name_ + QStringLiteral(": ") + reason_;
}

const char *NamedException::what() const noexcept
{
    return what_.constData();
}

FileError::FileError(QString path, QString reason)
    : NamedException(QStringLiteral("File Error"), reason + QStringLiteral(" (") + path + QStringLiteral(")")),
      path_(std::move(path))
{
}
