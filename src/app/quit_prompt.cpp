#include <string>

#include "app/error_report.h"
#include "console/input.h"
#include "console/output.h"
#include "media/now_playing.h"

namespace varlo {

namespace {

// The Esc that led here and keys typed right after it arrive within this time; they are
// discarded rather than taken as the answer.
constexpr uint32_t kSettleWait = 200;  // ms
constexpr uint32_t kEndWait = 80;      // ms
constexpr int kRightButton = 2;

}  // namespace

void QuitPrompt(Context& ctx) {
    // The player keeps no file open between its steps, so there is nothing to close here.
    PublishNowPlaying(ctx, NowPlaying::State::Stopped);
    ClearScreen(ctx);
    PrintLine(ctx, " Programm beenden ? J/N");
    // No titles were found: nothing to go back to.
    if (ctx.playlist.TrackFile(1).empty()) throw ProgramEnd{};
    ctx.input.InputPollOnce = 0;
    ctx.platform.Sleep(kSettleWait);
    FlushInput(ctx);
    // Quit from the desktop's media controls has answered already.
    if (!ctx.input.QuitAnswered) WaitInput(ctx);
    const std::string answer = ctx.input.QuitAnswered ? "J" : UpperKey(ctx.input.InputKey);
    if (answer == "J" || answer == "Y" || ctx.input.MouseButtons == kRightButton) {
        ctx.platform.Sleep(kEndWait);
        throw ProgramEnd{};
    }
    ctx.input.InputKey.clear();
}

}  // namespace varlo
