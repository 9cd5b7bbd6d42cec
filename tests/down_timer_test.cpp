// The Down countdown in virtual time: arming, the checks around midnight and the keys D and M.
#include "power/down_timer.h"

#include <gtest/gtest.h>

#include "fake/fake_platform.h"
#include "power/power_action.h"

namespace varlo {
namespace {

using fake::FakePlatform;

constexpr uint64_t kMinute = 60 * 1000;

// A context whose clock stands at hh:mm:00 and whose power command is known.
struct Timer {
    FakePlatform p;
    Context ctx{p};

    Timer(int hour, int minute, int powerMode = 1) {
        p.clockBase = {2026, 12, 6, hour, minute, 0};
        ctx.screen.ColorTable = {2, 0, 7, 9, 5, 8};
        ctx.power.PowerMode = powerMode;
        ctx.power.PowerCommand =
            powerMode == 2 ? "C:\\W\\shutdown.exe /h" : "C:\\W\\shutdown.exe /s";
        ctx.power.DownPreset = "30";
    }
    void Minutes(uint64_t minutes) { p.now += minutes * kMinute; }
    int Remaining() const { return ctx.power.DownRemaining; }
};

TEST(DownTimer, ArmsPresetMinutesLimitedTo1Through360AndLeavesDownNow) {
    struct Row {
        const char* preset;
        int minutes;
    };
    const Row rows[] = {
        {"30", 30}, {" 45", 45}, {"12abc", 12}, {"0", 1},     {"", 1},
        {"-5", 1},  {"x30", 1},  {"360", 360},  {"361", 360}, {"99999999999999", 360},
    };
    for (const Row& row : rows) {
        Timer t(22, 30);
        t.ctx.power.DownNow = 7;
        t.ctx.power.DownPreset = row.preset;
        DownTimerStart(t.ctx);
        EXPECT_EQ(t.Remaining(), row.minutes) << '"' << row.preset << '"';
        EXPECT_EQ(t.ctx.power.DownDeadline, 1350 + row.minutes) << row.preset;
        EXPECT_EQ(t.ctx.power.DownNow, 7);
    }
}

TEST(DownTimer, CheckCountsDownAndCarriesTheDeadlineOverMidnight) {
    Timer t(23, 55);
    DownTimerStart(t.ctx);
    EXPECT_EQ(t.ctx.power.DownDeadline, 1465);
    DownCheck(t.ctx);
    EXPECT_EQ(t.ctx.power.DownNow, 1435);
    EXPECT_EQ(t.Remaining(), 30);
    t.Minutes(5);  // 00:00
    DownCheck(t.ctx);
    EXPECT_EQ(t.ctx.power.DownNow, 0);
    EXPECT_EQ(t.Remaining(), 25);
    t.Minutes(10);  // 00:10
    DownCheck(t.ctx);
    EXPECT_EQ(t.Remaining(), 15);
    EXPECT_TRUE(t.p.started.empty());
    t.Minutes(15);  // 00:25: run out, shut down
    EXPECT_THROW(DownCheck(t.ctx), ProgramEnd);
    EXPECT_EQ(t.p.started, std::vector<std::string>{"C:\\W\\shutdown.exe /s"});

    Timer late(0, 5);
    late.ctx.power.DownDeadline = 1430;  // 23:50 of the day before: 1425 - 1440
    EXPECT_THROW(DownCheck(late.ctx), ProgramEnd);
    EXPECT_EQ(late.Remaining(), -15);
}

TEST(DownTimer, LongerClampsAt360FromTheLastCheckAndSurvivesMidnight) {
    Timer t(23, 0);
    DownTimerStart(t.ctx);
    DownCheck(t.ctx);
    for (int i = 0; i < 80; ++i) DownLonger(t.ctx);
    EXPECT_EQ(t.ctx.power.DownDeadline, 1740);
    EXPECT_EQ(t.Remaining(), 360);
    // The keys count from the minute of the last check; the clock has run on since.
    t.Minutes(20);
    DownLonger(t.ctx);
    EXPECT_EQ(t.Remaining(), 360);
    DownShorter(t.ctx);
    EXPECT_EQ(t.Remaining(), 355);
    t.Minutes(50);  // 00:10
    DownCheck(t.ctx);
    EXPECT_EQ(t.Remaining(), 285);  // 1735 - 10 - 1440
}

TEST(DownTimer, SixTimesShorterIsZeroAndPowersOffAfterTheTitle) {
    Timer t(22, 30);
    DownTimerStart(t.ctx);
    DownCheck(t.ctx);
    const int expected[] = {25, 20, 15, 10, 5, 0};
    for (int shown : expected) {
        DownShorter(t.ctx);
        EXPECT_EQ(t.Remaining(), shown);
    }
    DownShorter(t.ctx);  // stays at 0
    EXPECT_EQ(t.Remaining(), 0);
    EXPECT_EQ(t.ctx.power.DownDeadline, t.ctx.power.DownNow);
    EXPECT_TRUE(t.p.started.empty());  // nothing before the title has ended
    t.Minutes(3);                      // the rest of the title
    EXPECT_THROW(DownCheck(t.ctx), ProgramEnd);
    EXPECT_EQ(t.p.started.size(), 1u);
}

TEST(DownTimer, KeysRightAfterMidnightSkipTheDayCorrection) {
    // Deadline 00:10 of the next day, checked at 00:05: 5 minutes left, deadline still 1450.
    Timer t(0, 5);
    t.ctx.power.DownDeadline = 1450;
    DownCheck(t.ctx);
    EXPECT_EQ(t.Remaining(), 5);
    DownShorter(t.ctx);
    EXPECT_EQ(t.Remaining(), 1440);  // until the next check subtracts the day: 0
    EXPECT_THROW(DownCheck(t.ctx), ProgramEnd);
    EXPECT_EQ(t.Remaining(), 0);

    Timer m(0, 5);
    m.ctx.power.DownDeadline = 1450;
    DownCheck(m.ctx);
    DownLonger(m.ctx);
    EXPECT_EQ(m.ctx.power.DownDeadline, 365);
    EXPECT_EQ(m.Remaining(), 360);
}

TEST(DownTimer, HibernationReArmsFromTheWakeUpMinute) {
    // Run out at 23:00, the computer sleeps until 07:00 during the 20 s wait.
    Timer t(22, 30, 2);
    DownTimerStart(t.ctx);
    DownCheck(t.ctx);
    t.Minutes(30);
    t.p.At(t.p.now + 2000 + 1000, [&] { t.p.now += 8 * 60 * kMinute; });
    DownCheck(t.ctx);
    EXPECT_EQ(t.p.started, std::vector<std::string>{"C:\\W\\shutdown.exe /h"});
    EXPECT_EQ(t.ctx.power.DownDeadline, 7 * 60 + 30);
    EXPECT_EQ(t.Remaining(), 30);
    EXPECT_EQ(t.ctx.power.DownPreset, "30");
    // D and M during the first title after the wake-up count from 07:00, not from 23:00.
    DownLonger(t.ctx);
    EXPECT_EQ(t.Remaining(), 35);
    DownShorter(t.ctx);
    DownShorter(t.ctx);
    EXPECT_EQ(t.Remaining(), 25);
    t.Minutes(4);
    DownCheck(t.ctx);
    EXPECT_EQ(t.Remaining(), 21);
    EXPECT_EQ(t.p.started.size(), 1u);
}

}  // namespace
}  // namespace varlo
