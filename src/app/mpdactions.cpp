// SPDX-License-Identifier: GPL-3.0-or-later
// Sync with MPD: the actions read the options once, on the main thread, and
// start the run the tool gives; what was given is remembered for next time.
#include "appdelegate.h"

#include "support/fileutils.h"
#include "tools/mpdsync.h"

namespace {

const QString hostSetting = QStringLiteral("MPDHost");
const QString portSetting = QStringLiteral("MPDPort");
const QString musicFolderSetting = QStringLiteral("MPDMusicFolder");
const QString scaleSetting = QStringLiteral("MPDRatingScale");

} // namespace

void AppDelegate::loadMpdDefaults()
{
    const tools::MpdSyncOptions defaults;
    const QString host = files::defaultValue(hostSetting).toString();
    setMpdHost(host.isEmpty() ? defaults.address.host : host);
    const int port = files::defaultInt(portSetting);
    setMpdPort(port > 0 ? port : defaults.address.port);
    setMpdMusicFolder(files::defaultValue(musicFolderSetting).toString());
    const int scale = files::defaultInt(scaleSetting);
    setMpdRatingScale(scale > 0 ? scale : defaults.scale);
}

tools::MpdSyncOptions AppDelegate::mpdOptions()
{
    endEditing();
    tools::MpdSyncOptions options;
    options.address.host = mpdHost().trimmed();
    options.address.port = mpdPort();
    options.address.password = mpdPassword();
    options.musicFolder = mpdMusicFolder().trimmed();
    options.scale = mpdRatingScale();
    files::setDefaultValue(hostSetting, options.address.host);
    files::setDefaultInt(portSetting, options.address.port);
    if (!options.musicFolder.isEmpty())
        files::setDefaultValue(musicFolderSetting, options.musicFolder);
    files::setDefaultInt(scaleSetting, options.scale);
    return options;
}

void AppDelegate::performMpdPush()
{
    startTool(tools::mpdPush(mpdOptions(), trackSource()));
}

void AppDelegate::performMpdPull()
{
    startTool(tools::mpdPull(mpdOptions(), trackSource()));
}
