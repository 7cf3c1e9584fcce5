// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <exception>

// A refusal or failure that the person may be told about: a short name
// ("Unsupported Tag", "Library Error", "File Error") and a reason in words.
// what() and description() give "name: reason", the form the apply engine logs.
class NamedException : public std::exception {
public:
    NamedException(QString name, QString reason);

    const QString &name() const noexcept { return name_; }
    const QString &reason() const noexcept { return reason_; }
    QString description() const;
    const char *what() const noexcept override;

private:
    QString name_;
    QString reason_;
    QByteArray what_;
};

// A music file that cannot be written as asked. Carries the path.
class FileError : public NamedException {
public:
    FileError(QString path, QString reason);
    const QString &path() const noexcept { return path_; }

private:
    QString path_;
};
