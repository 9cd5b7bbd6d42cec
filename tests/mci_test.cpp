#include "media/mci.h"

#include <gtest/gtest.h>

#include "fake/fake_platform.h"

namespace varlo {
namespace {

TEST(Mci, AliasTextAndReplyNumbers) {
    EXPECT_EQ(AliasText(1234567), "0012D687");
    EXPECT_EQ(AliasText(0x00A1B2C3), "00A1B2C3");
    const std::pair<const char*, uint32_t> kReplies[] = {
        {"183000", 183000}, {"  \t\n42", 42},  {"12abc", 12}, {"playing", 0}, {"", 0},
        {"0x1A", 0},        {"inf", 0},        {".", 0},      {"2.6", 3},     {"1e3", 1000},
        {"-1", 0xFFFFFFFF}, {"4294967297", 1},
    };
    for (const auto& [reply, number] : kReplies) EXPECT_EQ(ReplyNumber(reply), number) << reply;
}

class MciLayer : public ::testing::Test {
  protected:
    fake::FakePlatform p;
    void SetUp() override {
        p.currentFolder = "C:\\Musik";
        p.AddMedia("C:\\Musik\\Regen - Nordwind.mp3", 60000);
        p.tickBase = 0x10;
    }
};

TEST_F(MciLayer, OpenSendsTheShortPathOrQuotesAPathWithBlanks) {
    p.Find("Regen - Nordwind.mp3")->shortName = "REGEN-~1.MP3";
    uint32_t alias = MciOpen(p, "Regen - Nordwind.mp3");
    EXPECT_EQ(alias, 0x10u);
    EXPECT_EQ(p.NextMci(), "open REGEN-~1.MP3 type MPEGVideo alias 00000010");
    EXPECT_EQ(p.NextMci(), "set 00000010 time format ms");
    MciClose(p, alias);
    p.NextMci();
    p.Find("Regen - Nordwind.mp3")->shortName = "";  // 8.3 names off: the long path comes back
    p.now = 1;
    EXPECT_EQ(MciOpen(p, "Regen - Nordwind.mp3"), 0x11u);
    EXPECT_EQ(p.NextMci(), "open \"Regen - Nordwind.mp3\" type MPEGVideo alias 00000011");
}

TEST_F(MciLayer, MissingFileSendsNothingAndFailingOpenStillSetsTimeFormat) {
    EXPECT_EQ(MciOpen(p, "gone.mp3"), 0u);
    EXPECT_TRUE(p.mciLog.empty());
    p.AddMedia("C:\\Musik\\notes.mp3", 1000, /*playable=*/false);
    EXPECT_EQ(MciOpen(p, "notes.mp3"), 0u);
    ASSERT_EQ(p.mciLog.size(), 2u);
    EXPECT_EQ(p.mciLog[1].command, "set 00000010 time format ms");
    EXPECT_TRUE(p.devices.empty());
}

TEST_F(MciLayer, CommandStringsOfEveryOperation) {
    uint32_t alias = MciOpen(p, "Regen - Nordwind.mp3");
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
    EXPECT_EQ(MciLeftVolume(p, alias) + MciRightVolume(p, alias), 30u);
    MciRewind(p, alias);
    for (const char* expected :
         {"play 00000010", "status 00000010 length", "status 00000010 position", "stop 00000010",
          "seek 00000010 to 0", "resume 00000010", "setaudio 00000010 volume to 361",
          "status 00000010 volume", "setaudio 00000010 left volume to 10",
          "setaudio 00000010 right volume to 20", "status 00000010 left volume",
          "status 00000010 right volume", "stop 00000010", "seek 00000010 to start"}) {
        EXPECT_EQ(p.NextMci(), expected);
    }
    p.mciStatusFails = true;
    EXPECT_EQ(MciLength(p, alias), 0u);  // a failed query reads as 0
    p.mciHook = [](const std::string&) { return std::optional<uint32_t>(263); };
    EXPECT_NE(MciClose(p, alias), 0u);
    EXPECT_EQ(alias, 0u);  // 0 even when the close fails
}

}  // namespace
}  // namespace varlo
