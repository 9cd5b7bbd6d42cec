// The player on a pseudo console (Windows Terminal) through the Win32 platform, against a
// stand-in console with the pseudo console's rules; the rest of the computer is the fake
// platform. Each run is compared with the same run on the fake's own console.
#include "fake/win32/check.h"
#include "fake/win32/terminal_tab.h"

namespace varlo {
namespace {

using fake::Expected;
using fake::kDefaultMode;
using fake::Run;
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
        fake::Terminal tab(120, 30, kDefaultMode, host.windowClass, host.commandLine);
        Furnish(tab);
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
    fake::Terminal tab(60, 18);
    Furnish(tab);
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

    fake::Terminal tab(120, 30);
    Furnish(tab);
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
        fake::Terminal tab(120, 30, mode);
        Furnish(tab);
        Run(tab, 1000);
        CHECK_EQ(tab.console.mouseReportAsks, 1);
        CHECK(tab.console.inputMode & ENABLE_WINDOW_INPUT);
    }
}

}  // namespace
}  // namespace varlo
