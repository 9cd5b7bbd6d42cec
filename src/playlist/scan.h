// Sort prompt and media file scan.
#pragma once

#include <string>

#include "app/context.h"

namespace varlo {

// Trims blanks at both ends of ExtFilter and puts "." in front when missing.
void NormaliseExtFilter(Context& ctx);

// Does name match the ExtFilter, or without a filter the ExtensionList?
bool MatchesMedia(const std::string& name, const std::string& extFilter);

// The sort prompt from the top, the scan, the chooser when nothing was found, until at least
// one file is stored; then the byte-order sort and SortPlaylist. On return TrackCount >= 1.
void SortPromptAndScan(Context& ctx);

}  // namespace varlo
