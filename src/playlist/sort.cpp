// Placeholder until the sort orders are built: byte order only.
#include "playlist/sort.h"

#include <algorithm>

namespace varlo {

void BuildSortKeyFold(Context& ctx) {
    for (int k = 0; k < 256; ++k) ctx.playlist.SortKeyFold[k] = static_cast<uint8_t>(k);
}

int FoldCompare(const std::array<uint8_t, 256>&, const std::string& a, const std::string& b) {
    return a.compare(b);
}

std::string BaseName(const std::string& fileName) {
    return fileName.substr(0, fileName.rfind('.'));
}

SplitName SplitFileName(const std::string& fileName) {
    return {BaseName(fileName), "", false};
}

void SortByteOrder(Context& ctx) {
    std::vector<std::string> names;
    for (int i = 1; i <= ctx.playlist.TrackCount; ++i) names.push_back(ctx.playlist.TrackFile(i));
    std::sort(names.begin(), names.end());
    for (int i = 1; i <= ctx.playlist.TrackCount; ++i) ctx.playlist.TrackFile(i) = names[i - 1];
}

void SortPlaylist(Context& ctx) {
    for (int i = 1; i <= ctx.playlist.TrackCount; ++i) {
        ctx.playlist.TrackTitle(i) = SplitFileName(ctx.playlist.TrackFile(i)).title;
    }
}

}  // namespace varlo
