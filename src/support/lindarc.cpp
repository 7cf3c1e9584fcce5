// SPDX-License-Identifier: GPL-3.0-or-later
#include "lindarc.h"

#include "buildinfo.h"
#include "fileutils.h"
#include "textutils.h"
#include "urlopener.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>


namespace {

// A value put into a mail's subject or body must not end that field early.
QString escapedField(const QString &value)
{
    return text::escaped(value)
        .replace(QLatin1Char('&'), QLatin1String("%26"))
        .replace(QLatin1Char('='), QLatin1String("%3D"))
        .replace(QLatin1Char('?'), QLatin1String("%3F"));
}

QString mailURL(const QString &recipient, const QString &subject, const QString &body)
{
    return QStringLiteral("mailto:") + text::escaped(recipient) + QStringLiteral("?subject=") + escapedField(subject) +
           QStringLiteral("&body=") + escapedField(body);
}

// Whatever the user's state folder is, when it is set and absolute.
QString stateHome()
{
    const QString set = qEnvironmentVariable("XDG_STATE_HOME");
    if (!set.isEmpty() && QDir::isAbsolutePath(set))
        return set;
    return QDir::homePath() + QStringLiteral("/.local/state");
}

} // namespace

BundleInfo BundleInfo::fromBuild()
{
    return {QString::fromUtf8(buildinfo::bundleName),         QString::fromUtf8(buildinfo::bundleIdentifier),
            QString::fromUtf8(buildinfo::shortVersionString), QString::fromUtf8(buildinfo::bundleVersion),
            QString::fromUtf8(buildinfo::feedbackEmail),      QString::fromUtf8(buildinfo::vendorProductPage),
            QString::fromUtf8(buildinfo::storeProductPage),   QString::fromUtf8(buildinfo::macupdateProductPage)};
}

Lindarc::Lindarc(BundleInfo bundle, UrlOpener opener) : bundle_(std::move(bundle)), opener_(std::move(opener))
{
    const QString support = suppPath();
    if (!support.isEmpty() && !QFileInfo::exists(support))
        QDir().mkpath(support);
}

Lindarc::~Lindarc() = default;

QString Lindarc::appID() const
{
    return bundle_.identifier;
}

QString Lindarc::appName() const
{
    return bundle_.name;
}

QString Lindarc::appVersionString() const
{
    return bundle_.shortVersionString;
}

int Lindarc::appBuild() const
{
    return text::intValue(bundle_.version);
}

QString Lindarc::prefsPath() const
{
    return files::userDefaultsPath();
}

QUrl Lindarc::prefsURL() const
{
    return QUrl::fromLocalFile(prefsPath());
}

QString Lindarc::suppPath() const
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty() || appName().isEmpty())
        return {};
    return base + QLatin1Char('/') + appName();
}

QUrl Lindarc::suppURL() const
{
    const QString path = suppPath();
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}

QString Lindarc::crashReportsPath() const
{
    return stateHome() + QStringLiteral("/Quavertin/crash-reports");
}

std::optional<QStringList> Lindarc::appCrashLogs() const
{
    auto names = files::dirContents(crashReportsPath());
    if (!names)
        return std::nullopt;
    const QString prefix = text::foldedForComparison(appName());
    QStringList matching;
    if (prefix.isEmpty())
        return matching;
    for (const QString &name : *names) {
        if (text::foldedForComparison(name).startsWith(prefix))
            matching.append(name);
    }
    return matching;
}

QString Lindarc::urlTextFor(OpenChoice choice) const
{
    switch (choice) {
    case OpenChoice::openSupportMail: {
        const QString recipient =
            bundle_.feedbackEmail.isEmpty() ? QString::fromUtf8(buildinfo::makerSupportEmail) : bundle_.feedbackEmail;
        const auto crashLogs = appCrashLogs();
        const QString problems = crashLogs && !crashLogs->isEmpty()
                                     ? QStringLiteral(" Problems: %1").arg(crashLogs->size())
                                     : QString();
        const QString identification; // nothing beyond name, version and build is needed to tell builds apart
        const QString extraData;
        const QString subject = QStringLiteral("%1 v%2 (%3) Support Request%4")
                                    .arg(appName(), appVersionString(), QString::number(appBuild()), identification);
        const QString body = QStringLiteral("Insert Support Request Here\n\n\n\nP.S: Hardware: ") + machineModel() +
                             QStringLiteral(" Software: ") + QSysInfo::prettyProductName() + problems +
                             QLatin1Char('\n') + extraData;
        return mailURL(recipient, subject, body);
    }
    case OpenChoice::openBetaMail:
        return mailURL(bundle_.feedbackEmail, appName() + QStringLiteral(" Beta Versions"),
                       QStringLiteral("Hello\nI would like to test upcoming beta versions of ") + appName() +
                           QStringLiteral(".\nBye\n"));
    case OpenChoice::openVendorPage: {
        if (!bundle_.vendorProductPage.isEmpty())
            return text::escaped(bundle_.vendorProductPage);
        const QString word = text::words(text::lowercaseString(appName())).first().remove(QStringLiteral("-demo"));
        return text::escaped(QString::fromUtf8(buildinfo::makerWebSite) + word + QLatin1Char('/'));
    }
    case OpenChoice::openStorePage:
        return text::escaped(bundle_.storeProductPage);
    case OpenChoice::openStoreApp:
        return text::escaped(QString(bundle_.storeProductPage).replace(QStringLiteral("https"), QStringLiteral("macappstore")));
    case OpenChoice::openMacupdatePage:
        return text::escaped(bundle_.macupdateProductPage);
    }
    return {};
}

void Lindarc::openURL(OpenChoice choice) const
{
    const QString address = urlTextFor(choice);
    if (address.isEmpty())
        return;
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid())
        qWarning().noquote() << "Not a valid address:" << address;
    else if (opener_)
        opener_(url);
    else
        qWarning().noquote() << "No program is set up to open" << url.toString(QUrl::FullyEncoded);
}

QString machineModel()
{
    QFile file(QStringLiteral("/sys/class/dmi/id/product_name"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The firmware's text is short; anything longer is cut as the 256-byte
    // buffer of the original query would.
    return QString::fromUtf8(file.read(255)).trimmed();
}
