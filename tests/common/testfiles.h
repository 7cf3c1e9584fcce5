// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A temporary folder for one test, removed with it. Seed files from
// tests/data are copied in; nothing is ever written into the source tree.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder &) = delete;
    TestFolder &operator=(const TestFolder &) = delete;
    const QString &path() const { return path_; }
    QString filePath(const QString &relative) const;

    // Copies the seed file (e.g. "seed.mp3") to relative (folders are made). Returns the full path.
    QString addSeed(const QString &seed, const QString &relative);
    // Writes raw bytes to relative (folders are made). Returns the full path.
    QString addFile(const QString &relative, const QByteArray &bytes);
    QString addFolder(const QString &relative);

    static QString seedPath(const QString &seed);
    static QByteArray readAll(const QString &path);

private:
    QTemporaryDir dir_;
    QString path_;
};

// The seed files, one per format: "seed.mp3" (ID3v2.3), "seed.flac",
// "seed.ogg", "seed.m4a", "seed.wav".
QStringList seedNames();
