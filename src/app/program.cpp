#include "app/program.h"

#include <new>

#include "app/error_report.h"
#include "console/output.h"
#include "media/mci.h"
#include "media/playback.h"
#include "playlist/scan.h"
#include "playlist/sort.h"
#include "power/down_timer.h"
#include "power/power_action.h"

namespace varlo {

namespace {

constexpr int kWindowX = 80;  // pixels
constexpr int kWindowY = 40;
constexpr uint32_t kNoDeviceWait = 2000;  // ms
constexpr std::array<int, 6> kColorTable = {2, 0, 7, 9, 5, 8};

// The main cycle: sort prompt and scan, sort, the title loop, and again. It never ends by
// itself; the program ends by an exception.
[[noreturn]] void MainCycle(Context& ctx) {
    for (;;) {
        SortPromptAndScan(ctx);
        PlayList(ctx);
    }
}

}  // namespace

std::string ArgumentText(const std::string& rawCommandLine) {
    size_t i = 0;
    if (!rawCommandLine.empty() && rawCommandLine[0] == '"') {
        const size_t close = rawCommandLine.find('"', 1);
        i = close == std::string::npos ? rawCommandLine.size() : close + 1;
    }
    while (i < rawCommandLine.size() && rawCommandLine[i] != ' ' && rawCommandLine[i] != '\t') {
        ++i;
    }
    while (i < rawCommandLine.size() && (rawCommandLine[i] == ' ' || rawCommandLine[i] == '\t')) {
        ++i;
    }
    return rawCommandLine.substr(i);
}

void StartUp(Context& ctx, const std::string& commandLine) {
    Platform& p = ctx.platform;
    ThrowIfSystemError(p.SetConsoleSize(kScreenColumns, kScreenRows), SystemOperation::File);
    p.MoveConsoleWindow(kWindowX, kWindowY);
    if (WaveOutDeviceCount(p) == 0) {
        PrintLine(ctx, "No sound device found!");
        p.Sleep(kNoDeviceWait);
        throw ProgramEnd{};
    }
    ctx.screen.ColorTable = kColorTable;
    SetNormalColours(ctx);
    ClearScreen(ctx);
    BuildSortKeyFold(ctx);
    ctx.playlist.ExtFilter = commandLine;
    NormaliseExtFilter(ctx);
    PowerProbe(ctx);
    DownTimerStart(ctx);
    DownCheck(ctx);
}

int RunProgram(Platform& platform, const std::string& commandLine) {
    Context ctx(platform);
    int number = 0;
    try {
        StartUp(ctx, commandLine);
        MainCycle(ctx);
    } catch (const ProgramEnd&) {
        return 0;
    } catch (const RuntimeError& error) {
        number = error.number();
    } catch (const std::bad_alloc&) {
        number = kErrOutOfMemory;
    }
    try {
        ErrorReport(ctx, number);
    } catch (const RuntimeError&) {
        // A failure inside the report itself: the program ends all the same.
    }
    return 0;
}

}  // namespace varlo
