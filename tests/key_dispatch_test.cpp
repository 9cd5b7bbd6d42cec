// Decoding of keys and clicks on the playback screen, and the commands the dispatch carries
// out itself (scrolling, credit line, redraw) or hands on (volume, Down, sort order).
#include "console/key_dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/input.h"
#include "console/output.h"
#include "fake/fake_platform.h"
#include "power/down_timer.h"

namespace varlo {
namespace {

struct Dispatch : ::testing::Test {
    fake::FakePlatform p;
    Context ctx{p};

    void SetUp() override {
        ctx.screen.ColorTable = {2, 0, 7, 9, 5, 8};
        ctx.playlist.TrackCount = 10;
        for (int i = 1; i <= 10; ++i) ctx.playlist.TrackFile(i) = "t" + std::to_string(i);
        ctx.media.Volume = 400;
        ctx.media.ListTop = 1;
        ctx.screen.ScreenState = 3;
    }
    PassFlow Key(const std::string& key) {
        ctx.input = {};
        ctx.input.InputKey = key;
        return KeyDispatch(ctx);
    }
    void Click(int row, int column, int event, const std::string& key = "") {
        ctx.input = {};
        ctx.input.InputKey = key;
        ctx.input.MouseEvent = event;
        ctx.input.MouseButtons = 1;
        ctx.input.MouseRow = row - 1;
        ctx.input.MouseCol = column;
    }
    std::vector<uint32_t> Volumes() {
        std::vector<uint32_t> volumes;
        for (std::string c = p.NextMci(); !c.empty(); c = p.NextMci()) {
            const size_t at = c.find(" volume to ");
            if (c.rfind("setaudio ", 0) == 0 && at != std::string::npos) {
                volumes.push_back(static_cast<uint32_t>(std::stoul(c.substr(at + 11))));
            }
        }
        return volumes;
    }
};

TEST_F(Dispatch, HotZonesInTheirOrderLaterZoneWins) {
    struct Case {
        int row, column, event;
        std::string key;
    };
    const Case kCases[] = {
        {2, 1, 1, "O"},    {2, 4, 1, ""},          {3, 3, 1, "?"},       {3, 59, 1, "Z"},
        {4, 64, 1, "T"},   {4, 2, 1, "R"},         {5, 3, 1, "-"},       {5, 8, 1, ""},
        {5, 16, 1, "+"},   {5, 46, 1, "P"},        {5, 58, 1, "P"},      {5, 59, 1, "I"},
        {5, 64, 2, "I"},   {5, 27, 1, "D"},        {5, 28, 1, ""},       {5, 35, 1, "M"},
        {7, 4, 1, kKeyUp}, {9, 66, 1, kKeyPageUp}, {21, 1, 1, kKeyDown}, {22, 69, 1, kKeyPageDown},
        {1, 28, 1, ""},    {6, 30, 1, ""},         {12, 30, 2, ""},      {10, 30, 1, ""},
        {10, 30, 2, "0"},  {14, 1, 2, "1"},        {17, 69, 2, "2"},     {20, 5, 2, "3"},
        {19, 40, 1, ""},   {21, 30, 2, ""},
    };
    for (const Case& c : kCases) {
        Click(c.row, c.column, c.event);
        EXPECT_EQ(HotZoneKey(ctx), c.key) << c.row << "," << c.column << " event " << c.event;
    }
    // A move or a press maps nothing; a key is kept when the click hits no zone.
    Click(5, 50, 0, "X");
    EXPECT_EQ(HotZoneKey(ctx), "X");
    Click(12, 50, 2, kKeyEnter);
    EXPECT_EQ(HotZoneKey(ctx), kKeyEnter);
}

TEST_F(Dispatch, LettersInBothCasesAndExtendedKeysAreDistinct) {
    EXPECT_EQ(Key("i"), PassFlow::Continue);
    EXPECT_EQ(ctx.playlist.SortMode, 3);
    EXPECT_EQ(p.Text(2, 45, 11), "Fade out...");
    EXPECT_EQ(Volumes(), (std::vector<uint32_t>{400, 300, 200, 100}));
    ctx.media.ListTop = 6;
    EXPECT_EQ(Key(kKeyPageUp), PassFlow::Continue);
    EXPECT_EQ(ctx.media.ListTop, 2);
    EXPECT_EQ(ctx.playlist.SortMode, 3);
    EXPECT_EQ(Key("t"), PassFlow::Continue);
    EXPECT_EQ(ctx.playlist.SortMode, 2);
    EXPECT_EQ(Key("Z"), PassFlow::Continue);
    EXPECT_EQ(ctx.playlist.SortMode, 1);
}

TEST_F(Dispatch, EscIsNotMappedAndOtherInputIsIgnored) {
    // A right double-click anywhere is Esc: the title fades out and closes, the quit prompt
    // follows at the end of the title.
    Click(5, 59, 2, kKeyEsc);
    ctx.input.MouseButtons = 2;
    EXPECT_EQ(KeyDispatch(ctx), PassFlow::EndTitle);
    EXPECT_EQ(ctx.input.InputKey, kKeyEsc);
    EXPECT_EQ(ctx.playlist.SortMode, 1);
    EXPECT_EQ(p.Text(3, 40, 11), "Fade out...");
    p.mciRead = p.mciLog.size();
    // A left double-click outside the zones is Enter: nothing happens.
    Click(12, 30, 2, kKeyEnter);
    EXPECT_EQ(KeyDispatch(ctx), PassFlow::Continue);
    for (const char* key : {"x", "9", "\b", " ", "Q", "N"}) {
        EXPECT_EQ(Key(key), PassFlow::Continue) << key;
    }
    EXPECT_EQ(Key(std::string("\0;", 2)), PassFlow::Continue);
    EXPECT_EQ(p.NextMci(), "");
    EXPECT_EQ(p.writeCount, 2u);  // the two fade texts of the Esc
    EXPECT_EQ(ctx.screen.ScreenState, 3);
}

TEST_F(Dispatch, ScrollingLimitsAndRedraw) {
    struct Case {
        int from;
        std::string key;
        int to;
    };
    const Case kCases[] = {
        {8, kKeyPageDown, 10}, {7, kKeyPageDown, 10}, {10, kKeyDown, 10},
        {9, kKeyDown, 10},     {3, kKeyPageUp, 1},    {5, kKeyPageUp, 1},
        {6, kKeyPageUp, 2},    {1, kKeyUp, 1},        {2, kKeyUp, 1},
    };
    for (const Case& c : kCases) {
        ctx.media.ListTop = c.from;
        ctx.screen.ScreenState = 3;
        Print(ctx, "x");
        EXPECT_EQ(Key(c.key), PassFlow::Continue);
        EXPECT_EQ(ctx.media.ListTop, c.to) << c.from;
        EXPECT_EQ(ctx.screen.ScreenState, 1);
        EXPECT_EQ(p.ScreenText(), std::string(22, '\n'));
    }
    ctx.screen.ScreenState = 3;
    Print(ctx, "x");
    EXPECT_EQ(Key("r"), PassFlow::Continue);
    EXPECT_EQ(ctx.screen.ScreenState, 1);
    EXPECT_EQ(p.ScreenText(), std::string(22, '\n'));
    EXPECT_TRUE(p.mciLog.empty());
}

TEST_F(Dispatch, CreditLineStandsTwelveTimes200Ms) {
    p.now = 1000;
    EXPECT_EQ(Key("c"), PassFlow::Continue);
    ASSERT_EQ(p.writes.size(), 2u);
    EXPECT_EQ(p.writes[0].at, 1000u);
    EXPECT_EQ(p.writes[0].row, 7);
    EXPECT_EQ(p.writes[0].column, 15);
    EXPECT_EQ(p.writes[0].bytes, "     by VarloTeam  - ver.1.2 -");
    EXPECT_EQ(p.writes[1].at, 3400u);
    EXPECT_EQ(p.writes[1].row, 7);
    EXPECT_EQ(p.writes[1].column, 15);
    EXPECT_EQ(p.writes[1].bytes, std::string(30, ' '));
}

TEST_F(Dispatch, VolumeStepsCapAndGrid) {
    for (int i = 0; i < 5; ++i) Key("+");
    EXPECT_EQ(ctx.media.Volume, 650);
    for (int i = 0; i < 7; ++i) Key("+");
    EXPECT_EQ(ctx.media.Volume, 999);
    Key("-");
    EXPECT_EQ(ctx.media.Volume, 950);
    for (int i = 0; i < 20; ++i) Key("-");
    EXPECT_EQ(ctx.media.Volume, 50);
    Click(5, 12, 1);
    KeyDispatch(ctx);
    EXPECT_EQ(ctx.media.Volume, 100);
    const std::vector<uint32_t> sent = Volumes();
    ASSERT_EQ(sent.size(), 34u);  // every key sends, also at the limits
    EXPECT_EQ(sent[4], 650u);
    EXPECT_EQ(sent[11], 999u);
    EXPECT_EQ(sent[12], 950u);
    EXPECT_EQ(sent[32], 50u);
    EXPECT_EQ(sent[33], 100u);
}

TEST_F(Dispatch, DownKeysMoveTheCountdown) {
    ctx.power.DownPreset = "30";
    DownTimerStart(ctx);
    DownCheck(ctx);
    Key("d");
    EXPECT_EQ(ctx.power.DownRemaining, 25);
    Click(5, 37, 1);  // "(m)"
    KeyDispatch(ctx);
    EXPECT_EQ(ctx.power.DownRemaining, 30);
}

}  // namespace
}  // namespace varlo
