// The folder browser reads the current folder afresh and draws the whole page after every key
// or click that does not end it, so a tree that changes meanwhile is shown as it is now.
// FolderList holds 500 entries: entry 1 is ".." or "\", and at most 499 sub-folders follow;
// the rest of a larger folder is not listed. Slots past entry 500 show nothing and act as
// empty ones.
#include "playlist/folder_chooser.h"

#include <algorithm>
#include <optional>
#include <string>

#include "console/input.h"
#include "console/output.h"
#include "media/now_playing.h"

namespace varlo {

namespace {

constexpr int kSlots = 8;
constexpr int kPageStep = 7;  // one entry of the old page stays visible
constexpr size_t kOwnNameLimit = 20;
constexpr int kNameCentre = 34;

// "Hier übernehmen >>" in Windows-1252: OemPrint converts the ü.
constexpr const char* kAcceptText =
    "Hier \xFC"
    "bernehmen >>";
constexpr const char* kRootText = " \\ (Root)";
constexpr const char* kSlotLine = "          -           -           -           -";

// Fixed texts of the page, in drawing order.
struct PageText {
    int row;
    int column;
    const char* text;
};

constexpr PageText kPageTexts[] = {
    {3, 1, " up"},     // Up zone
    {3, 67, "Pg"},     // Page Up zone
    {4, 67, "up"},     //
    {21, 67, "Pg"},    // Page Down zone
    {22, 1, "down"},   // Down zone
    {22, 66, "down"},  //
};

// Scroll zones: 0-based mouse rows, 1-based columns, and the key a click there stands for.
// Tested in this order, before the slots.
struct ClickZone {
    int firstRow;
    int lastRow;
    int firstColumn;
    int lastColumn;
    const std::string* key;
};

const ClickZone kClickZones[] = {
    {2, 3, 1, 4, &kKeyUp},            // " up" over the label "0)"
    {2, 3, 66, 69, &kKeyPageUp},      // "Pg" / "up"
    {20, 21, 1, 4, &kKeyDown},        // "down"
    {20, 21, 66, 69, &kKeyPageDown},  // "Pg" / "down"
};

constexpr int kFirstSlotMouseRow = 2;  // each slot takes its label row and the row above
constexpr int kLastSlotMouseRow = 17;

// Entry e of FolderList, "" beyond its bounds.
std::string Entry(const Context& ctx, int e) {
    return BoundedArray<std::string, 1, kFolderListSize>::Holds(e) ? ctx.playlist.FolderList(e)
                                                                   : std::string();
}

void ReadFolderList(Context& ctx) {
    PlaylistGroup& pl = ctx.playlist;
    Platform& p = ctx.platform;
    pl.FolderList.Clear();
    pl.FolderList(1) = p.CurrentFolder().size() > 3 ? ".." : "\\";
    int next = 2;
    for (const FolderEntry& entry : p.SearchFolder("*.*")) {
        if (next > kFolderListSize) break;
        if (entry.name == "." || entry.name == "..") continue;
        if ((entry.attributes & (kAttrHidden | kAttrSystem)) != 0) continue;
        uint32_t error = 0;
        const std::optional<uint32_t> attributes = p.FileAttributes(entry.name, &error);
        if (!attributes) {
            ThrowIfSystemError(error != 0 ? error : kSysFileNotFound, SystemOperation::File);
            continue;
        }
        if ((*attributes & kAttrDirectory) != 0) pl.FolderList(next++) = entry.name;
    }
    pl.FolderCount = 0;
    while (!Entry(ctx, pl.FolderCount + 1).empty()) ++pl.FolderCount;
}

void DrawPage(Context& ctx) {
    PlaylistGroup& pl = ctx.playlist;
    ClearScreen(ctx);
    Locate(ctx, 1, 2);
    ctx.screen.OemText = kAcceptText;
    OemPrint(ctx);
    const std::string path = ctx.platform.CurrentFolder();
    const size_t slash = path.rfind('\\');
    std::string ownName = slash == std::string::npos ? path : path.substr(slash + 1);
    Locate(ctx, 1, 21);
    ctx.screen.OemText =
        ownName.empty() ? std::string(kRootText) : ownName.substr(0, kOwnNameLimit);
    OemPrint(ctx);
    for (const auto& text : kPageTexts) {
        Locate(ctx, text.row, text.column);
        Print(ctx, text.text);
    }
    for (int k = 1; k <= kSlots; ++k) {
        const std::string name = Entry(ctx, pl.FolderTop + k - 1);
        if (name.empty()) continue;
        Locate(ctx, 2 * k + 2, 1);
        Print(ctx, std::string(1, static_cast<char>('0' + k - 1)) + ")");
        Locate(ctx, 2 * k + 2, kNameCentre - static_cast<int>(name.size() / 2));
        Print(ctx, name);
        Locate(ctx, 2 * k + 3, 6);
        Print(ctx, kSlotLine);
    }
}

void ChangeTo(Context& ctx, const std::string& path) {
    ThrowIfSystemError(ctx.platform.ChangeFolder(path), SystemOperation::ChangeFolder);
    ctx.playlist.ChosenFolder = path;
}

// Steps into entry e (which is not empty); FolderTop := 1.
void OpenFolderEntry(Context& ctx, int e) {
    const std::string name = Entry(ctx, e);
    if (name == "..") {
        const std::string current = ctx.platform.CurrentFolder();
        const size_t slash = current.rfind('\\');
        std::string path = slash == std::string::npos ? "" : current.substr(0, slash);
        if (path.size() < 3) path = "\\";
        ChangeTo(ctx, path);
    } else if (name != "\\") {
        ChangeTo(ctx, ctx.platform.CurrentFolder() + "\\" + name);
    }
    ctx.playlist.FolderTop = 1;
}

// What a click did: ended the chooser, opened a folder, or left a key for the key table.
enum class ClickResult { End, Opened, Key };

ClickResult HandleClick(Context& ctx) {
    InputState& in = ctx.input;
    if (in.MouseRow == 0) {
        in.InputKey = kKeyEnter;
        ctx.playlist.ChosenFolder = ctx.platform.CurrentFolder();
        return ClickResult::End;
    }
    for (const auto& zone : kClickZones) {
        if (in.MouseRow >= zone.firstRow && in.MouseRow <= zone.lastRow &&
            in.MouseCol >= zone.firstColumn && in.MouseCol <= zone.lastColumn) {
            in.InputKey = *zone.key;
            return ClickResult::Key;
        }
    }
    if (in.MouseRow >= kFirstSlotMouseRow && in.MouseRow <= kLastSlotMouseRow) {
        const int e = ctx.playlist.FolderTop + in.MouseRow / 2 - 1;
        if (!Entry(ctx, e).empty()) {
            OpenFolderEntry(ctx, e);
            return ClickResult::Opened;
        }
    }
    return ClickResult::Key;
}

// The key table. False when the key ends the chooser.
bool HandleKey(Context& ctx) {
    PlaylistGroup& pl = ctx.playlist;
    const std::string& key = ctx.input.InputKey;
    if (key == kKeyEnter) {
        pl.ChosenFolder = ctx.platform.CurrentFolder();
        return false;
    }
    if (key == kKeyEsc) return false;
    if (key == kKeyUp) {
        pl.FolderTop = std::max(1, pl.FolderTop - 1);
    } else if (key == kKeyPageUp) {
        pl.FolderTop = std::max(1, pl.FolderTop - kPageStep);
    } else if (key == kKeyDown) {
        pl.FolderTop = std::min(pl.FolderCount, pl.FolderTop + 1);
    } else if (key == kKeyPageDown) {
        pl.FolderTop = std::min(pl.FolderCount, pl.FolderTop + kPageStep);
    } else if (key == "0") {
        if (pl.FolderTop > pl.FolderCount) pl.FolderTop = pl.FolderCount;
        OpenFolderEntry(ctx, pl.FolderTop);
    } else if (key.size() == 1 && key[0] >= '1' && key[0] <= '7') {
        const int e = pl.FolderTop + (key[0] - '0');
        if (!Entry(ctx, e).empty()) OpenFolderEntry(ctx, e);
    }
    return true;
}

}  // namespace

void FolderChooser(Context& ctx) {
    PublishNowPlaying(ctx, NowPlaying::State::Stopped);
    PlaylistGroup& pl = ctx.playlist;
    pl.StartFolder = ctx.platform.CurrentFolder();
    pl.FolderTop = 1;
    // Callers read a non-empty result as "the folder changed": a result of an earlier call
    // must not survive into this one.
    pl.ChosenFolder.clear();
    for (;;) {
        ReadFolderList(ctx);
        DrawPage(ctx);
        ctx.input.InputPollOnce = 0;
        WaitInput(ctx);
        if (ctx.input.MouseEvent > 0) {
            const ClickResult click = HandleClick(ctx);
            if (click == ClickResult::End) break;
            if (click == ClickResult::Opened) continue;
        }
        if (!HandleKey(ctx)) break;
    }
    if (pl.ChosenFolder == pl.StartFolder) pl.ChosenFolder.clear();
    ClearScreen(ctx);
    ctx.screen.ScreenState = 1;
}

}  // namespace varlo
