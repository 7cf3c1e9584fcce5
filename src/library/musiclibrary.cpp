// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryinternal.h"
#include "libraryschema.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <atomic>
#include <mutex>
#include <vector>

using sqlite::Statement;

// Every connection opened for one library, whatever thread holds it, so that
// the library can close them all when it goes away.
struct MusicLibrary::Registry {
    std::mutex mutex;
    std::vector<std::weak_ptr<Connection>> connections;
};

namespace {

std::atomic<quint64> nextSerial{1};

// What every connection to a library needs, whichever thread opened it.
void configure(sqlite::Database &db, int busyTimeoutMs, const QString &purpose)
{
    db.setBusyTimeout(busyTimeoutMs);
    db.execute("PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL", purpose);
}

} // namespace

QString MusicLibrary::defaultPath()
{
    const QString overridden = qEnvironmentVariable("QUAVERTIN_LIBRARY");
    if (!overridden.isEmpty())
        return overridden;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/Quavertin/library.sqlite");
}

MusicLibrary::MusicLibrary(QString path)
    : path_(std::move(path)), serial_(nextSerial++), registry_(std::make_shared<Registry>())
{
    const QString purpose = QStringLiteral("open the library %1").arg(path_);
    if (path_.isEmpty())
        throw LibraryError(purpose, QStringLiteral("no file was given"));
    libraryschema::checkFileIsLibrary(path_);
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder))
        throw LibraryError(purpose, QStringLiteral("the folder %1 cannot be made").arg(folder));

    auto created = std::make_shared<Connection>(path_, sqlite::Database::Mode::Create);
    try {
        configure(*created, busyTimeoutMs_, purpose);
        libraryschema::migrate(*created, path_);
    } catch (...) {
        created->close();
        throw;
    }
    registry_->connections.push_back(created);
    threadConnections()[serial_] = std::move(created);
}

MusicLibrary::~MusicLibrary()
{
    threadConnections().erase(serial_);
    std::lock_guard lock(registry_->mutex);
    for (const auto &weak : registry_->connections) {
        if (auto connection = weak.lock())
            connection->close();
    }
}

std::unordered_map<quint64, std::shared_ptr<MusicLibrary::Connection>> &MusicLibrary::threadConnections()
{
    // Destroyed when the thread ends, which closes the thread's connections.
    thread_local std::unordered_map<quint64, std::shared_ptr<Connection>> connections;
    return connections;
}

MusicLibrary::Connection &MusicLibrary::connection() const
{
    auto &mine = threadConnections();
    if (auto found = mine.find(serial_); found != mine.end())
        return *found->second;

    // Connections of libraries destroyed meanwhile were closed; let them go.
    std::erase_if(mine, [](const auto &entry) { return !entry.second->isOpen(); });
    auto opened = std::make_shared<Connection>(path_, sqlite::Database::Mode::ReadWrite);
    configure(*opened, busyTimeoutMs_, QStringLiteral("open the library %1").arg(path_));
    {
        std::lock_guard lock(registry_->mutex);
        std::erase_if(registry_->connections, [](const auto &weak) { return weak.expired(); });
        registry_->connections.push_back(opened);
    }
    return *mine.emplace(serial_, std::move(opened)).first->second;
}

MusicLibrary::Batch::Batch(const MusicLibrary &library, const QString &purpose)
    : transaction_(std::make_unique<sqlite::Transaction>(library.connection(), purpose))
{
}

MusicLibrary::Batch::~Batch() = default;

void MusicLibrary::Batch::commit()
{
    transaction_->commit();
}

void MusicLibrary::setBusyTimeout(int milliseconds)
{
    busyTimeoutMs_ = milliseconds;
    connection().setBusyTimeout(milliseconds);
}

bool MusicLibrary::isRunning(const QString &path)
{
    try {
        if (!QFileInfo(path).isFile() || QFileInfo(path).size() == 0)
            return false;
        libraryschema::checkFileIsLibrary(path);
        sqlite::Database db(path, sqlite::Database::Mode::ReadOnly);
        libraryschema::checkTables(db, QStringLiteral("check the library %1").arg(path));
        return true;
    } catch (const LibraryError &) {
        return false;
    }
}

