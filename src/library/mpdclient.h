// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/namedexception.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>

struct mpd_connection;

// Why MPD could not be reached or would not do what was asked. The name is
// the alert's title ("MPD Unreachable", "MPD Refused the Password", "MPD
// Error"), the reason says what MPD or the network answered.
class MpdError : public NamedException {
public:
    using NamedException::NamedException;
};

// Where an MPD listens and how to get in.
struct MpdAddress {
    QString host = QStringLiteral("localhost");
    int port = 6600;
    QString password; // empty: none sent
    int timeoutMs = 5000;
};

// One sticker to store on one song, named by its path under MPD's music folder.
struct StickerWrite {
    QString uri;
    QString name;
    QString value;
};

// One connection to an MPD over its own protocol (libmpdclient). Used by one
// thread at a time. Every failure throws MpdError with MPD's own words.
class MpdClient {
public:
    // Connects and, when a password is given, sends it. Throws MpdError.
    explicit MpdClient(const MpdAddress &address);
    ~MpdClient();
    MpdClient(const MpdClient &) = delete;
    MpdClient &operator=(const MpdClient &) = delete;

    // Every song of MPD's database, by its path under the music folder.
    QSet<QString> songs();
    // The songs carrying the sticker `name`, with its value. Throws MpdError
    // naming the sticker database when MPD keeps none.
    QHash<QString, QString> stickers(const QString &name);
    // One song's sticker; a null text when it has none.
    QString sticker(const QString &uri, const QString &name);

    // Stores the stickers in order, many to a command list, calling `done`
    // with the count stored so far after each list. Throws MpdError when MPD
    // refuses one; `stored` then counts the ones stored before it (MPD runs
    // a command list in order and stops at the first failure).
    void setStickers(const QList<StickerWrite> &writes, int &stored,
                     const std::function<void(int stored)> &done = {});

    // Asks MPD to read its music folder again and waits, at most timeoutMs,
    // until the database has taken it. Throws MpdError when it has not.
    void updateDatabase(int timeoutMs);

private:
    [[noreturn]] void fail(const QString &doing);
    void check(bool ok, const QString &doing);

    MpdAddress address_;
    struct Free {
        void operator()(mpd_connection *c) const;
    };
    std::unique_ptr<mpd_connection, Free> connection_;
};
