// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolcommands.h"

namespace cli {

const QList<ToolCommand> &toolCommands()
{
    static const QList<ToolCommand> commands = {
        // Tag search and replace
        {"search-replace", "rewrite a text tag by plain or regular-expression search and replace", searchReplaceCommand},

        // Capitalization
        {"capitalize", "change the letter case of a text tag", capitalizationCommand},

        // Data mover
        {"move", "swap two tags, or copy all or part of one tag into another", dataMoverCommand},

        // Numeric tag changer
        {"numeric", "set, increase or decrease an integer tag", numericCommand},

        // Encoding conversion
        {"encoding", "re-decode tag text read in the wrong character set", encodingCommand},

        // Playlist manager
        {"playlist", "add tracks matching a condition to a playlist, or remove them", playlistManagerCommand},

        // Filename changer
        {"rename", "rename music files from a pattern of tag placeholders", renameCommand},

        // Playlist export
        {"export", "save the tracks as a text or XML list, or an M3U8 or XSPF playlist", exportCommand},

        // Dead track removal
        {"dead", "remove library entries whose file is gone", deadTracksCommand},

        // Size calculator
        {"size", "report the space the tracks take, now and at a lower bitrate", sizeCalculatorCommand},

        // Dead track relinking
        {"relink", "relink dead tracks to files found in a folder", relinkCommand},

        // Looking at and setting any field
        {"show", "print every field and fact of the tracks' files", showCommand},
        {"set", "set one tag to one value on the tracks, through the review", setCommand},

        // Tags from File Name
        {"from-filename", "set tags from the names of the files and their folders", fromFilenameCommand},

        // Number Tracks
        {"number", "number the tracks in order, per album, per folder or throughout", numberTracksCommand},

        // Organize Files into Folders
        {"organize", "move the files into folders made from their tags", organizeCommand},

        // Ratings & Play Counts
        {"ratings", "take the files' ratings and play counts into the library's tracks, or write them into the "
                    "files in one player's fields, reviewed", ratingsCommand},
        // Cover art
        {"cover", "show, add, extract or remove the pictures embedded in the files", coverCommand},

        // Undo
        {"undo", "take back a run of the history (the newest by default), reviewed like any tool", undoCommand},

        // Sync with MPD
        {"mpd", "pull ratings and play counts from MPD's stickers into the library, or push them", mpdCommand},
    };
    return commands;
}

} // namespace cli
