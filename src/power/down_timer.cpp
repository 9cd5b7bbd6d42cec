// Placeholder until the countdown is built.
#include "power/down_timer.h"

namespace varlo {

int CurrentMinute(Context& ctx) {
    const LocalTime t = ctx.platform.Now();
    return 60 * t.hour + t.minute;
}

void DownTimerStart(Context& ctx) {
    ctx.power.DownRemaining = 30;
}
void DownCheck(Context&) {}
void DownShorter(Context&) {}
void DownLonger(Context&) {}

}  // namespace varlo
