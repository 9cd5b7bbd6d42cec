// A device that answers but whose position stands still.
#include <gtest/gtest.h>

#include "app/context.h"
#include "console/output.h"
#include "fake/fake_platform.h"
#include "media/mci.h"
#include "media/playback.h"
#include "power/down_timer.h"

namespace varlo {
namespace {

// Wine's device with a file of garbage, or a title that ended while the loop was held, tells
// a length and then the position 0 for ever. After about ten seconds of passes the title ends
// as any title does (closing wait, rewind, close) and the list goes on; titles that move are
// not cut short.
TEST(Playback, ATitleWhosePositionStandsStillEnds) {
    fake::FakePlatform p;
    Context ctx{p};
    p.stopAt = 200000;
    ctx.screen.ColorTable = {2, 0, 7, 9, 5, 8};
    SetNormalColours(ctx);
    for (int i = 1; i <= 3; ++i) {
        ctx.playlist.TrackFile(i) = "T" + std::to_string(i) + ".mp3";
        p.AddMedia("C:\\T" + std::to_string(i) + ".mp3", 60000);
    }
    ctx.playlist.TrackCount = 3;
    ctx.media.Volume = 400;
    ctx.power.DownPreset = "360";
    DownTimerStart(ctx);
    // The second title's position stands at 0 from its start.
    uint32_t stuck = 0;
    p.onMci = [&](const fake::MciRecord& r) {
        if (r.command.rfind("open T2.mp3", 0) == 0) stuck = p.TickCount();
    };
    p.mciHook = [&](const std::string& command) -> std::optional<uint32_t> {
        const bool position =
            command.size() > 9 && command.substr(command.size() - 9) == " position";
        if (stuck != 0 && position && command.find(AliasText(stuck)) != std::string::npos) {
            return 0u;  // answered, and the reply reads 0
        }
        return std::nullopt;
    };
    EXPECT_EQ(PlayList(ctx), ListEnd::Done);
    std::vector<std::pair<uint64_t, std::string>> opens, closes;
    for (const auto& r : p.mciLog) {
        if (r.command.rfind("open ", 0) == 0) opens.emplace_back(r.at, r.command.substr(5, 6));
        if (r.command.rfind("close ", 0) == 0) closes.emplace_back(r.at, r.command);
    }
    ASSERT_EQ(opens.size(), 3u);
    ASSERT_EQ(closes.size(), 3u);
    // The first title plays its 57 s and the 3 s closing wait; the second stands for about
    // 10 s of passes and the closing wait; the third plays whole.
    const uint64_t first = closes[0].first - opens[0].first;
    const uint64_t second = closes[1].first - opens[1].first;
    const uint64_t third = closes[2].first - opens[2].first;
    EXPECT_NEAR(static_cast<double>(first), 60000, 100);
    EXPECT_GE(second, 12000u);
    EXPECT_LE(second, 14000u);
    EXPECT_NEAR(static_cast<double>(third), 60000, 100);
}

}  // namespace
}  // namespace varlo
