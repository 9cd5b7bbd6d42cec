#include "app/error_report.h"

#include "console/input.h"
#include "console/output.h"
#include "media/now_playing.h"

namespace varlo {

void ErrorReport(Context& ctx, int number) {
    // Nothing plays on for the desktop while the report waits, perhaps all night.
    PublishNowPlaying(ctx, NowPlaying::State::Stopped);
    // At the cursor, in the colours in effect: the screen is not cleared.
    Print(ctx, ">>Fehler:");
    PrintNumber(ctx, number);
    Print(ctx, ",");
    PrintNumber(ctx, 0);
    Print(ctx, ",");
    Print(ctx, ErrorText(number));
    Print(ctx, "<<");
    ctx.input.InputPollOnce = 0;
    WaitInput(ctx);
}

}  // namespace varlo
