// The player on a pseudo console (Windows Terminal) through the Win32 platform, against a
// stand-in console with the pseudo console's rules; the rest of the computer is the fake
// platform. Each run is compared with the same run on the fake's own console.
#include "fake/win32/pseudo_console.h"

#include "app/program.h"
#include "fake/fake_platform.h"
#include "fake/win32/check.h"
#include "platform/code_pages.h"
#include "platform/win32/win32_platform.h"

namespace varlo {
namespace {

// The console's mode as Windows starts one: Quick-Edit on, line editing, echo.
constexpr DWORD kDefaultMode = 0x1F7;
constexpr DWORD kNoQuickEdit = ENABLE_EXTENDED_FLAGS | ENABLE_MOUSE_INPUT | ENABLE_PROCESSED_INPUT;

// A computer that hibernates, with shutdown.exe where COMSPEC points; C:\Musik holds three
// titles of a minute. Key 2 at 500 ms: title order.
void Furnish(fake::FakePlatform& pc) {
    pc.environment = {"COMSPEC=C:\\W\\cmd.exe"};
    pc.AddFile("C:\\hiberfil.sys", "", kAttrHidden | kAttrSystem);
    pc.AddFile("C:\\W\\shutdown.exe");
    for (const char* name : {"Alpha - Nordwind.mp3",
                             "Beta - S\xFC"
                             "dwind.mp3",
                             "Gamma.ogg"}) {
        pc.AddMedia(std::string("C:\\Musik\\") + name, 60000);
    }
    pc.currentFolder = "C:\\Musik";
    pc.KeyAt(500, "2");
}

// The fake computer whose console is the Win32 platform on a stand-in console.
struct Terminal : fake::FakePlatform {
    fake::StandInConsole console;
    Win32Platform win32;
    Terminal(int columns, int rows, DWORD mode = kDefaultMode,
             std::string windowClass = "PseudoConsoleWindow", std::wstring host = L"")
        : console(Identified(columns, rows, mode, windowClass, host)), win32(console) {
        Furnish(*this);
    }
    static fake::StandInConsole Identified(int columns, int rows, DWORD mode,
                                           const std::string& windowClass,
                                           const std::wstring& host) {
        fake::StandInConsole made(columns, rows, mode);
        made.windowClass = windowClass;
        made.ownerCommandLine = host;
        return made;
    }
    uint32_t SetConsoleSize(int c, int r) override { return win32.SetConsoleSize(c, r); }
    void MoveConsoleWindow(int x, int y) override { win32.MoveConsoleWindow(x, y); }
    void SetTextAttribute(uint16_t a) override { win32.SetTextAttribute(a); }
    void ClearScreen() override { win32.ClearScreen(); }
    void SetCursor(int r, int c) override { win32.SetCursor(r, c); }
    int CursorRow() override { return win32.CursorRow(); }
    int CursorColumn() override { return win32.CursorColumn(); }
    void WriteText(std::string_view bytes) override { win32.WriteText(bytes); }
    void ShowCursor(bool visible) override { win32.ShowCursor(visible); }
    void EnableMouseInput() override { win32.EnableMouseInput(); }
    // The stand-in console's records first, then the keys of the fake's script.
    InputItem ReadInputItem() override {
        InputItem item = win32.ReadInputItem();
        return item.bytes.empty() ? FakePlatform::ReadInputItem() : item;
    }
};

void Run(fake::FakePlatform& pc, uint64_t until) {
    pc.stopAt = until;
    try {
        RunProgram(pc, "");
    } catch (const fake::FakeStop&) {
    }
}

// What a console of columns x rows should show: the fake's screen, cut where the console
// ends, and blank beyond it.
std::string Expected(const fake::FakePlatform& pc, int columns, int rows) {
    std::string text;
    for (int r = 1; r <= rows; ++r) {
        std::string row = r <= 22 ? pc.Row(r).substr(0, columns) : "";
        row.erase(row.find_last_not_of(' ') + 1);
        text += "\n";
        for (char c : row) AppendUtf8(text, Cp437ToUnicode(static_cast<unsigned char>(c)));
    }
    return text;
}

// Started in a tab of 120 x 30, on Windows and on Wine: no size asked for, no window moved,
// the screen top-left, and the shell's output beside and below it blanked in the player's
// colours. A classic console (Wine's on a terminal) is still sized to 69 x 22.
CASE(StartsInTheTerminalsTopLeft) {
    fake::FakePlatform reference;
    Furnish(reference);
    Run(reference, 3000);
    struct Host {
        const char* windowClass;
        const wchar_t* commandLine;
        bool pseudo;
    };
    for (const Host& host :
         {Host{"PseudoConsoleWindow", L"", true},
          Host{"WineConsoleClass", L"\"C:\\windows\\system32\\conhost.exe\" --headless --width 120",
               true},
          Host{"WineConsoleClass", L"\"C:\\windows\\system32\\conhost.exe\" --unix --width 120",
               false},
          Host{"ConsoleWindowClass", L"varlo.exe --headless", false}}) {
        Terminal tab(120, 30, kDefaultMode, host.windowClass, host.commandLine);
        Run(tab, 3000);
        CHECK_EQ(tab.console.sizeRequests == 0, host.pseudo);
        CHECK_EQ(tab.console.windowMoves == 0, host.pseudo);
        if (!host.pseudo) continue;
        CHECK_EQ(tab.console.Dump(1, 30), Expected(reference, 120, 30));
        CHECK_EQ(tab.console.AttributeAt(30, 120), 0x70);
    }
}

// A tab smaller than the screen gets the error report, in the tab as it is (over what the
// shell left there, as in a classic console that refuses the size).
CASE(RefusesATerminalSmallerThanTheScreen) {
    Terminal tab(60, 18);
    Run(tab, 1000);
    const std::string report = ">>Fehler: 5 , 0 ,Illegal function call<<";
    CHECK_EQ(tab.console.Row(1).substr(0, report.size()), report);
    CHECK_EQ(tab.console.sizeRequests, 0);
    CHECK_EQ(tab.console.Size().X, 60);
}

// The tab resized while a title plays: after every size the screen shows as far as the tab
// reaches, whole again once it is large enough; the player plays on. Size records that
// leave the size as it was write nothing.
CASE(FollowsTheTerminalsSizeWhilePlaying) {
    struct Step {
        uint64_t at;
        int columns, rows;
    };
    const Step steps[] = {{3000, 70, 25}, {4000, 50, 15}, {5000, 120, 30}};
    fake::FakePlatform reference;
    Furnish(reference);
    std::vector<std::string> expected;
    for (const Step& step : steps) {
        reference.At(step.at + 500, [&, step] {
            expected.push_back(Expected(reference, step.columns, step.rows));
        });
    }
    Run(reference, 7000);

    Terminal tab(120, 30);
    std::vector<std::string> shown;
    int writes = 0;
    for (const Step& step : steps) {
        tab.At(step.at, [&, step] { tab.console.HostResize(step.columns, step.rows, true); });
        tab.At(step.at + 500, [&, step] { shown.push_back(tab.console.Dump(1, step.rows)); });
    }
    tab.At(6000, [&] {
        writes = tab.console.redraws;
        tab.console.HostResize(120, 30, true);
    });
    Run(tab, 7000);
    CHECK_EQ(shown.size(), expected.size());
    for (size_t i = 0; i < shown.size() && i < expected.size(); ++i)
        CHECK_EQ(shown[i], expected[i]);
    CHECK_EQ(tab.console.redraws, writes);
    CHECK(tab.Open() && tab.Open()->playing);
}

// The terminal is asked for mouse reports also when the console started without Quick-Edit,
// whose mode the player would otherwise leave as it is.
CASE(AsksForMouseReportsWhateverTheStartMode) {
    for (DWORD mode : {kDefaultMode, kNoQuickEdit}) {
        Terminal tab(120, 30, mode);
        Run(tab, 1000);
        CHECK_EQ(tab.console.mouseReportAsks, 1);
        CHECK(tab.console.inputMode & ENABLE_WINDOW_INPUT);
    }
}

}  // namespace
}  // namespace varlo
