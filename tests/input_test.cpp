#include "console/input.h"

#include <gtest/gtest.h>

#include "fake/fake_platform.h"

namespace varlo {
namespace {

class Input : public ::testing::Test {
  protected:
    fake::FakePlatform p;
    Context ctx{p};

    void Wait(int pollOnce) {
        ctx.input.InputPollOnce = pollOnce;
        WaitInput(ctx);
    }
};

TEST_F(Input, DoubleClicksBecomeEnterAndEscOnEveryScreen) {
    p.MouseAt(0, 11, 30, 2, 1);
    Wait(1);
    EXPECT_EQ(ctx.input.InputKey, kKeyEnter);
    EXPECT_EQ(ctx.input.MouseEvent, 2);
    EXPECT_EQ(ctx.input.MouseRow, 10);  // 0-based
    EXPECT_EQ(ctx.input.MouseCol, 30);
    p.MouseAt(0, 3, 3, 2, 2);
    Wait(0);
    EXPECT_EQ(ctx.input.InputKey, kKeyEsc);
    // A middle double-click is no key: it ends a wait as a click.
    p.MouseAt(0, 3, 3, 2, 4);
    Wait(0);
    EXPECT_EQ(ctx.input.InputKey, "");
    EXPECT_EQ(ctx.input.MouseEvent, 2);
}

TEST_F(Input, WaitingIgnoresMovesAndPressesUntilAClick) {
    p.MouseAt(100, 5, 10, 1, 0);  // move
    p.MouseAt(200, 5, 10, 4, 1);  // press
    p.MouseAt(300, 5, 12, 8, 1);  // release
    Wait(0);
    EXPECT_EQ(ctx.input.InputKey, "");
    EXPECT_EQ(ctx.input.MouseEvent, 1);
    EXPECT_EQ(ctx.input.MouseButtons, 1);
    EXPECT_EQ(ctx.input.MouseCol, 12);
    EXPECT_EQ(ctx.input.MouseRow, 4);
    EXPECT_GE(p.now, 300u);
    EXPECT_LT(p.now, 340u);
    EXPECT_FALSE(p.cursorVisible);
    EXPECT_TRUE(p.mouseEnabled);
}

TEST_F(Input, PollOnceReturnsAfterOneTwentyMillisecondPoll) {
    Wait(1);
    EXPECT_EQ(p.now, 20u);
    EXPECT_EQ(ctx.input.InputKey, "");
    // A move is polled, then forgotten by the next poll.
    p.MouseAt(20, 2, 2, 1, 0);
    Wait(1);
    EXPECT_EQ(ctx.input.MouseCol, 2);
    EXPECT_EQ(ctx.input.MouseEvent, 0);
    Wait(1);
    EXPECT_EQ(ctx.input.MouseCol, 0);
}

TEST_F(Input, ExtendedKeysStayDistinctFromLetters) {
    p.KeyAt(0, kKeyPageUp);
    p.KeyAt(0, "I");
    Wait(0);
    EXPECT_EQ(ctx.input.InputKey, std::string("\0I", 2));
    Wait(0);
    EXPECT_EQ(ctx.input.InputKey, "I");
    EXPECT_EQ(UpperKey(kKeyPageUp), kKeyPageUp);
    EXPECT_EQ(UpperKey(std::string("\0h", 2)), std::string("\0h", 2));
    EXPECT_EQ(UpperKey("p"), "P");
    EXPECT_EQ(UpperKey("?"), "?");
}

TEST_F(Input, FlushDiscardsTenOfElevenPendingItems) {
    p.KeysAt(0, "abcdefghijk");
    ctx.input.MouseEvent = 1;
    ctx.input.InputKey = "x";
    FlushInput(ctx);
    EXPECT_EQ(ctx.input.MouseEvent, 0);
    EXPECT_EQ(ctx.input.InputKey, "");
    EXPECT_EQ(p.now, 0u);  // without waiting
    Wait(1);
    EXPECT_EQ(ctx.input.InputKey, "k");
}

}  // namespace
}  // namespace varlo
