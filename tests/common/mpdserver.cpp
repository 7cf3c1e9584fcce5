// SPDX-License-Identifier: GPL-3.0-or-later
#include "mpdserver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool accepts(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return false;
    const sockaddr_in address = loopback(port);
    const bool ok = ::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

QString quoted(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace

int MpdServer::freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return 0;
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(s);
    return port;
}

MpdServer::MpdServer(Config config) : config_(std::move(config))
{
    if (QStandardPaths::findExecutable(QStringLiteral("mpd")).isEmpty() &&
        !QFile::exists(QStringLiteral("/usr/bin/mpd"))) {
        missing_ = true;
        problem_ = QStringLiteral("no mpd program");
        return;
    }
    // Another program may take the free port between the look and mpd's bind.
    for (int attempt = 0; attempt < 3 && !start(); ++attempt)
        stop();
}

MpdServer::~MpdServer()
{
    stop();
}

QString MpdServer::log() const
{
    QFile file(dir_.filePath(QStringLiteral("log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool MpdServer::start()
{
    port_ = freePort();
    QString conf;
    conf += QStringLiteral("music_directory %1\n").arg(quoted(config_.musicFolder));
    conf += QStringLiteral("db_file %1\n").arg(quoted(dir_.filePath(QStringLiteral("database"))));
    if (config_.stickers) {
        const QString folder = config_.stickerFolder.isEmpty() ? dir_.path() : config_.stickerFolder;
        conf += QStringLiteral("sticker_file %1\n").arg(quoted(folder + QStringLiteral("/sticker.sql")));
    }
    conf += QStringLiteral("log_file %1\n").arg(quoted(dir_.filePath(QStringLiteral("log"))));
    conf += QStringLiteral("bind_to_address \"127.0.0.1\"\nport \"%1\"\n").arg(port_);
    conf += QStringLiteral("zeroconf_enabled \"no\"\nauto_update \"no\"\n");
    if (!config_.password.isEmpty())
        conf += QStringLiteral("password %1\ndefault_permissions \"\"\n")
                    .arg(quoted(config_.password + QStringLiteral("@read,add,control,admin")));
    conf += QStringLiteral("audio_output {\n  type \"null\"\n  name \"silence\"\n}\n");
    QFile file(dir_.filePath(QStringLiteral("mpd.conf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(conf.toUtf8()) < 0) {
        problem_ = QStringLiteral("cannot write mpd's configuration");
        return false;
    }
    file.close();

    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->start(QStringLiteral("mpd"), {QStringLiteral("--no-daemon"), file.fileName()});
    if (!process_->waitForStarted(10000)) {
        problem_ = QStringLiteral("mpd did not start: %1").arg(process_->errorString());
        return false;
    }
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        if (process_->state() != QProcess::Running) {
            problem_ = QStringLiteral("mpd ended at once: %1 %2")
                           .arg(QString::fromUtf8(process_->readAll()), log());
            return false;
        }
        if (accepts(port_)) {
            problem_.clear();
            return true;
        }
        QThread::msleep(20);
    }
    problem_ = QStringLiteral("mpd did not listen on port %1 within 15 s: %2").arg(port_).arg(log());
    return false;
}

void MpdServer::stop()
{
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(5000)) {
            process_->kill();
            process_->waitForFinished(5000);
        }
    }
    process_.reset();
}
