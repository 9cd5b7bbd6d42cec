#include "playlist/sort.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <utility>
#include <vector>

namespace varlo {

namespace {

// One group of SortKeyFold: byte from[i] counts as byte to[i]. Every byte not named here
// counts as itself (among them 128 and 135 Ç ç, 145 and 146 æ Æ, 160 á in OEM; ß 223 and é
// 233 in Windows-1252; all capitals and digits).
struct FoldGroup {
    std::string_view from;
    std::string_view to;
};

constexpr FoldGroup kFoldGroups[] = {
    {"abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},  // a to z
    {"\xC4\xE4", "AA"},                                            // Ä ä (Windows-1252)
    {"\xD6\xF6", "OO"},                                            // Ö ö (Windows-1252)
    {"\xDC\xFC", "UU"},                                            // Ü ü (Windows-1252)
    {"\x81\x82\x83\x84\x85\x86", "UEAAAA"},                 // ü é â ä à å (OEM 437/850)
    {"\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F\x90", "EEEIIIAAE"},  // ê ë è ï î ì Ä Å É (OEM 437/850)
    {"\x93\x94\x95\x96\x97\x98\x99\x9A", "OOOUUYOU"},       // ô ö ò û ù ÿ Ö Ü (OEM 437/850)
    {"\xA1\xA2\xA3\xA4\xA5", "IOUNN"},                      // í ó ú ñ Ñ (OEM 437/850)
    {"\xA8", "?"},                                          // ¿ (OEM 437/850)
    {".", "&"},  // "." counts as "&": Abc.mp3 before Abc-Remix.mp3 and Abc(Live).mp3
    {"<", "'"},  // "<" counts as an apostrophe
};

std::vector<std::string> TakeOut(TrackArray& array, int count) {
    std::vector<std::string> items;
    items.reserve(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i) items.push_back(std::move(array(i)));
    return items;
}

// Puts items back into array in the order of index.
void PutBack(TrackArray& array, std::vector<std::string>& items, const std::vector<int>& index) {
    for (size_t i = 0; i < index.size(); ++i) {
        array(static_cast<int>(i) + 1) = std::move(items[static_cast<size_t>(index[i])]);
    }
}

}  // namespace

void BuildSortKeyFold(Context& ctx) {
    auto& fold = ctx.playlist.SortKeyFold;
    for (int k = 0; k < 256; ++k) fold[static_cast<size_t>(k)] = static_cast<uint8_t>(k);
    for (const auto& group : kFoldGroups) {
        for (size_t i = 0; i < group.from.size(); ++i) {
            fold[static_cast<unsigned char>(group.from[i])] =
                static_cast<uint8_t>(static_cast<unsigned char>(group.to[i]));
        }
    }
}

int FoldCompare(const std::array<uint8_t, 256>& fold, const std::string& a, const std::string& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int x = fold[static_cast<unsigned char>(a[i])];
        const int y = fold[static_cast<unsigned char>(b[i])];
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

void FoldedSort(const std::array<uint8_t, 256>& fold, TrackArray& keys, int count,
                TrackArray* companion) {
    if (count < 2) return;
    std::vector<std::string> items = TakeOut(keys, count);
    std::vector<int> index(static_cast<size_t>(count));
    std::iota(index.begin(), index.end(), 0);
    std::sort(index.begin(), index.end(), [&](int x, int y) {
        const int c =
            FoldCompare(fold, items[static_cast<size_t>(x)], items[static_cast<size_t>(y)]);
        return c != 0 ? c < 0 : x < y;
    });
    PutBack(keys, items, index);
    if (companion) {
        std::vector<std::string> partners = TakeOut(*companion, count);
        PutBack(*companion, partners, index);
    }
}

std::string BaseName(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

SplitName SplitFileName(const std::string& fileName) {
    SplitName split;
    std::string base = BaseName(fileName);
    const size_t cut = base.find(" - ");
    if (cut == std::string::npos || cut == 0) {
        split.title = std::move(base);
        return split;
    }
    split.title = base.substr(0, cut);
    split.interpreter = base.substr(cut + 3);
    split.hasInterpreter = true;
    return split;
}

void SortByteOrder(Context& ctx) {
    PlaylistGroup& pl = ctx.playlist;
    if (pl.TrackCount < 2) return;
    std::vector<std::string> names = TakeOut(pl.TrackFile, pl.TrackCount);
    // std::string compares through char_traits<char>, which orders as unsigned char.
    std::sort(names.begin(), names.end());
    for (int i = 1; i <= pl.TrackCount; ++i) {
        pl.TrackFile(i) = std::move(names[static_cast<size_t>(i - 1)]);
    }
}

void ShufflePlaylist(Context& ctx) {
    PlaylistGroup& pl = ctx.playlist;
    const int n = pl.TrackCount;
    for (int k = 0; k < 2 * n; ++k) {
        const int r1 = pl.Rng.Draw(n);
        const int r2 = pl.Rng.Draw(n);
        if (r1 != r2) std::swap(pl.TrackFile(r1), pl.TrackFile(r2));
    }
}

void SortPlaylist(Context& ctx) {
    PlaylistGroup& pl = ctx.playlist;
    const int n = pl.TrackCount;
    if (n < 1) return;
    FoldedSort(pl.SortKeyFold, pl.TrackFile, n);
    if (pl.SortMode == 1) {
        ShufflePlaylist(ctx);
    } else if (pl.SortMode == 3) {
        for (int i = 1; i <= n; ++i) {
            const SplitName split = SplitFileName(pl.TrackFile(i));
            pl.TrackInterpreter(i) = split.hasInterpreter
                                         ? split.interpreter.substr(0, kInterpreterKeyLimit)
                                         : " (ohne)";
        }
        FoldedSort(pl.SortKeyFold, pl.TrackInterpreter, n, &pl.TrackFile);
    }
    for (int i = 1; i <= n; ++i) {
        SplitName split = SplitFileName(pl.TrackFile(i));
        if (split.hasInterpreter) {
            pl.TrackTitle(i) = split.title.substr(0, kTitleLimit);
            pl.TrackInterpreter(i) = split.interpreter.substr(0, kInterpreterLimit);
        } else {
            pl.TrackTitle(i) = std::move(split.title);
            pl.TrackInterpreter(i) = "(   )";
        }
    }
}

}  // namespace varlo
