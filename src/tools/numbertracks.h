// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/choices.h"
#include "operations/collector.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tools {

using choices::NumberRestart;
using choices::RestartPerAlbum;
using choices::RestartPerFolder;
using choices::NeverRestart;

// The tool's options, read when the person starts it.
struct NumberTracksOptions {
    int start = 1;
    int restart = RestartPerAlbum;
    bool totals = false; // also set each track's total: the tracks its count ran over
    // Also set disc numbers: each folder an album's tracks lie in is a disc,
    // in the order the folders come; the count then starts again on each disc.
    bool discs = false;
    // Catalogue keys (or "path") to sort the tracks by before numbering;
    // empty keeps the source's order.
    QStringList order;
    // The order the tracks are shown in, which they are taken in before
    // order sorts them; empty keeps the source's order.
    TrackOrder shown;
};

// What numbering needs to know of one track.
struct TrackPlace {
    QString album;
    QString folder;
};

// The numbers one track gets.
struct TrackNumbering {
    int number = 0;
    int total = 0; // the tracks of its count
    int disc = 0;  // 0 without discs
    int discs = 0;
};

// The numbers of the tracks, taken in the order given.
QList<TrackNumbering> numbering(const QList<TrackPlace> &tracks, const NumberTracksOptions &options);

// Validates the options, then gives the run that collects the new numbers
// of the source's tracks. Main thread.
ToolStart numberTracks(const NumberTracksOptions &options, TrackSource source);

} // namespace tools
