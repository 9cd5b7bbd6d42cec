#include "fake/win32/pseudo_console.h"

#include <algorithm>

#include "platform/code_pages.h"

namespace varlo::fake {

namespace {

constexpr char kShellLine[] = "C:\\Users\\anna\\Musik>dir /w ";

bool AsksForMouseReports(DWORD mode) {
    return (mode & ENABLE_MOUSE_INPUT) && !(mode & ENABLE_QUICK_EDIT_MODE);
}

}  // namespace

StandInConsole::StandInConsole(int columns, int rows, DWORD mode)
    : inputMode(mode), size_{static_cast<SHORT>(columns), static_cast<SHORT>(rows)} {
    cells_.resize(static_cast<size_t>(columns) * rows);
    for (size_t i = 0; i < cells_.size(); ++i) {
        cells_[i].Char.UnicodeChar = static_cast<WCHAR>(kShellLine[i % (sizeof kShellLine - 1)]);
        cells_[i].Attributes = 0x07;
    }
}

void StandInConsole::Resize(COORD size) {
    CHAR_INFO blank{};
    blank.Char.UnicodeChar = L' ';
    blank.Attributes = 0x07;
    std::vector<CHAR_INFO> cells(static_cast<size_t>(size.X) * size.Y, blank);
    for (SHORT r = 0; r < std::min(size.Y, size_.Y); ++r) {
        std::copy_n(&cells_[r * size_.X], std::min(size.X, size_.X), &cells[r * size.X]);
    }
    cells_ = std::move(cells);
    size_ = size;
    cursor_.X = std::min(cursor_.X, static_cast<SHORT>(size.X - 1));
    cursor_.Y = std::min(cursor_.Y, static_cast<SHORT>(size.Y - 1));
}

void StandInConsole::QueueSizeEvent(COORD size) {
    if (!(inputMode & ENABLE_WINDOW_INPUT)) return;
    INPUT_RECORD record{};
    record.EventType = WINDOW_BUFFER_SIZE_EVENT;
    record.Event.WindowBufferSizeEvent.dwSize = size;
    input_.push_back(record);
}

void StandInConsole::HostResize(int columns, int rows, bool wrongFirst) {
    const COORD size{static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
    Resize(size);
    if (wrongFirst) QueueSizeEvent(COORD{size.X, static_cast<SHORT>(size.Y - 1)});
    QueueSizeEvent(size);
}

std::string StandInConsole::Row(int r) const {
    std::string text;
    for (int c = 1; c <= size_.X; ++c) AppendUtf8(text, Cell(r, c).Char.UnicodeChar);
    return text.erase(text.find_last_not_of(' ') + 1);
}

std::string StandInConsole::Dump(int first, int last) const {
    std::string text;
    for (int r = first; r <= last; ++r) text += "\n" + Row(r);
    return text;
}

BOOL StandInConsole::GetScreenBufferInfo(CONSOLE_SCREEN_BUFFER_INFO* info) {
    info->dwSize = size_;
    info->dwCursorPosition = cursor_;
    info->wAttributes = attribute_;
    info->srWindow =
        SMALL_RECT{0, 0, static_cast<SHORT>(size_.X - 1), static_cast<SHORT>(size_.Y - 1)};
    info->dwMaximumWindowSize = size_;
    return TRUE;
}

BOOL StandInConsole::SetScreenBufferSize(COORD size) {
    ++sizeRequests;
    Resize(size);
    return TRUE;
}

BOOL StandInConsole::SetWindowInfo(const SMALL_RECT& window) {
    ++sizeRequests;
    Resize(COORD{static_cast<SHORT>(window.Right + 1), static_cast<SHORT>(window.Bottom + 1)});
    return TRUE;
}

BOOL StandInConsole::FillCharacter(WCHAR character, DWORD length, COORD at, DWORD* written) {
    ++redraws;
    const size_t from = static_cast<size_t>(at.Y) * size_.X + at.X;
    *written = static_cast<DWORD>(std::min<size_t>(length, cells_.size() - from));
    for (size_t i = 0; i < *written; ++i) cells_[from + i].Char.UnicodeChar = character;
    return TRUE;
}

BOOL StandInConsole::FillAttribute(WORD attribute, DWORD length, COORD at, DWORD* written) {
    ++redraws;
    const size_t from = static_cast<size_t>(at.Y) * size_.X + at.X;
    *written = static_cast<DWORD>(std::min<size_t>(length, cells_.size() - from));
    for (size_t i = 0; i < *written; ++i) cells_[from + i].Attributes = attribute;
    return TRUE;
}

BOOL StandInConsole::WriteOutput(const CHAR_INFO* cells, COORD size, SMALL_RECT* region) {
    ++redraws;
    // Clipped to the source and to the buffer, as the console does.
    region->Right = std::min<SHORT>({region->Right, static_cast<SHORT>(size_.X - 1),
                                     static_cast<SHORT>(region->Left + size.X - 1)});
    region->Bottom = std::min<SHORT>({region->Bottom, static_cast<SHORT>(size_.Y - 1),
                                      static_cast<SHORT>(region->Top + size.Y - 1)});
    for (SHORT r = region->Top; r <= region->Bottom; ++r) {
        for (SHORT c = region->Left; c <= region->Right; ++c) {
            cells_[r * size_.X + c] = cells[(r - region->Top) * size.X + (c - region->Left)];
        }
    }
    return TRUE;
}

BOOL StandInConsole::SetCursorPosition(COORD at) {
    if (at.X < 0 || at.Y < 0 || at.X >= size_.X || at.Y >= size_.Y) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    cursor_ = at;
    return TRUE;
}

BOOL StandInConsole::SetTextAttribute(WORD attribute) {
    attribute_ = attribute;
    return TRUE;
}

BOOL StandInConsole::GetCursorInfo(CONSOLE_CURSOR_INFO* info) {
    *info = cursorInfo_;
    return TRUE;
}

BOOL StandInConsole::SetCursorInfo(const CONSOLE_CURSOR_INFO& info) {
    cursorInfo_ = info;
    return TRUE;
}

BOOL StandInConsole::GetInputMode(DWORD* mode) {
    *mode = inputMode;
    return TRUE;
}

BOOL StandInConsole::SetInputMode(DWORD mode) {
    if (AsksForMouseReports(mode) && !AsksForMouseReports(inputMode)) ++mouseReportAsks;
    inputMode = mode;
    return TRUE;
}

bool StandInConsole::ReadPendingInput(INPUT_RECORD* record) {
    if (input_.empty()) return false;
    *record = input_.front();
    input_.pop_front();
    return true;
}

}  // namespace varlo::fake
