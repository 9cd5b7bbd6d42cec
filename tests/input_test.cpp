#include "console/input.h"

#include <gtest/gtest.h>

#include "fake/fake_platform.h"

namespace varlo {
namespace {

class Input : public ::testing::Test {
  protected:
    fake::FakePlatform p;
    Context ctx{p};
    const InputState& in = ctx.input;
    void Wait(int pollOnce) {
        ctx.input.InputPollOnce = pollOnce;
        WaitInput(ctx);
    }
};

TEST_F(Input, DoubleClicksAreEnterAndEscAMiddleOneOnlyAClick) {
    p.MouseAt(0, 11, 30, 2, 1);
    p.MouseAt(0, 3, 3, 2, 2);
    p.MouseAt(0, 3, 3, 2, 4);
    Wait(1);
    EXPECT_EQ(in.InputKey + std::to_string(in.MouseRow) + "," + std::to_string(in.MouseCol),
              "\r10,30");  // the row is 0-based
    Wait(0);
    EXPECT_EQ(in.InputKey, kKeyEsc);
    Wait(0);
    EXPECT_EQ(in.InputKey, "");
    EXPECT_EQ(in.MouseEvent, 2);
}

TEST_F(Input, WaitingIgnoresMovesAndPressesUntilAClickPollingOnceTakes20Ms) {
    Wait(1);
    EXPECT_EQ(p.now, 20u);
    p.MouseAt(100, 5, 10, 1, 0);
    p.MouseAt(200, 5, 10, 4, 1);
    p.MouseAt(300, 5, 12, 8, 1);
    Wait(0);
    EXPECT_EQ(in.MouseEvent * 100 + in.MouseButtons * 10 + in.MouseRow, 114);
    EXPECT_EQ(p.now, 300u);
    EXPECT_FALSE(p.cursorVisible);
    EXPECT_TRUE(p.mouseEnabled);
}

TEST_F(Input, ExtendedKeysStayDistinctAndFlushLeavesTheEleventhKey) {
    p.KeyAt(0, kKeyPageUp);
    Wait(0);
    EXPECT_EQ(UpperKey(in.InputKey), std::string("\0I", 2));
    EXPECT_EQ(UpperKey(std::string("\0h", 2)), std::string("\0h", 2));
    EXPECT_EQ(UpperKey("p"), "P");
    p.KeysAt(p.now, "abcdefghijk");
    FlushInput(ctx);
    Wait(1);
    EXPECT_EQ(in.InputKey, "k");
}

}  // namespace
}  // namespace varlo
