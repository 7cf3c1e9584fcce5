// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/collector.h"

#include <QString>
#include <QtGlobal>

#include <functional>

namespace tools {

// The target bitrate (kbps) for the option's index: 128, 192 or 256.
int targetBitrate(int selectedBitrate);

// The running sums of one estimate. Sizes count units of 1024 bytes; each
// track adds its own product truncated toward zero, so many short tracks can
// add less than their total would.
struct SizeEstimate {
    int target = 128;
    double currentSize = 0;
    double convertedDownSize = 0;
    double allConvertedSize = 0;
    double bitrateSum = 0;
    double convertedDownBitrateSum = 0;
    qint64 tracks = 0;

    // One track of duration seconds at bitrate kbps (no value counts as 0).
    void add(float duration, qint32 bitrate);

    // Sizes in MB; averages over every track, 0 for an empty list.
    double currentMB() const;
    double convertedDownMB() const;
    double allConvertedMB() const;
    double averageBitrate() const;
    double averageConvertedDownBitrate() const;
};

// The result alert's title and message.
QString sizeReportTitle();
QString sizeReport(const SizeEstimate &estimate);

// The tool: sums the source on the worker and shows the result for the
// target bitrate of selectedBitrate. finished, when given, gets the figures
// in place of the alert, and its caller shows them (the command line prints
// the report as its output). Main thread.
CollectRun sizeCalculation(int selectedBitrate, TrackSource source,
                           std::function<void(const SizeEstimate &)> finished = {});

} // namespace tools
