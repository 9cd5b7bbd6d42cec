// sleep_timing: how long the player's Sleep(20) really lasts. Sleeps 200 times through the
// Win32 platform, once with the way the platform picks on this system and once with the
// fallback of older systems (timer period 1 ms), and prints per way one line:
//   <way>: calls=200 asked_ms=20 mean_ms=<mean> max_ms=<maximum> min_ms=<minimum>
// On Windows without either way a Sleep(20) lasts about 31 ms (the 15.6 ms system timer).
#include <cstdio>

#include "platform/win32/win32_platform.h"

namespace {

constexpr int kCalls = 200;
constexpr uint32_t kAsked = 20;  // ms, the sleep of one input poll

void Measure(varlo::SleepTimer timer) {
    varlo::Win32Platform platform(timer);
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    double total = 0;
    double longest = 0;
    double shortest = 1e9;
    for (int i = 0; i < kCalls; ++i) {
        QueryPerformanceCounter(&before);
        platform.Sleep(kAsked);
        QueryPerformanceCounter(&after);
        const double ms = static_cast<double>(after.QuadPart - before.QuadPart) * 1000.0 /
                          static_cast<double>(frequency.QuadPart);
        total += ms;
        if (ms > longest) longest = ms;
        if (ms < shortest) shortest = ms;
    }
    std::printf("%s: calls=%d asked_ms=%u mean_ms=%.2f max_ms=%.2f min_ms=%.2f\n",
                platform.SleepMethod(), kCalls, kAsked, total / kCalls, longest, shortest);
    std::fflush(stdout);
}

}  // namespace

int main() {
    Measure(varlo::SleepTimer::HighResolution);
    Measure(varlo::SleepTimer::TimerPeriod);
    return 0;
}
