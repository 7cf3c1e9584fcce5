// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/condition.h"

// The numbered choices of the tool panes, by name. The controller keeps them
// as integers (the panes bind to them and the settings store them); a tool,
// a pane or the CLI converts at the boundary and speaks of them by these names.
namespace choices {

// selectedMethod: where the tracks of a tool come from.
enum SourceMethod : int { PlaylistSource = 0, FolderSource = 1, SelectionSource = 2 };

// selectedNumeric: what the numeric tag changer does with the entered number.
enum NumericMode : int { NumericSet = 0, NumericAdd = 1, NumericSubtract = 2 };

// selectedCapitalizationMethod.
enum Capitalization : int { TitleCase = 0, UpperCase = 1, LowerCase = 2, CapitalizeWords = 3, ProperCase = 4 };

// selectedAction of the data mover: swap the two values, or put a portion of
// the source into the target (1 and 2 do the same).
enum MoverAction : int { SwapValues = 0, CopyPortion = 1, MovePortion = 2 };

// selectedPortion of the data mover.
enum MoverPortion : int { WholeValue = 0, FirstCharacters = 1, ExceptFirstCharacters = 2, RegexMatches = 3 };

// selectedOption of the data mover: how the portion reaches the target.
enum MoverPlacement : int { ReplaceTarget = 0, AppendToTarget = 1, PrependToTarget = 2 };

// selectedPlaylistAction of the playlist manager.
enum PlaylistAction : int { AddToPlaylist = 0, RemoveFromPlaylist = 1 };

// selectedCondition of the playlist manager: the thirteen conditions.
using Condition = condition::Index;

// selectedTrailingZeroes of the filename changer.
enum TrailingZeroes : int { PadInFullFolders = 0, NeverPad = 1, AlwaysPad = 2 };

// selectedBitrate of the size calculator: 128, 192 or 256 kbps.
enum TargetBitrate : int { Bitrate128 = 0, Bitrate192 = 1, Bitrate256 = 2 };

// numberRestart of Number Tracks: where the count starts again.
enum NumberRestart : int { RestartPerAlbum = 0, RestartPerFolder = 1, NeverRestart = 2 };

// The export buttons' tags.
enum class ExportFormat { Text = 1, Xml = 2, M3u8 = 3, Xspf = 4 };

// The open-URL choices and the pane positions are named where they live
// (support/lindarc.h, the controller's pane table).

} // namespace choices
