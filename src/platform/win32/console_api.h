// The console calls of the Win32 platform, behind an interface of their own: the system's
// console in the player, a stand-in with a console host's rules in the tests.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace varlo {

// One console: its active screen buffer, its input queue and its window. Each call does what
// the kernel32 or user32 function of that name does on the console's own handles and returns
// what it returns; a refused call leaves its reason in GetLastError.
class ConsoleApi {
  public:
    virtual ~ConsoleApi() = default;

    virtual BOOL GetScreenBufferInfo(CONSOLE_SCREEN_BUFFER_INFO* info) = 0;
    virtual BOOL SetScreenBufferSize(COORD size) = 0;
    virtual BOOL SetWindowInfo(const SMALL_RECT& window) = 0;  // absolute coordinates
    virtual BOOL FillCharacter(WCHAR character, DWORD length, COORD at, DWORD* written) = 0;
    virtual BOOL FillAttribute(WORD attribute, DWORD length, COORD at, DWORD* written) = 0;
    virtual BOOL WriteOutput(const CHAR_INFO* cells, COORD size, SMALL_RECT* region) = 0;
    virtual BOOL SetCursorPosition(COORD at) = 0;
    virtual BOOL SetTextAttribute(WORD attribute) = 0;
    virtual BOOL GetCursorInfo(CONSOLE_CURSOR_INFO* info) = 0;
    virtual BOOL SetCursorInfo(const CONSOLE_CURSOR_INFO& info) = 0;
    virtual BOOL GetInputMode(DWORD* mode) = 0;
    virtual BOOL SetInputMode(DWORD mode) = 0;
    // Takes the next pending input record without waiting; false when none is pending.
    virtual bool ReadPendingInput(INPUT_RECORD* record) = 0;

    // The class name of the console's window; "" without a window.
    virtual std::string WindowClass() = 0;
    // The command line of the process that owns the console's window (the console host);
    // "" when it cannot be read.
    virtual std::wstring WindowOwnerCommandLine() = 0;
    // SetWindowPos of the console's window to x, y: size, stacking and focus stay.
    virtual void MoveWindow(int x, int y) = 0;
};

// The console this process is attached to.
class SystemConsole final : public ConsoleApi {
  public:
    SystemConsole();
    ~SystemConsole() override;
    SystemConsole(const SystemConsole&) = delete;
    SystemConsole& operator=(const SystemConsole&) = delete;

    BOOL GetScreenBufferInfo(CONSOLE_SCREEN_BUFFER_INFO* info) override;
    BOOL SetScreenBufferSize(COORD size) override;
    BOOL SetWindowInfo(const SMALL_RECT& window) override;
    BOOL FillCharacter(WCHAR character, DWORD length, COORD at, DWORD* written) override;
    BOOL FillAttribute(WORD attribute, DWORD length, COORD at, DWORD* written) override;
    BOOL WriteOutput(const CHAR_INFO* cells, COORD size, SMALL_RECT* region) override;
    BOOL SetCursorPosition(COORD at) override;
    BOOL SetTextAttribute(WORD attribute) override;
    BOOL GetCursorInfo(CONSOLE_CURSOR_INFO* info) override;
    BOOL SetCursorInfo(const CONSOLE_CURSOR_INFO& info) override;
    BOOL GetInputMode(DWORD* mode) override;
    BOOL SetInputMode(DWORD mode) override;
    bool ReadPendingInput(INPUT_RECORD* record) override;
    std::string WindowClass() override;
    std::wstring WindowOwnerCommandLine() override;
    void MoveWindow(int x, int y) override;

  private:
    // The console itself, not the standard handles: output redirected to a file still
    // leaves the screen and the keys with the console.
    HANDLE output_;
    HANDLE input_;
};

// Whether the console is a pseudo console (ConPTY: Windows Terminal and other terminals),
// whose size belongs to the terminal. Windows gives its pseudo console a hidden window of
// class "PseudoConsoleWindow"; Wine gives it a window like any other console's, whose host
// was started with --headless as Windows starts the host of a pseudo console.
bool IsPseudoConsole(ConsoleApi& console);

}  // namespace varlo
