#include "playlist/folder_chooser.h"

#include <gtest/gtest.h>

#include "console/input.h"
#include "fake/fake_platform.h"

namespace varlo {
namespace {

void AddSubFolders(fake::FakePlatform& f, const std::string& parent, int count) {
    for (int i = 1; i <= count; ++i) f.AddFolder(parent + "\\F" + std::to_string(1000 + i));
}

// C:\Musik with Rock, Pop, Jazz, extra folders F1001.., a file, a hidden and a system folder.
void MusikTree(fake::FakePlatform& f, int extra = 0) {
    f.stopAt = 600 * 1000;
    for (const char* name : {"Rock", "Pop", "Jazz"}) f.AddFolder(std::string("C:\\Musik\\") + name);
    f.AddFile("C:\\Musik\\a.mp3");
    f.AddFolder("C:\\Musik\\Versteckt", kAttrDirectory | kAttrHidden);
    f.AddFolder("C:\\Musik\\System", kAttrDirectory | kAttrSystem);
    AddSubFolders(f, "C:\\Musik", extra);
    f.currentFolder = "C:\\Musik";
}

class Chooser : public ::testing::Test {
  protected:
    fake::FakePlatform p;
    Context ctx{p};

    void SetUp() override { MusikTree(p); }

    void Run() { FolderChooser(ctx); }

    // Runs until the clock passes at: the screen then shows the page of that moment.
    void ShowAt(uint64_t at) {
        p.stopAt = at;
        EXPECT_THROW(Run(), fake::FakeStop);
    }
};

// A blank 69 x 22 screen with texts placed on it.
struct Page {
    std::vector<std::string> rows = std::vector<std::string>(22, std::string(69, ' '));
    Page& At(int row, int column, const std::string& text) {
        rows[static_cast<size_t>(row - 1)].replace(static_cast<size_t>(column - 1), text.size(),
                                                   text);
        return *this;
    }
    // The frame texts and slots of the chooser's page for names from slot 1 on.
    static Page Chooser(const std::string& ownName, const std::vector<std::string>& names) {
        Page page;
        page.At(1, 2,
                "Hier \x81"
                "bernehmen >>")
            .At(1, 21, ownName);
        page.At(3, 1, " up").At(3, 67, "Pg").At(4, 67, "up");
        page.At(21, 67, "Pg").At(22, 1, "down").At(22, 66, "down");
        for (size_t k = 0; k < names.size(); ++k) {
            const int row = 2 * static_cast<int>(k) + 4;
            page.At(row, 1, std::to_string(k) + ")");
            page.At(row, 34 - static_cast<int>(names[k].size() / 2), names[k]);
            page.At(row + 1, 6, "          -           -           -           -");
        }
        return page;
    }
};

TEST_F(Chooser, PageShowsVisibleSubFoldersInSearchOrder) {
    ShowAt(100);
    EXPECT_EQ(p.Screen(), Page::Chooser("Musik", {"..", "Rock", "Pop", "Jazz"}).rows);
    EXPECT_EQ(ctx.playlist.FolderCount, 4);
    EXPECT_FALSE(p.cursorVisible);
}

TEST_F(Chooser, UmlautsGoThroughOemPrintOnlyInRowOne) {
    p.AddFolder(
        "C:\\Musik\\\xDC"
        "ber");
    p.ChangeFolder(
        "C:\\Musik\\\xDC"
        "ber");
    p.AddFolder(
        "C:\\Musik\\\xDC"
        "ber\\M\xE4rz");
    ShowAt(100);
    EXPECT_EQ(p.Screen(), Page::Chooser("\x9A"
                                        "ber",
                                        {"..", "M\xE4rz"})
                              .rows);
}

TEST_F(Chooser, EnterEscAndTheChosenFolderRule) {
    p.KeyAt(0, kKeyEnter);
    Run();
    EXPECT_EQ(ctx.input.InputKey, kKeyEnter);
    EXPECT_EQ(ctx.playlist.ChosenFolder, "");  // still the folder it started in
    EXPECT_EQ(ctx.screen.ScreenState, 1);
    EXPECT_EQ(p.ScreenText(), std::string(22, '\n'));

    p.KeyAt(p.now, "1");  // Rock
    p.KeyAt(p.now, kKeyEnter);
    Run();
    EXPECT_EQ(p.currentFolder, "C:\\Musik\\Rock");
    EXPECT_EQ(ctx.playlist.ChosenFolder, "C:\\Musik\\Rock");

    p.KeyAt(p.now, "0");  // ".." back to C:\Musik
    p.KeyAt(p.now, kKeyEsc);
    Run();
    EXPECT_EQ(ctx.input.InputKey, kKeyEsc);
    EXPECT_EQ(ctx.playlist.ChosenFolder, "C:\\Musik");  // the path last changed to

    ctx.playlist.ChosenFolder = "C:\\Musik";
    p.KeyAt(p.now, kKeyEsc);
    Run();
    EXPECT_EQ(ctx.playlist.ChosenFolder, "");  // equal to where it started: emptied
}

TEST_F(Chooser, RootEntryAndTheDoubledSeparator) {
    p.currentFolder = "C:\\";
    p.KeyAt(0, "0");  // the "\" entry only reads the list again
    ShowAt(100);
    EXPECT_EQ(p.Screen(), Page::Chooser(" \\ (Root)", {"\\", "Musik"}).rows);
    EXPECT_EQ(p.currentFolder, "C:\\");

    // Into Musik from the root, then "..": the path changed to is "\".
    std::vector<std::string> chosen;
    for (const std::string& last : {kKeyEsc, kKeyEnter}) {
        p.stopAt = p.now + 60000;
        p.currentFolder = "C:\\";
        p.KeyAt(p.now, "1");
        p.KeyAt(p.now, "0");
        p.KeyAt(p.now, last);
        ctx.input.InputKey.clear();
        Run();
        EXPECT_EQ(p.currentFolder, "C:\\");
        chosen.push_back(ctx.playlist.ChosenFolder);
    }
    EXPECT_EQ(chosen, (std::vector<std::string>{"\\", ""}));
    p.KeyAt(p.now, "1");
    p.KeyAt(p.now, kKeyEsc);
    Run();
    EXPECT_EQ(ctx.playlist.ChosenFolder, "C:\\\\Musik");  // X:\ + "\" + name, as joined
}

TEST_F(Chooser, PageKeysMoveBySevenAndStopAtTheEnds) {
    AddSubFolders(p, "C:\\Viele", 20);  // 21 entries with ".."
    p.currentFolder = "C:\\Viele";
    const std::pair<std::string, int> steps[] = {
        {kKeyPageDown, 8}, {kKeyDown, 9}, {kKeyPageDown, 16}, {kKeyPageDown, 21}, {kKeyDown, 21},
        {kKeyPageUp, 14},  {kKeyUp, 13},  {"x", 13},          {"", 13},           {kKeyPageUp, 6},
        {kKeyPageUp, 1},   {kKeyUp, 1},   {kKeyPageDown, 8},  {kKeyPageDown, 15},
    };
    std::vector<int> expected, seen;
    uint64_t t = 0;
    for (const auto& [key, top] : steps) {
        if (key.empty()) {
            p.ClickAt(t, 20, 30);  // a plain click on no zone
        } else {
            p.KeyAt(t, key);
        }
        p.At(t + 60, [&] { seen.push_back(ctx.playlist.FolderTop); });
        expected.push_back(top);
        t += 100;
    }
    ShowAt(t);
    EXPECT_EQ(seen, expected);
    std::vector<std::string> names;  // entries 15 to 21
    for (int e = 15; e <= 21; ++e) names.push_back("F" + std::to_string(1000 + e - 1));
    EXPECT_EQ(p.Screen(), Page::Chooser("Viele", names).rows);
}

TEST_F(Chooser, DigitKeys) {
    p.KeyAt(0, "5");  // fewer than five entries after the first: only read again
    p.KeyAt(0, "3");  // Jazz
    p.KeyAt(0, kKeyEsc);
    Run();
    EXPECT_EQ(ctx.playlist.ChosenFolder, "C:\\Musik\\Jazz");
    EXPECT_EQ(p.currentFolder, "C:\\Musik\\Jazz");
}

TEST_F(Chooser, ClickTable) {
    struct Case {
        int row;
        int column;
        int top;             // FolderTop afterwards
        const char* folder;  // current folder afterwards
    };
    const Case cases[] = {
        {4, 1, 1, "C:\\Musik"},          // "0)" lies inside the Up zone
        {3, 4, 1, "C:\\Musik"},          // Up
        {4, 66, 1, "C:\\Musik"},         // Page Up
        {22, 4, 2, "C:\\Musik"},         // Down
        {21, 69, 8, "C:\\Musik"},        // Page Down
        {3, 5, 1, "C:\\"},               // slot 1 (..) from its upper row
        {6, 40, 1, "C:\\Musik\\Rock"},   // slot 2
        {17, 1, 1, "C:\\Musik\\F1004"},  // slot 8: entry 8
        {19, 30, 1, "C:\\Musik"},        // below the slots
        {20, 30, 1, "C:\\Musik"},        // row 20
    };
    for (const auto& c : cases) {
        fake::FakePlatform f;
        MusikTree(f, 10);  // 14 entries
        Context x(f);
        f.ClickAt(0, c.row, c.column);
        f.KeyAt(0, kKeyEsc);
        FolderChooser(x);
        EXPECT_EQ(x.playlist.FolderTop, c.top) << c.row << "," << c.column;
        EXPECT_EQ(f.currentFolder, c.folder) << c.row << "," << c.column;
    }
    // Row 1 accepts the folder now current, whatever column.
    p.KeyAt(0, "1");
    p.ClickAt(0, 1, 69, 2);
    Run();
    EXPECT_EQ(ctx.input.InputKey, kKeyEnter);
    EXPECT_EQ(ctx.playlist.ChosenFolder, "C:\\Musik\\Rock");
    // A left double-click off the zones is Enter.
    p.DoubleClickAt(p.now, 20, 30);
    Run();
    EXPECT_EQ(p.currentFolder, "C:\\Musik\\Rock");
    EXPECT_EQ(ctx.input.InputKey, kKeyEnter);
}

TEST_F(Chooser, SixHundredSubFoldersListTheFirst499) {
    AddSubFolders(p, "C:\\Musik\\Rock", 600);
    p.currentFolder = "C:\\Musik\\Rock";
    for (int i = 0; i < 80; ++i) p.KeyAt(0, kKeyPageDown);
    p.KeyAt(0, "1");  // slots past entry 500 are empty
    p.KeyAt(0, "7");
    p.ClickAt(0, 8, 30);
    ShowAt(81 * 20 + 3 * 20 + 100);
    EXPECT_EQ(ctx.playlist.FolderCount, 500);
    EXPECT_EQ(ctx.playlist.FolderList(500), "F1499");
    EXPECT_EQ(ctx.playlist.FolderTop, 500);
    EXPECT_EQ(p.Screen(), Page::Chooser("Rock", {"F1499"}).rows);

    p.stopAt = UINT64_MAX;
    for (int i = 0; i < 72; ++i) p.KeyAt(p.now, kKeyPageDown);
    p.KeyAt(p.now, "0");
    p.KeyAt(p.now, kKeyEsc);
    Run();
    EXPECT_EQ(p.currentFolder, "C:\\Musik\\Rock\\F1499");
}

TEST_F(Chooser, FoldersThatVanish) {
    // The shown folder loses a sub-folder: stepping into it is "Path not found".
    p.At(50, [this] { p.Remove("C:\\Musik\\Rock"); });
    p.KeyAt(100, "1");
    try {
        Run();
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), kErrPathNotFound);
    }
    // The current folder itself vanishes: only ".." is listed, and "0" still goes up.
    p.stopAt = p.now + 1000;
    p.currentFolder = "C:\\Musik\\Pop";
    p.At(p.now + 50, [this] { p.Remove("C:\\Musik\\Pop"); });
    p.KeyAt(p.now + 100, "x");
    ShowAt(p.now + 200);
    EXPECT_EQ(p.Screen(), Page::Chooser("Pop", {".."}).rows);
    p.stopAt = p.now + 1000;
    p.KeyAt(p.now, "0");
    p.KeyAt(p.now, kKeyEsc);
    Run();
    EXPECT_EQ(p.currentFolder, "C:\\Musik");
}

// An attribute query the system refuses ends the chooser with the mapped error.
class RefusingPlatform : public fake::FakePlatform {
  public:
    std::optional<uint32_t> FileAttributes(const std::string&, uint32_t* error) override {
        *error = kSysAccessDenied;
        return std::nullopt;
    }
};

TEST(ChooserErrors, AttributeQueryThatFails) {
    RefusingPlatform p;
    p.stopAt = 60000;
    p.AddFolder("C:\\Musik");
    Context ctx(p);
    try {
        FolderChooser(ctx);
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), 70);
    }
}

}  // namespace
}  // namespace varlo
