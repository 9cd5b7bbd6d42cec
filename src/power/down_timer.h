// The Down countdown: minutes until the computer is powered off after the current title.
//
// It is no running timer. DownDeadline is a minute of the day that may lie past midnight (up
// to 1439 + 360); DownRemaining is recomputed only by DownCheck (after every title) and by the
// keys D and M, and the Down field shows the value of the last such moment.
#pragma once

#include <string>

#include "app/context.h"

namespace varlo {

inline constexpr int kDownMaxMinutes = 360;  // arming, key M and the midnight test
inline constexpr int kDownStepMinutes = 5;   // keys D and M
inline constexpr int kMinutesPerDay = 1440;

// Minute of the day (0..1439) of the local clock: 60 * hh + mm.
int CurrentMinute(Context& ctx);

// The number at the start of a preset text: leading blanks, an optional sign, digits; 0 when
// there is none. Far too many digits saturate instead of overflowing.
int PresetNumber(const std::string& text);

// Arms the countdown with DownPreset minutes (limited to 1..360) from the present minute.
// DownNow stays as it is.
void DownTimerStart(Context& ctx);
// Recomputes DownNow and DownRemaining; runs the PowerAction when the time has run out.
void DownCheck(Context& ctx);
// Keys D and M: 5 minutes shorter or longer, counted from DownNow (the minute of the last
// check, not the present one), at most 360 and never below 0. No midnight correction here:
// right after midnight D can show more than 360 until the next DownCheck.
void DownShorter(Context& ctx);
void DownLonger(Context& ctx);

}  // namespace varlo
