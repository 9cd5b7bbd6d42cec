// The fake computer whose console is the Win32 platform on a stand-in console with the
// pseudo console's rules, and what such a console should show.
#pragma once

#include <functional>
#include <string>

#include "app/program.h"
#include "fake/fake_platform.h"
#include "fake/win32/pseudo_console.h"
#include "platform/code_pages.h"
#include "platform/win32/win32_platform.h"

namespace varlo::fake {

// The console's mode as Windows starts one: Quick-Edit on, line editing, echo.
constexpr DWORD kDefaultMode = 0x1F7;

// The fake computer whose console is the Win32 platform on the stand-in console.
struct Terminal : FakePlatform {
    StandInConsole console;
    Win32Platform win32;
    Terminal(int columns, int rows, DWORD mode = kDefaultMode,
             std::string windowClass = "PseudoConsoleWindow", std::wstring host = L"")
        : console(Identified(columns, rows, mode, windowClass, host)), win32(console) {}
    static StandInConsole Identified(int columns, int rows, DWORD mode,
                                     const std::string& windowClass, const std::wstring& host) {
        StandInConsole made(columns, rows, mode);
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

inline void Run(FakePlatform& pc, uint64_t until) {
    pc.stopAt = until;
    try {
        RunProgram(pc, "");
    } catch (const FakeStop&) {
    }
}

// What a console of columns x rows should show: the fake's screen, cut where the console
// ends, and blank beyond it.
inline std::string Expected(const FakePlatform& pc, int columns, int rows) {
    std::string text;
    for (int r = 1; r <= rows; ++r) {
        std::string row = r <= 22 ? pc.Row(r).substr(0, columns) : "";
        row.erase(row.find_last_not_of(' ') + 1);
        text += "\n";
        for (char c : row) AppendUtf8(text, Cp437ToUnicode(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace varlo::fake
