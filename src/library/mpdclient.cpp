// SPDX-License-Identifier: GPL-3.0-or-later
#include "mpdclient.h"

#include <QDeadlineTimer>
#include <QThread>

#include <mpd/client.h>

namespace {

const QString unreachable = QStringLiteral("MPD Unreachable");
const QString refusedPassword = QStringLiteral("MPD Refused the Password");
const QString mpdError = QStringLiteral("MPD Error");

// MPD answers every command list of this many at once: fewer round trips
// than one per sticker, and a failure still names its command.
constexpr int commandsPerList = 250;
// MPD commits each sticker on its own; where the disk syncs every commit
// that is tens of milliseconds a sticker, so a list's answer may take
// seconds. The wait for it is this long, whatever the connection's timeout.
constexpr unsigned listTimeoutMs = 120000;

QString where(const MpdAddress &address)
{
    return QStringLiteral("%1:%2").arg(address.host).arg(address.port);
}

} // namespace

void MpdClient::Free::operator()(mpd_connection *c) const
{
    mpd_connection_free(c);
}

MpdClient::MpdClient(const MpdAddress &address) : address_(address)
{
    const QByteArray host = address.host.toUtf8();
    connection_.reset(mpd_connection_new(host.constData(), unsigned(address.port), unsigned(address.timeoutMs)));
    if (!connection_)
        throw MpdError(unreachable, QStringLiteral("Quavertin ran out of memory connecting to MPD."));
    if (mpd_connection_get_error(connection_.get()) != MPD_ERROR_SUCCESS)
        throw MpdError(unreachable,
                       QStringLiteral("MPD could not be reached at %1: %2. Check that it is running and listens "
                                      "there (bind_to_address and port in its configuration).")
                           .arg(where(address_), QString::fromUtf8(mpd_connection_get_error_message(connection_.get()))));
    if (!address.password.isEmpty()) {
        const QByteArray password = address.password.toUtf8();
        check(mpd_run_password(connection_.get(), password.constData()), QStringLiteral("take the password"));
    }
}

MpdClient::~MpdClient() = default;

void MpdClient::fail(const QString &doing)
{
    mpd_connection *c = connection_.get();
    const QString said = QString::fromUtf8(mpd_connection_get_error_message(c));
    const mpd_error error = mpd_connection_get_error(c);
    if (error != MPD_ERROR_SERVER)
        throw MpdError(unreachable, QStringLiteral("The connection to MPD at %1 failed while it was to %2: %3.")
                                        .arg(where(address_), doing, said));
    // MPD gives its database's failures the code of an unknown command, so the words tell them apart.
    if (said.contains(QLatin1String("readonly"), Qt::CaseInsensitive) ||
        said.contains(QLatin1String("read-only"), Qt::CaseInsensitive))
        throw MpdError(mpdError, QStringLiteral("MPD at %1 could not %2: its sticker database cannot be written (%3). "
                                                "Check the file its sticker_file names.")
                                     .arg(where(address_), doing, said));
    switch (mpd_connection_get_server_error(c)) {
    case MPD_SERVER_ERROR_PASSWORD:
        throw MpdError(refusedPassword,
                       QStringLiteral("MPD at %1 did not accept the password (%2).").arg(where(address_), said));
    case MPD_SERVER_ERROR_PERMISSION:
        throw MpdError(refusedPassword,
                       QStringLiteral("MPD at %1 did not allow Quavertin to %2 (%3): give the password that "
                                      "grants reading and changing its database.")
                           .arg(where(address_), doing, said));
    case MPD_SERVER_ERROR_UNKNOWN_CMD:
        if (!said.contains(QLatin1String("unknown command"), Qt::CaseInsensitive) &&
            !said.contains(QLatin1String("disabled"), Qt::CaseInsensitive))
            break;
        throw MpdError(mpdError, QStringLiteral("MPD at %1 keeps no stickers (%2): its configuration must name a "
                                                "sticker_file for ratings and play counts.")
                                     .arg(where(address_), said));
    default:
        break;
    }
    throw MpdError(mpdError, QStringLiteral("MPD at %1 could not %2: %3.").arg(where(address_), doing, said));
}

void MpdClient::check(bool ok, const QString &doing)
{
    if (!ok || mpd_connection_get_error(connection_.get()) != MPD_ERROR_SUCCESS)
        fail(doing);
}

QSet<QString> MpdClient::songs()
{
    mpd_connection *c = connection_.get();
    const QString doing = QStringLiteral("list its songs");
    check(mpd_send_list_all(c, ""), doing);
    QSet<QString> songs;
    while (mpd_pair *pair = mpd_recv_pair_named(c, "file")) {
        songs.insert(QString::fromUtf8(pair->value));
        mpd_return_pair(c, pair);
    }
    check(mpd_response_finish(c), doing);
    return songs;
}

QHash<QString, QString> MpdClient::stickers(const QString &name)
{
    mpd_connection *c = connection_.get();
    const QByteArray sticker = name.toUtf8();
    const QString doing = QStringLiteral("find the songs' '%1' stickers").arg(name);
    check(mpd_send_sticker_find(c, "song", "", sticker.constData()), doing);
    QHash<QString, QString> values;
    QString uri;
    while (mpd_pair *pair = mpd_recv_pair(c)) {
        if (qstrcmp(pair->name, "file") == 0) {
            uri = QString::fromUtf8(pair->value);
        } else if (qstrcmp(pair->name, "sticker") == 0) {
            size_t nameLength = 0;
            if (const char *value = mpd_parse_sticker(pair->value, &nameLength))
                values.insert(uri, QString::fromUtf8(value));
        }
        mpd_return_pair(c, pair);
    }
    check(mpd_response_finish(c), doing);
    return values;
}

QString MpdClient::sticker(const QString &uri, const QString &name)
{
    mpd_connection *c = connection_.get();
    const QByteArray song = uri.toUtf8(), sticker = name.toUtf8();
    const QString doing = QStringLiteral("read the '%1' sticker of '%2'").arg(name, uri);
    check(mpd_send_sticker_get(c, "song", song.constData(), sticker.constData()), doing);
    QString value;
    // libmpdclient hands the sticker over already split into name and value.
    while (mpd_pair *pair = mpd_recv_sticker(c)) {
        value = QString::fromUtf8(pair->value);
        mpd_return_sticker(c, pair);
    }
    // MPD answers a song without that sticker with an error, not an empty list.
    if (!mpd_response_finish(c)) {
        if (mpd_connection_get_error(c) == MPD_ERROR_SERVER &&
            mpd_connection_get_server_error(c) == MPD_SERVER_ERROR_NO_EXIST &&
            QString::fromUtf8(mpd_connection_get_error_message(c)).contains(QLatin1String("no such sticker"))) {
            mpd_connection_clear_error(c);
            return {};
        }
        fail(doing);
    }
    return value;
}

void MpdClient::setStickers(const QList<StickerWrite> &writes, int &stored, const std::function<void(int)> &done)
{
    mpd_connection *c = connection_.get();
    stored = 0;
    mpd_connection_set_timeout(c, std::max(listTimeoutMs, unsigned(address_.timeoutMs)));
    for (qsizetype first = 0; first < writes.size(); first += commandsPerList) {
        const qsizetype end = std::min(writes.size(), first + commandsPerList);
        const QString doing = QStringLiteral("store stickers");
        check(mpd_command_list_begin(c, false), doing);
        for (qsizetype i = first; i < end; ++i) {
            const StickerWrite &w = writes.at(i);
            const QByteArray uri = w.uri.toUtf8(), name = w.name.toUtf8(), value = w.value.toUtf8();
            check(mpd_send_sticker_set(c, "song", uri.constData(), name.constData(), value.constData()), doing);
        }
        check(mpd_command_list_end(c), doing);
        if (!mpd_response_finish(c)) {
            const qsizetype failed =
                mpd_connection_get_error(c) == MPD_ERROR_SERVER
                    ? first + qsizetype(mpd_connection_get_server_error_location(c))
                    : first;
            stored = int(failed);
            const StickerWrite &w = writes.at(std::min(failed, end - 1));
            if (mpd_connection_get_error(c) == MPD_ERROR_SERVER &&
                mpd_connection_get_server_error(c) == MPD_SERVER_ERROR_NO_EXIST)
                throw MpdError(mpdError, QStringLiteral("MPD's database at %1 holds no song '%2' (%3): update MPD's "
                                                        "database, or check the music folder given.")
                                             .arg(where(address_), w.uri,
                                                  QString::fromUtf8(mpd_connection_get_error_message(c))));
            fail(QStringLiteral("store the '%1' sticker of '%2'").arg(w.name, w.uri));
        }
        stored = int(end);
        if (done)
            done(stored);
    }
}

void MpdClient::updateDatabase(int timeoutMs)
{
    mpd_connection *c = connection_.get();
    const QString doing = QStringLiteral("update its database");
    check(mpd_run_update(c, nullptr) != 0, doing);
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        mpd_status *status = mpd_run_status(c);
        if (!status)
            fail(doing);
        const bool updating = mpd_status_get_update_id(status) != 0;
        mpd_status_free(status);
        if (!updating)
            return;
        if (deadline.hasExpired())
            throw MpdError(mpdError, QStringLiteral("MPD at %1 did not finish updating its database within %2 ms.")
                                         .arg(where(address_))
                                         .arg(timeoutMs));
        QThread::msleep(20);
    }
}
