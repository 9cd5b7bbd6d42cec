#include "media/mci.h"

#include <gtest/gtest.h>

#include "fake/fake_platform.h"

namespace varlo {
namespace {

using fake::FakePlatform;

TEST(AliasText, EightUpperCaseHexDigits) {
    EXPECT_EQ(AliasText(1234567), "0012D687");
    EXPECT_EQ(AliasText(0x00A1B2C3), "00A1B2C3");
    EXPECT_EQ(AliasText(0xFFFFFFFF), "FFFFFFFF");
}

TEST(ReplyNumber, ReadsLikeADecimalNumberFromText) {
    EXPECT_EQ(ReplyNumber("183000"), 183000u);
    EXPECT_EQ(ReplyNumber("  \t\n42"), 42u);
    EXPECT_EQ(ReplyNumber("12abc"), 12u);
    EXPECT_EQ(ReplyNumber("playing"), 0u);
    EXPECT_EQ(ReplyNumber(""), 0u);
    EXPECT_EQ(ReplyNumber("0x1A"), 0u);
    EXPECT_EQ(ReplyNumber("inf"), 0u);
    EXPECT_EQ(ReplyNumber("."), 0u);
    EXPECT_EQ(ReplyNumber("2.5"), 2u);  // nearest, ties to even
    EXPECT_EQ(ReplyNumber("2.6"), 3u);
    EXPECT_EQ(ReplyNumber("1e3"), 1000u);
    EXPECT_EQ(ReplyNumber("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ReplyNumber("4294967297"), 1u);  // low 32 bits
}

class MciLayer : public ::testing::Test {
  protected:
    FakePlatform p;
    void SetUp() override {
        p.currentFolder = "C:\\Musik";
        p.AddFolder("C:\\Musik");
    }
};

TEST_F(MciLayer, OpenSendsShortPathAndTimeFormat) {
    p.AddMedia("C:\\Musik\\Regen - Nordwind.mp3", 200000);
    p.Find("C:\\Musik\\Regen - Nordwind.mp3")->shortName = "REGEN-~1.MP3";
    p.tickBase = 0x00A1B2C3;
    const uint32_t alias = MciOpen(p, "Regen - Nordwind.mp3");
    EXPECT_EQ(alias, 0x00A1B2C3u);
    EXPECT_EQ(p.NextMci(), "open REGEN-~1.MP3 type MPEGVideo alias 00A1B2C3");
    EXPECT_EQ(p.NextMci(), "set 00A1B2C3 time format ms");
    EXPECT_EQ(p.NextMci(), "");
}

TEST_F(MciLayer, PathWithBlankWithoutShortNameIsQuoted) {
    p.AddMedia("C:\\Musik\\Regen - Nordwind.mp3", 200000);
    p.AddMedia("C:\\Musik\\plain.mp3", 200000);
    uint32_t alias = MciOpen(p, "Regen - Nordwind.mp3");
    ASSERT_NE(alias, 0u);
    EXPECT_EQ(p.NextMci(),
              "open \"Regen - Nordwind.mp3\" type MPEGVideo alias " + AliasText(alias));
    p.NextMci();
    MciClose(p, alias);
    p.NextMci();
    p.now += 5;
    alias = MciOpen(p, "plain.mp3");
    EXPECT_EQ(p.NextMci(), "open plain.mp3 type MPEGVideo alias " + AliasText(alias));
}

TEST_F(MciLayer, MissingFileSendsNothingAndFailingOpenStillSetsTimeFormat) {
    EXPECT_EQ(MciOpen(p, "gone.mp3"), 0u);
    EXPECT_TRUE(p.mciLog.empty());
    p.AddMedia("C:\\Musik\\notes.mp3", 1000, /*playable=*/false);
    EXPECT_EQ(MciOpen(p, "notes.mp3"), 0u);
    ASSERT_EQ(p.mciLog.size(), 2u);
    EXPECT_NE(p.mciLog[0].result, 0u);
    EXPECT_EQ(p.mciLog[1].command.substr(0, 4), "set ");
    EXPECT_NE(p.mciLog[1].result, 0u);
    EXPECT_TRUE(p.devices.empty());
}

TEST_F(MciLayer, CommandStringsOfEveryOperation) {
    p.AddMedia("C:\\Musik\\a.mp3", 60000);
    p.tickBase = 0x10;
    uint32_t alias = MciOpen(p, "a.mp3");
    p.mciRead = 2;
    MciPlay(p, alias);
    p.now += 1500;
    EXPECT_EQ(MciLength(p, alias), 60000u);
    EXPECT_EQ(MciPosition(p, alias), 1500u);
    MciStop(p, alias);
    MciSeek(p, alias, 0);
    MciResume(p, alias);
    MciSetVolume(p, alias, 361);
    EXPECT_EQ(MciVolume(p, alias), 361u);
    MciSetLeftVolume(p, alias, 10);
    MciSetRightVolume(p, alias, 20);
    EXPECT_EQ(MciLeftVolume(p, alias), 10u);
    EXPECT_EQ(MciRightVolume(p, alias), 20u);
    MciRewind(p, alias);
    for (const char* expected :
         {"play 00000010", "status 00000010 length", "status 00000010 position", "stop 00000010",
          "seek 00000010 to 0", "resume 00000010", "setaudio 00000010 volume to 361",
          "status 00000010 volume", "setaudio 00000010 left volume to 10",
          "setaudio 00000010 right volume to 20", "status 00000010 left volume",
          "status 00000010 right volume", "stop 00000010", "seek 00000010 to start"}) {
        EXPECT_EQ(p.NextMci(), expected);
    }
    p.mciHook = [](const std::string&) { return std::optional<uint32_t>(263); };
    EXPECT_NE(MciClose(p, alias), 0u);
    EXPECT_EQ(alias, 0u);  // set to 0 even when the close fails
    EXPECT_EQ(p.NextMci(), "close 00000010");
}

TEST_F(MciLayer, FailedStatusQueryReadsAsZero) {
    p.AddMedia("C:\\Musik\\a.mp3", 60000);
    const uint32_t alias = MciOpen(p, "a.mp3");
    p.mciStatusFails = true;
    EXPECT_EQ(MciLength(p, alias), 0u);
    EXPECT_EQ(MciPosition(p, alias), 0u);
    EXPECT_EQ(MciLength(p, 0), 0u);  // no such device
}

}  // namespace
}  // namespace varlo
