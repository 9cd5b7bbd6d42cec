// The console's cells on a VT terminal: colours, changed cells only, no scrolling, cursor.
#include <gtest/gtest.h>

#include <utility>

#include "platform/posix/cell_screen.h"

namespace varlo {
namespace {

std::string Render(CellScreen& screen) {
    std::string out;
    screen.Render(out);
    return out;
}

TEST(CellScreen, ConsoleColoursAsSgr) {
    // Windows colour bits: 1 blue, 2 green, 4 red, 8 bright; attribute = fg + 16 * bg
    const std::pair<uint16_t, const char*> cases[] = {
        {0x79, "94;47"}, {0x70, "30;47"},  {0x07, "37;40"},
        {0x0F, "97;40"}, {0xF0, "30;107"}, {0x14, "31;44"},
        {0x2E, "93;42"}, {0x8D, "95;100"}, {CellScreen::kTerminalColours, "0"},
    };
    for (const auto& [attribute, sgr] : cases) {
        EXPECT_EQ(CellScreen::SgrColours(attribute), sgr) << attribute;
    }
}

TEST(CellScreen, WritesOnlyChangedCellsAndNeverScrolls) {
    CellScreen s(4, 2);
    EXPECT_EQ(Render(s), "\x1b[0m\x1b[H\x1b[2J\x1b[?25h");
    s.ShowCursor(false);
    s.SetAttribute(0x70);
    s.Clear();
    EXPECT_EQ(Render(s), "\x1b[30;47m    \x1b[2;1H    \x1b[?25l");
    // The bottom-right cells, in code page 437: the text goes on in the same row.
    s.SetCursor(2, 3);
    s.SetAttribute(0x79);
    s.Write("\xC9\xCD");
    EXPECT_EQ(s.CursorRow() * 10 + s.CursorColumn(), 21);
    EXPECT_EQ(Render(s), "\x1b[2;3H\x1b[94;47m\xE2\x95\x94\xE2\x95\x90");
    s.SetCursor(2, 3);
    s.Write("\xC9\xCD");
    EXPECT_EQ(Render(s), "");
    // Outside the screen one coordinate stays.
    s.SetCursor(0, 2);
    s.SetCursor(1, 5);
    s.SetAttribute(0x70);
    s.Write("a\x01");
    EXPECT_EQ(Render(s), "\x1b[1;2H\x1b[30;47ma\xE2\x98\xBA");
    // A shown cursor goes where the player's is.
    s.ShowCursor(true);
    s.SetCursor(2, 1);
    EXPECT_EQ(Render(s), "\x1b[?25h\x1b[2;1H");
    // After a resize of the terminal everything is drawn anew.
    s.Invalidate();
    EXPECT_EQ(Render(s),
              "\x1b[0m\x1b[H\x1b[2J\x1b[30;47m a\xE2\x98\xBA \x1b[2;1H  \x1b[94;47m\xE2\x95\x94"
              "\xE2\x95\x90\x1b[?25h\x1b[2;1H");
    // A few unchanged cells between two changed ones are written again, not jumped over.
    s.SetAttribute(0x70);
    s.SetCursor(1, 1);
    s.Write("b");
    s.SetCursor(1, 4);
    s.Write("c");
    EXPECT_EQ(Render(s),
              "\x1b[1;1H\x1b[30;47mba\xE2\x98\xBA"
              "c\x1b[2;1H");
}

}  // namespace
}  // namespace varlo
