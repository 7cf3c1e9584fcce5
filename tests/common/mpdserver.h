// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// A real mpd for one test: 127.0.0.1 on a free port, with a throw-away
// configuration, database, sticker file and log beside it, serving the music
// folder given. Stopped when the object goes, however the test ends.
class MpdServer {
public:
    struct Config {
        QString musicFolder;
        QString password;     // when set, nothing is allowed without it
        bool stickers = true; // false: no sticker_file, as a plain mpd
        QString stickerFolder; // where sticker.sql lies; empty: beside the configuration
    };
    explicit MpdServer(QString musicFolder, QString password = {}, bool stickers = true)
        : MpdServer(Config{std::move(musicFolder), std::move(password), stickers, {}})
    {
    }
    explicit MpdServer(Config config);
    ~MpdServer();
    MpdServer(const MpdServer &) = delete;
    MpdServer &operator=(const MpdServer &) = delete;

    // Empty when it runs; else why not (no mpd installed, or it would not start).
    const QString &problem() const { return problem_; }
    bool missingProgram() const { return missing_; }
    int port() const { return port_; }
    QString log() const;

    // A port on 127.0.0.1 that nothing listens on just now.
    static int freePort();

private:
    bool start();
    void stop();

    Config config_;
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> process_;
    int port_ = 0;
    QString problem_;
    bool missing_ = false;
};

// Skips the test when the machine has no mpd; fails it when mpd would not start.
#define REQUIRE_MPD(server)                                                                                          \
    do {                                                                                                             \
        if ((server).missingProgram())                                                                               \
            GTEST_SKIP() << "no mpd program to test against (Debian package mpd; scripts/install-deps.sh)";          \
        ASSERT_TRUE((server).problem().isEmpty()) << (server).problem().toStdString();                              \
    } while (false)
