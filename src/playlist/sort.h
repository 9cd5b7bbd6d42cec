// Title and interpreter sort.
//
// File names are compared through SortKeyFold, a 256-byte table that upper-cases a to z and
// folds the Windows-1252 umlauts and the accented letters of code page 437/850 onto their base
// letters. The table applies to every byte whatever code page a name is in, and only while
// comparing: stored names are never changed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/context.h"

namespace varlo {

using TrackArray = BoundedArray<std::string, 1, kMaxTracks>;

inline constexpr size_t kTitleLimit = 56;           // characters of TrackTitle (with interpreter)
inline constexpr size_t kInterpreterLimit = 56;     // characters of TrackInterpreter
inline constexpr size_t kInterpreterKeyLimit = 60;  // characters of the interpreter sort key

void BuildSortKeyFold(Context& ctx);

// <0, 0, >0 as a is less than, equal to or greater than b through SortKeyFold; a string that
// is the beginning of another is the less.
int FoldCompare(const std::array<uint8_t, 256>& fold, const std::string& a, const std::string& b);

// Sorts keys 1 to count ascending by FoldCompare. With a companion, entry i of the companion
// moves with key i. Keys that compare equal keep their relative order, so the result depends
// on nothing but the input.
void FoldedSort(const std::array<uint8_t, 256>& fold, TrackArray& keys, int count,
                TrackArray* companion = nullptr);

// The characters before the last "."; the whole name without "."; "" when the last "." is
// the first character.
std::string BaseName(const std::string& fileName);

struct SplitName {
    std::string title;
    std::string interpreter;
    bool hasInterpreter = false;
};
// Cuts BaseName at its first " - " when that begins at position 2 or later (a BaseName that
// begins with " - " has no interpreter). The interpreter runs to the end of BaseName and may
// hold further " - ". No length limit is applied here.
SplitName SplitFileName(const std::string& fileName);

// TrackFile entries 1 to TrackCount ascending by plain byte value (unsigned bytes, a name
// that is the beginning of another first).
void SortByteOrder(Context& ctx);
// Exactly 2 x TrackCount draw pairs from Rng; each pair of different numbers exchanges two
// TrackFile entries.
void ShufflePlaylist(Context& ctx);
// Orders the list by SortMode and fills TrackTitle and TrackInterpreter for 1 to TrackCount.
// Expects TrackFile in byte order (SortByteOrder) and TrackCount >= 1.
void SortPlaylist(Context& ctx);

}  // namespace varlo
