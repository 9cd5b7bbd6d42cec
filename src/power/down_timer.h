// The Down countdown: minutes until the computer is powered off after the current title.
#pragma once

#include "app/context.h"

namespace varlo {

// Minute of the day (0..1439) of the local clock.
int CurrentMinute(Context& ctx);

void DownTimerStart(Context& ctx);
// Recomputes DownNow and DownRemaining; runs the PowerAction when the time has run out.
void DownCheck(Context& ctx);
void DownShorter(Context& ctx);  // key D
void DownLonger(Context& ctx);   // key M

}  // namespace varlo
