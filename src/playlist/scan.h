// Sort prompt and media file scan.
#pragma once

#include <string>

#include "app/context.h"

namespace varlo {

inline constexpr int kPromptPolls = 60;         // empty polls before the prompt answers itself
inline constexpr uint32_t kPromptWait = 50;     // ms after each empty poll (plus the 20 ms poll)
inline constexpr size_t kTypedLineMax = 10000;  // characters of the line typed after key D
inline constexpr uint32_t kNothingFoundWait = 2000;  // ms
inline constexpr float kScanVolume = 400;

// Trims blanks at both ends of ExtFilter and puts "." in front when missing; "" stays "".
void NormaliseExtFilter(Context& ctx);

// Does name match the ExtFilter, or without a filter the ExtensionList? Only the last
// LEN(filter) characters of the name are compared, A to Z counting as a to z: ".mp3" matches
// "a.b.mp3" and the name ".mp3" alone, while ".3" matches "x.3" but not "x.mp3".
bool MatchesMedia(const std::string& name, const std::string& extFilter);

// The first comma-separated field of a typed line, blanks around it removed; a field that
// begins with a double quote is the text up to the next one.
std::string FirstField(const std::string& line);

// Volume := 400, " suche Titel...", then TrackFile 1.. := the first 1999 matching normal
// files of the current folder in the order of the search; TrackCount := their number.
void ScanCurrentFolder(Context& ctx);

// The sort prompt from the top, the scan, the chooser when nothing was found, until at least
// one file is stored; then the byte-order sort and SortPlaylist. On return TrackCount >= 1.
void SortPromptAndScan(Context& ctx);

}  // namespace varlo
