// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtGlobal>

#include "urlopener.h"

#include <optional>

// The ways the person can reach the maker; the numbers are the tags of the
// menu items and buttons that ask for them.
enum class OpenChoice : quint8 {
    openSupportMail = 1,
    openBetaMail = 2,
    openVendorPage = 3,
    openStorePage = 4,
    openStoreApp = 5,
    openMacupdatePage = 6,
};

// What the application says about itself. An empty text stands for a value
// the build does not provide.
struct BundleInfo {
    QString name;
    QString identifier;
    QString shortVersionString;
    QString version;
    QString feedbackEmail;
    QString vendorProductPage;
    QString storeProductPage;
    QString macupdateProductPage;

    // The values compiled into this build.
    static BundleInfo fromBuild();
};

// The application-support object: answers questions about the running
// application and opens the maker's contact channels. Made first at start-up
// by the controller, which owns it; main thread only. Every value is computed
// on each call.
class Lindarc {
public:
    // Creates the support folder when it is missing (a failure is ignored).
    // Addresses go to the opener; without one they are only logged.
    explicit Lindarc(BundleInfo bundle = BundleInfo::fromBuild(), UrlOpener opener = {});
    ~Lindarc();
    Lindarc(const Lindarc &) = delete;
    Lindarc &operator=(const Lindarc &) = delete;

    QString appID() const;
    QString appName() const;
    QString appVersionString() const;
    int appBuild() const; // the leading integer of the build version; 0 when there is none

    // The settings file of the user defaults.
    QString prefsPath() const;
    QUrl prefsURL() const;

    // $XDG_DATA_HOME/<appName>; empty when either part is unknown.
    QString suppPath() const;
    QUrl suppURL() const;

    // $XDG_STATE_HOME/Quavertin/crash-reports (~/.local/state by default).
    QString crashReportsPath() const;
    // Names of the crash reports there whose name begins with appName, ignoring
    // case and diacritics; absent when the folder cannot be listed.
    std::optional<QStringList> appCrashLogs() const;

    // The percent-escaped address a choice opens; empty when there is nothing
    // to open (an unknown choice, or a product page the build does not name).
    // The support mail carries no extra data: the preferences are attached
    // only while a modifier key is held, and the core cannot see the keyboard.
    QString urlTextFor(OpenChoice choice) const;

    // Opens urlTextFor(choice) through the opener; nothing when empty.
    void openURL(OpenChoice choice) const;

private:
    BundleInfo bundle_;
    UrlOpener opener_;
};

// The hardware model as the firmware names it; empty when unreadable.
QString machineModel();
