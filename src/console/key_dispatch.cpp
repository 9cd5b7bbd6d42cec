#include "console/key_dispatch.h"

#include <algorithm>
#include <climits>
#include <string>

#include "console/info_screen.h"
#include "console/input.h"
#include "console/output.h"
#include "console/screen.h"
#include "media/playback.h"
#include "power/down_timer.h"

namespace varlo {

namespace {

constexpr int kBeyond = INT_MAX;  // "and beyond" / "and below"

struct HotZone {
    int firstRow;  // 1-based screen rows
    int lastRow;
    int firstColumn;
    int lastColumn;
    bool doubleOnly;  // only a double-click (MouseEvent 2) counts
    const char* key;
    int keyLength;  // the extended keys hold character 0
};

// Clickable labels of the playback screen, tested in this order: where zones overlap, the
// later one wins (row 5, column 59 gives I, not P).
constexpr HotZone kHotZones[] = {
    {2, 2, 1, 3, false, "O", 1},                  // "(O)rdner"
    {3, 3, 1, 3, false, "?", 1},                  // "(?)"
    {3, 3, 59, 64, false, "Z", 1},                // "(Z)ufall"
    {4, 4, 59, 64, false, "T", 1},                // "(T)itel"
    {4, 4, 1, 3, false, "R", 1},                  // "(R)"
    {5, 5, 3, 7, false, "-", 1},                  // "(-) "
    {5, 5, 9, 16, false, "+", 1},                 // "(+)"
    {5, 5, 46, 59, false, "P", 1},                // the pause symbol "II"
    {5, 5, 19, 27, false, "D", 1},                // "(d)"
    {5, 5, 35, 39, false, "M", 1},                // "(m)"
    {5, 5, 59, 64, false, "I", 1},                // "(I)nterp."
    {7, 9, 1, 4, false, "\0H", 2},                // " up": Up
    {7, 9, 66, kBeyond, false, "\0I", 2},         // "Pg" / "up": Page Up
    {21, kBeyond, 1, 4, false, "\0P", 2},         // "down": Down
    {21, kBeyond, 66, kBeyond, false, "\0Q", 2},  // "Pg" / "down": Page Down
    {10, 11, 1, kBeyond, true, "0", 1},           // slot "0)"
    {13, 14, 1, kBeyond, true, "1", 1},           // slot "1)"
    {16, 17, 1, kBeyond, true, "2", 1},           // slot "2)"
    {19, 20, 1, kBeyond, true, "3", 1},           // slot "3)"
};

constexpr uint32_t kCreditStepWait = 200;  // ms
constexpr int kCreditSteps = 12;
constexpr int kCreditWidth = 30;

// Every scroll redraws the whole screen; the playing title stays.
PassFlow ScrollTo(Context& ctx, int listTop) {
    ctx.media.ListTop = std::max(1, std::min(listTop, std::max(1, ctx.playlist.TrackCount)));
    ctx.screen.ScreenState = 1;
    ClearScreen(ctx);
    return PassFlow::Continue;
}

PassFlow ShowInfo(Context& ctx) {
    InfoScreen(ctx);
    ctx.input.InputKey.clear();  // the key that closed the last page
    ctx.screen.ScreenState = 1;
    ClearScreen(ctx);
    return PassFlow::Continue;
}

// The title plays on meanwhile; the line is blanked after about 2.4 s.
PassFlow ShowCredit(Context& ctx) {
    Locate(ctx, 7, 15);
    Print(ctx, kCreditLine);
    for (int i = 0; i < kCreditSteps; ++i) ctx.platform.Sleep(kCreditStepWait);
    BlankCells(ctx, 7, 15, kCreditWidth);
    return PassFlow::Continue;
}

PassFlow Redraw(Context& ctx) {
    ctx.screen.ScreenState = 1;
    ClearScreen(ctx);
    return PassFlow::Continue;
}

// A command after which the list goes on.
template <void (*Action)(Context&)>
PassFlow GoOnAfter(Context& ctx) {
    Action(ctx);
    return PassFlow::Continue;
}

struct Command {
    const char* key;
    int keyLength;
    PassFlow (*run)(Context&);
};

// The commands of the playback screen, tested in this order on the decoded key.
constexpr Command kCommands[] = {
    {"\x1b", 1, QuitTitle},
    {"?", 1, ShowInfo},
    {"C", 1, ShowCredit},
    {"Z", 1, [](Context& c) { return ChangeSortOrder(c, 1); }},
    {"T", 1, [](Context& c) { return ChangeSortOrder(c, 2); }},
    {"I", 1, [](Context& c) { return ChangeSortOrder(c, 3); }},
    {"O", 1, ChangeFolder},
    {"\0H", 2, [](Context& c) { return ScrollTo(c, c.media.ListTop - 1); }},  // Up
    {"\0I", 2, [](Context& c) { return ScrollTo(c, c.media.ListTop - 4); }},  // Page Up
    {"\0P", 2, [](Context& c) { return ScrollTo(c, c.media.ListTop + 1); }},  // Down
    {"\0Q", 2, [](Context& c) { return ScrollTo(c, c.media.ListTop + 4); }},  // Page Down
    {"0", 1, [](Context& c) { return SkipToSlot(c, 0); }},
    {"1", 1, [](Context& c) { return SkipToSlot(c, 1); }},
    {"2", 1, [](Context& c) { return SkipToSlot(c, 2); }},
    {"3", 1, [](Context& c) { return SkipToSlot(c, 3); }},
    {"P", 1, PauseAndContinue},
    {"D", 1, GoOnAfter<DownShorter>},
    {"M", 1, GoOnAfter<DownLonger>},
    {"+", 1, GoOnAfter<VolumeUp>},
    {"-", 1, GoOnAfter<VolumeDown>},
    {"R", 1, Redraw},
};

// A command of the desktop's media controls, on the playing screen: what its key does here.
PassFlow RemoteDispatch(Context& ctx) {
    switch (ctx.input.Remote) {
        case RemoteCommand::PlayPause:
        case RemoteCommand::Pause:
            return PauseAndContinue(ctx);
        case RemoteCommand::Next:
            return NextTitle(ctx);
        case RemoteCommand::Quit:
            return QuitAnswered(ctx);
        case RemoteCommand::Volume:
            VolumeTo(ctx, ctx.input.RemoteVolume);
            return PassFlow::Continue;
        case RemoteCommand::Play:  // it plays already
        case RemoteCommand::None:
            break;
    }
    return PassFlow::Continue;
}

}  // namespace

std::string HotZoneKey(const Context& ctx) {
    const InputState& in = ctx.input;
    std::string key = in.InputKey;
    if (in.MouseEvent <= 0) return key;
    const int row = in.MouseRow + 1;
    for (const HotZone& zone : kHotZones) {
        if (zone.doubleOnly && in.MouseEvent != 2) continue;
        if (row >= zone.firstRow && row <= zone.lastRow && in.MouseCol >= zone.firstColumn &&
            in.MouseCol <= zone.lastColumn) {
            key.assign(zone.key, static_cast<size_t>(zone.keyLength));
        }
    }
    return key;
}

PassFlow KeyDispatch(Context& ctx) {
    if (ctx.input.Remote != RemoteCommand::None) return RemoteDispatch(ctx);
    std::string& key = ctx.input.InputKey;
    // Esc (also a right double-click) goes straight to the commands: no click mapping.
    if (key != kKeyEsc) {
        key = UpperKey(key);
        key = HotZoneKey(ctx);
    }
    for (const Command& command : kCommands) {
        if (key == std::string_view(command.key, static_cast<size_t>(command.keyLength))) {
            return command.run(ctx);
        }
    }
    return PassFlow::Continue;
}

}  // namespace varlo
