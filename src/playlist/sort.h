// Title and interpreter sort.
#pragma once

#include <string>

#include "app/context.h"

namespace varlo {

void BuildSortKeyFold(Context& ctx);

// <0, 0, >0 as a is less than, equal to or greater than b through SortKeyFold.
int FoldCompare(const std::array<uint8_t, 256>& fold, const std::string& a, const std::string& b);

// The characters before the last "."; the whole name without "."; "" when the last "." is
// the first character.
std::string BaseName(const std::string& fileName);

struct SplitName {
    std::string title;
    std::string interpreter;
    bool hasInterpreter = false;
};
// Cuts BaseName at the first " - " that begins at position 2 or later.
SplitName SplitFileName(const std::string& fileName);

// TrackFile entries 1 to TrackCount ascending by plain byte value.
void SortByteOrder(Context& ctx);
// Orders the list by SortMode and fills TrackTitle and TrackInterpreter.
void SortPlaylist(Context& ctx);

}  // namespace varlo
