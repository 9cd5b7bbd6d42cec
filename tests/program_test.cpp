#include "app/program.h"

#include <gtest/gtest.h>

#include "fake/fake_platform.h"

namespace varlo {
namespace {

TEST(ArgumentText, WholeRestAfterProgramNameAndBlanks) {
    EXPECT_EQ(ArgumentText("varlo.exe"), "");
    EXPECT_EQ(ArgumentText("varlo mp3"), "mp3");
    EXPECT_EQ(ArgumentText("varlo   mp3 ogg "), "mp3 ogg ");
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Varlo\\varlo.exe\"  .MP3"), ".MP3");
    EXPECT_EQ(ArgumentText("\"unclosed"), "");
    EXPECT_EQ(ArgumentText(""), "");
}

TEST(StartUp, WithoutSoundDeviceOnlyTheMessageThenEnd) {
    fake::FakePlatform p;
    p.waveOutDevices = 0;
    EXPECT_EQ(RunProgram(p, ""), 0);
    EXPECT_EQ(p.Text(1, 1, 23), "No sound device found! ");
    EXPECT_EQ(p.cursorRow, 2);
    EXPECT_EQ(p.now, 2000u);
    EXPECT_TRUE(p.mciLog.empty());
    EXPECT_TRUE(p.started.empty());
    EXPECT_TRUE(p.fileWrites.empty());
}

TEST(StartUp, ConsoleThatRefusesItsSizeEndsInTheErrorReport) {
    fake::FakePlatform p;
    p.consoleSizeError = kSysInvalidParameter;
    p.KeyAt(500, "x");
    EXPECT_EQ(RunProgram(p, ""), 0);
    EXPECT_EQ(p.Text(1, 1, 40), ">>Fehler: 5 , 0 ,Illegal function call<<");
    EXPECT_GE(p.now, 500u);
    EXPECT_EQ(p.PendingInput(), 0u);
}

TEST(StartUp, ConsoleColoursAndWindowBeforeThePrompt) {
    fake::FakePlatform p;
    p.stopAt = 100;
    Context ctx(p);
    try {
        StartUp(ctx, " mp3 ");
    } catch (const fake::FakeStop&) {
    }
    EXPECT_EQ(p.consoleColumns, 69);
    EXPECT_EQ(p.consoleRows, 22);
    EXPECT_EQ(p.windowX, 80);
    EXPECT_EQ(p.windowY, 40);
    EXPECT_EQ(p.attribute, 0 + 16 * 7);  // black on light grey
    EXPECT_EQ(ctx.screen.ColorTable, (std::array<int, 6>{2, 0, 7, 9, 5, 8}));
    EXPECT_EQ(ctx.playlist.SortMode, 1);
}

}  // namespace
}  // namespace varlo
