// Placeholder until the sort prompt and the scan are built: scans the current folder.
#include "playlist/scan.h"

#include "console/output.h"
#include "playlist/sort.h"

namespace varlo {

void NormaliseExtFilter(Context&) {}

bool MatchesMedia(const std::string& name, const std::string&) {
    return name.size() > 4 && name.substr(name.size() - 4) == ".wav";
}

void SortPromptAndScan(Context& ctx) {
    for (;;) {
        ClearScreen(ctx);
        PrintLine(ctx, " suche Titel...");
        int i = 1;
        for (const auto& entry : ctx.platform.SearchFolder("*.*")) {
            if (i >= kMaxTracks) break;
            if ((entry.attributes & (kAttrDirectory | kAttrHidden | kAttrSystem)) == 0 &&
                MatchesMedia(entry.name, ctx.playlist.ExtFilter)) {
                ctx.playlist.TrackFile(i++) = entry.name;
            }
        }
        ctx.playlist.TrackCount = i - 1;
        if (ctx.playlist.TrackCount > 0) break;
        PrintLine(ctx, " no Files found...");
        ctx.platform.Sleep(2000);
    }
    ctx.media.Volume = 400;
    SortByteOrder(ctx);
    SortPlaylist(ctx);
}

}  // namespace varlo
