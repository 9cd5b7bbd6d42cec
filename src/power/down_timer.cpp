#include "power/down_timer.h"

#include <algorithm>

#include "power/power_action.h"

namespace varlo {

namespace {

// DownDeadline is not above DownNow: the countdown stands at 0, power off after this title.
void SettleRemaining(PowerGroup& power) {
    if (power.DownDeadline - power.DownNow <= 0) power.DownDeadline = power.DownNow;
    power.DownRemaining = power.DownDeadline - power.DownNow;
}

}  // namespace

int CurrentMinute(Context& ctx) {
    const LocalTime t = ctx.platform.Now();
    return 60 * t.hour + t.minute;
}

int PresetNumber(const std::string& text) {
    constexpr int kSaturated = 99999;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    int sign = 1;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        if (text[i] == '-') sign = -1;
        ++i;
    }
    int value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(kSaturated, value * 10 + (text[i] - '0'));
    }
    return sign * value;
}

void DownTimerStart(Context& ctx) {
    PowerGroup& power = ctx.power;
    const int minute = CurrentMinute(ctx);
    power.DownRemaining = std::clamp(PresetNumber(power.DownPreset), 1, kDownMaxMinutes);
    power.DownDeadline = minute + power.DownRemaining;
}

void DownCheck(Context& ctx) {
    PowerGroup& power = ctx.power;
    power.DownNow = CurrentMinute(ctx);
    power.DownRemaining = power.DownDeadline - power.DownNow;
    // A deadline set before midnight, examined after it.
    if (power.DownRemaining > kDownMaxMinutes) power.DownRemaining -= kMinutesPerDay;
    if (power.DownRemaining > 0) return;
    PowerAction(ctx);
}

void DownShorter(Context& ctx) {
    PowerGroup& power = ctx.power;
    power.DownDeadline -= kDownStepMinutes;
    SettleRemaining(power);
}

void DownLonger(Context& ctx) {
    PowerGroup& power = ctx.power;
    power.DownDeadline =
        std::min(power.DownDeadline + kDownStepMinutes, power.DownNow + kDownMaxMinutes);
    SettleRemaining(power);
}

}  // namespace varlo
