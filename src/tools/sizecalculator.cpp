// SPDX-License-Identifier: GPL-3.0-or-later
#include "sizecalculator.h"

#include "support/alerts.h"
#include "support/cformat.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <memory>

namespace tools {

namespace {

constexpr int targetBitrates[] = {128, 192, 256};

// Truncation toward zero to 32 bits, saturating where a cast would be undefined.
double truncated(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double low = std::numeric_limits<qint32>::min();
    constexpr double high = std::numeric_limits<qint32>::max();
    return std::trunc(std::clamp(value, low, high));
}

double average(double sum, qint64 count)
{
    return count == 0 ? 0.0 : sum / double(count);
}

} // namespace

int targetBitrate(int selectedBitrate)
{
    if (selectedBitrate < 0 || selectedBitrate >= int(std::size(targetBitrates)))
        return targetBitrates[0];
    return targetBitrates[selectedBitrate];
}

void SizeEstimate::add(float duration, qint32 bitrate)
{
    const qint32 convertedDown = std::min(bitrate, qint32(target));
    const double seconds = duration;
    currentSize += truncated(bitrate * 0.125 * seconds);
    convertedDownSize += truncated(convertedDown * 0.125 * seconds);
    allConvertedSize += truncated(target * 0.125 * seconds);
    bitrateSum += bitrate;
    convertedDownBitrateSum += convertedDown;
    ++tracks;
}

double SizeEstimate::currentMB() const
{
    return currentSize * (1.0 / 1024);
}

double SizeEstimate::convertedDownMB() const
{
    return convertedDownSize * (1.0 / 1024);
}

double SizeEstimate::allConvertedMB() const
{
    return allConvertedSize * (1.0 / 1024);
}

double SizeEstimate::averageBitrate() const
{
    return average(bitrateSum, tracks);
}

double SizeEstimate::averageConvertedDownBitrate() const
{
    return average(convertedDownBitrateSum, tracks);
}

QString sizeReportTitle()
{
    return QStringLiteral("Playlist/Folder size");
}

QString sizeReport(const SizeEstimate &e)
{
    return text::cFormat(
        "These files are currently occupying approximately %.2f MB with an average bitrate of %.1f kbps.\n\n"
        "These files would occupy approximately %.2f MB (on an average bitrate of %.1f kbps) when converting "
        "higher bitrate files down to %i kbps (option in iTunes).\n\n"
        "These files would occupy approximately %.2f MB when converting them all to %i kbps (even if they are "
        "currently smaller).",
        e.currentMB(), e.averageBitrate(), e.convertedDownMB(), e.averageConvertedDownBitrate(), e.target,
        e.allConvertedMB(), e.target);
}

CollectRun sizeCalculation(int selectedBitrate, TrackSource source,
                           std::function<void(const SizeEstimate &)> finished)
{
    auto estimate = std::make_shared<SizeEstimate>();
    WindowPort *const port = source.port;
    estimate->target = targetBitrate(selectedBitrate);

    CollectRun run;
    run.source = std::move(source);
    run.title = QStringLiteral("Calculating results…");
    run.keys = {QStringLiteral("duration"), QStringLiteral("bitRate")};
    run.step = [estimate](const MusicTrack &, const TrackValues &values, QList<ChangeRecord> &) {
        estimate->add(values.value(QStringLiteral("duration")).toFloat(),
                      values.value(QStringLiteral("bitRate")).toInt());
    };
    run.report = [port, estimate, finished = std::move(finished)](bool found, bool complete, QString &) {
        // A walk that stopped has been reported; half a sum would mislead.
        if (!found || !complete)
            return false;
        if (finished)
            finished(*estimate);
        else
            alertPanel(port, sizeReportTitle(), sizeReport(*estimate));
        return true;
    };
    return run;
}

} // namespace tools
