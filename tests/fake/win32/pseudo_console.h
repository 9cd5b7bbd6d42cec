// A stand-in for a console behind the Win32 platform's console calls, with the rules of a
// pseudo console (ConPTY, as Windows Terminal hosts it) unless told to be a classic one:
//   - its window is a hidden one of class "PseudoConsoleWindow";
//   - a window set resizes the buffer (no largest-window check), and a buffer size request
//     succeeds, yet the terminal keeps its size;
//   - a resize by the terminal sets the buffer to the terminal's size, keeps only the cells
//     both sizes share, and queues WINDOW_BUFFER_SIZE_EVENTs (with ENABLE_WINDOW_INPUT),
//     optionally one with a wrong size first;
//   - the terminal is asked for mouse reports whenever the input mode changes to mouse input
//     without Quick-Edit.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/win32/console_api.h"

namespace varlo::fake {

class StandInConsole final : public ConsoleApi {
  public:
    // A console of columns x rows whose every row holds text of the shell that ran before.
    StandInConsole(int columns, int rows, DWORD inputMode);

    // --- Test controls. ---
    std::string windowClass = "PseudoConsoleWindow";
    std::wstring ownerCommandLine;
    // The terminal resizes its pseudo console; wrongFirst: a size event one row short first.
    void HostResize(int columns, int rows, bool wrongFirst = false);
    // Row r (1-based) of the buffer in UTF-8, trailing blanks cut.
    std::string Row(int r) const;
    // Rows first to last, each after a "\n".
    std::string Dump(int first, int last) const;
    WORD AttributeAt(int r, int c) const { return Cell(r, c).Attributes; }
    COORD Size() const { return size_; }
    int sizeRequests = 0;     // window sets and buffer size requests
    int windowMoves = 0;      // MoveWindow calls
    int mouseReportAsks = 0;  // times the terminal was asked for mouse reports
    int redraws = 0;          // writes and fills
    DWORD inputMode;

    // --- ConsoleApi. ---
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
    std::string WindowClass() override { return windowClass; }
    std::wstring WindowOwnerCommandLine() override { return ownerCommandLine; }
    void MoveWindow(int, int) override { ++windowMoves; }

  private:
    const CHAR_INFO& Cell(int r, int c) const { return cells_[(r - 1) * size_.X + (c - 1)]; }
    void Resize(COORD size);
    void QueueSizeEvent(COORD size);

    COORD size_;
    std::vector<CHAR_INFO> cells_;
    COORD cursor_{0, 0};
    WORD attribute_ = 0x07;
    CONSOLE_CURSOR_INFO cursorInfo_{25, TRUE};
    std::deque<INPUT_RECORD> input_;
};

}  // namespace varlo::fake
