#include "platform/win32/win32_platform.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstring>

#include "platform/code_pages.h"

// Windows 10 1803 and later; older systems refuse the flag. Not in every mingw-w64's headers.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace varlo {

namespace {

constexpr int kSizeTries = 10;
constexpr DWORD kSizeRetryWait = 20;  // ms between two tries of the console size
constexpr DWORD kMaxRepeat = 32;      // key repeats taken from one record; the rest is dropped
constexpr DWORD kShortPathBuffer = 255;
constexpr size_t kShortCommand = 64;          // MCI commands ended on the stack (see MciSendString)
constexpr DWORD kButtonBits = 0x7;            // left, right, middle
constexpr UINT kTimerResolution = 1;          // ms, the timer period of the fallback
constexpr LONGLONG kTimerUnitsPerMs = 10000;  // waitable timers count in 100 ns
constexpr DWORD kInputModeLook = 1000;        // ms between two reads of the input mode

// The input mode of every poll: mouse records, and ENABLE_EXTENDED_FLAGS so that Quick-Edit
// (which takes the mouse for text selection) is switched off with it. No window-size records,
// no line editing, no echo.
constexpr DWORD kInputMode = ENABLE_MOUSE_INPUT | ENABLE_EXTENDED_FLAGS;
// Bits a console may report back beside the mode it was given (Windows adds the extended
// flags and the window's auto position to what it reports once extended flags were set).
constexpr DWORD kInputModeReportOnly = ENABLE_EXTENDED_FLAGS | ENABLE_AUTO_POSITION;

// Mouse event codes of the raw item.
constexpr char kMouseMove = 1;
constexpr char kMouseDoubleClick = 2;
constexpr char kMousePressed = 4;
constexpr char kMouseReleased = 8;

// A refused call must never read as success, also where the system leaves no error code.
uint32_t LastError() {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

HANDLE OpenConsole(const char* name) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

// The two halves of a UTF-16 character beyond 16 bits.
bool IsHighSurrogate(wchar_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Keys that give no item by themselves.
bool IsLoneModifier(WORD virtualKey) {
    switch (virtualKey) {
        case VK_SHIFT:
        case VK_CONTROL:
        case VK_MENU:
        case VK_CAPITAL:
        case VK_NUMLOCK:
        case VK_SCROLL:
        case VK_LSHIFT:
        case VK_RSHIFT:
        case VK_LCONTROL:
        case VK_RCONTROL:
        case VK_LMENU:
        case VK_RMENU:
            return true;
        default:
            return false;
    }
}

}  // namespace

Win32Platform::Win32Platform(SleepTimer timer)
    // The console itself, not the standard handles: output redirected to a file still
    // leaves the screen and the keys with the console.
    : output_(OpenConsole("CONOUT$")), input_(OpenConsole("CONIN$")) {
    // Windows sleeps in steps of its system timer, about 15.6 ms, so that a plain Sleep(20)
    // lasts about 31 ms: Sleep waits on a high-resolution timer, or else the timer's period is
    // 1 ms while the platform lives.
    if (timer == SleepTimer::HighResolution) {
        sleepTimer_ = CreateWaitableTimerExW(
            nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    }
    if (!sleepTimer_) timerPeriodRaised_ = timeBeginPeriod(kTimerResolution) == TIMERR_NOERROR;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(output_, &info)) {
        attribute_ = info.wAttributes;
        consoleAttribute_ = info.wAttributes;
        size_ = info.dwSize;
        cursor_ = info.dwCursorPosition;
        consoleCursor_ = info.dwCursorPosition;
    }
}

Win32Platform::~Win32Platform() {
    // Whatever runs in the console next goes on where the player's cursor stands.
    SyncCursor();
    if (output_ != INVALID_HANDLE_VALUE) CloseHandle(output_);
    if (input_ != INVALID_HANDLE_VALUE) CloseHandle(input_);
    if (sleepTimer_) CloseHandle(sleepTimer_);
    if (timerPeriodRaised_) timeEndPeriod(kTimerResolution);
}

const char* Win32Platform::SleepMethod() const {
    if (sleepTimer_) return "high-resolution waitable timer";
    if (timerPeriodRaised_) return "Sleep with a 1 ms timer period";
    return "Sleep with the system timer";
}

bool Win32Platform::ReadBufferInfo() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output_, &info)) return false;
    if (info.dwSize.X <= 0 || info.dwSize.Y <= 0) return false;
    size_ = info.dwSize;
    cursor_ = info.dwCursorPosition;
    consoleCursor_ = info.dwCursorPosition;
    return true;
}

void Win32Platform::SyncCursor() {
    if (cursor_.X == consoleCursor_.X && cursor_.Y == consoleCursor_.Y) return;
    consoleCursor_ = SetConsoleCursorPosition(output_, cursor_) ? cursor_ : COORD{-1, -1};
}

void Win32Platform::ForgetConsoleState() {
    consoleCursor_ = COORD{-1, -1};
    shadow_.clear();
    consoleAttribute_ = -1;
    cursorVisible_ = -1;
    inputModeDue_ = true;
}

// --- Console. ---

uint32_t Win32Platform::SetConsoleSize(int columns, int rows) {
    // The console keeps its cursor inside the new buffer by itself, so it gets the player's
    // first and is read back after; the cells are known again after the next ClearScreen.
    SyncCursor();
    shadow_.clear();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output_, &info)) return LastError();
    const COORD previous = info.dwSize;
    const COORD target{static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
    // The window must lie inside the buffer at every moment: a buffer that is smaller in one
    // direction grows first, one that is larger is cut only after the window has shrunk
    // (Wine answers 87 to a buffer cut below the window, as Windows does).
    const COORD interim{std::max(previous.X, target.X), std::max(previous.Y, target.Y)};
    if ((interim.X != previous.X || interim.Y != previous.Y) &&
        !SetConsoleScreenBufferSize(output_, interim)) {
        return LastError();
    }
    const SMALL_RECT window{0, 0, static_cast<SHORT>(target.X - 1),
                            static_cast<SHORT>(target.Y - 1)};
    uint32_t error = 0;
    for (int attempt = 0; attempt < kSizeTries; ++attempt) {
        if (SetConsoleWindowInfo(output_, TRUE, &window) &&
            SetConsoleScreenBufferSize(output_, target)) {
            ReadBufferInfo();
            return 0;
        }
        error = LastError();
        ::Sleep(kSizeRetryWait);
    }
    // The old window fits the interim buffer, and the old buffer fits around the old window.
    SetConsoleWindowInfo(output_, TRUE, &info.srWindow);
    SetConsoleScreenBufferSize(output_, previous);
    ReadBufferInfo();
    return error;
}

void Win32Platform::MoveConsoleWindow(int x, int y) {
    // No window at all (a console of a terminal under Wine): nothing to move. Only placed:
    // its size, its place among the windows and the keyboard focus stay as they are.
    if (HWND window = GetConsoleWindow()) {
        SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32Platform::SetTextAttribute(uint16_t attribute) {
    attribute_ = attribute;
    // The player's own cells carry attribute_ themselves; the console's attribute only
    // colours what others write to the console (and the prompt after the player ends).
    if (consoleAttribute_ == attribute_) return;
    consoleAttribute_ = SetConsoleTextAttribute(output_, attribute_) ? attribute_ : -1;
}

void Win32Platform::ClearScreen() {
    // Read afresh here: a full redraw then also follows a buffer that changed behind our back.
    ReadBufferInfo();
    const DWORD cells = static_cast<DWORD>(size_.X) * static_cast<DWORD>(size_.Y);
    const COORD origin{0, 0};
    DWORD characters = 0;
    DWORD attributes = 0;
    const bool blank =
        FillConsoleOutputCharacterW(output_, L' ', cells, origin, &characters) &&
        FillConsoleOutputAttribute(output_, attribute_, cells, origin, &attributes) &&
        characters == cells && attributes == cells;
    if (blank) {
        CHAR_INFO cell{};
        cell.Char.UnicodeChar = L' ';
        cell.Attributes = attribute_;
        shadow_.assign(cells, cell);
    } else {
        shadow_.clear();
    }
    cursor_ = origin;
    SyncCursor();
}

void Win32Platform::SetCursor(int row, int column) {
    if (row >= 1 && row <= size_.Y) cursor_.Y = static_cast<SHORT>(row - 1);
    if (column >= 1 && column <= size_.X) cursor_.X = static_cast<SHORT>(column - 1);
}

int Win32Platform::CursorRow() {
    SyncCursor();
    return cursor_.Y + 1;
}

int Win32Platform::CursorColumn() {
    SyncCursor();
    return cursor_.X + 1;
}

void Win32Platform::WriteText(std::string_view bytes) {
    // Cells are written directly and the cursor is kept here: ordinary console output of
    // the bottom-right cell would scroll the buffer, and the screen must never scroll.
    // They go out as UTF-16 through the code page 437 table: the console's output code page
    // (UTF-8, Windows-1252, ...) would otherwise turn the frame and the umlauts into others.
    // Character and attribute go in one call, so that no renderer (Wine's terminal output
    // among them) ever shows a text in the colours of what stood there before.
    const SHORT width = size_.X;
    const SHORT height = size_.Y;
    bool known = shadow_.size() == static_cast<size_t>(width) * static_cast<size_t>(height);
    COORD cursor = cursor_;
    std::vector<CHAR_INFO> cells;
    size_t done = 0;
    while (done < bytes.size()) {
        const size_t room = static_cast<size_t>(width - cursor.X);
        const size_t chunk = std::min(room, bytes.size() - done);
        cells.resize(chunk);
        for (size_t i = 0; i < chunk; ++i) {
            cells[i].Char.UnicodeChar =
                static_cast<WCHAR>(Cp437ToUnicode(static_cast<unsigned char>(bytes[done + i])));
            cells[i].Attributes = attribute_;
        }
        // A chunk that changes any cell goes out whole: Wine's terminal output then carries
        // the text as written, not pieces of it.
        bool changed = !known;
        if (known) {
            CHAR_INFO* row = &shadow_[static_cast<size_t>(cursor.Y) * width + cursor.X];
            for (size_t i = 0; i < chunk && !changed; ++i) {
                changed = row[i].Char.UnicodeChar != cells[i].Char.UnicodeChar ||
                          row[i].Attributes != cells[i].Attributes;
            }
            std::copy(cells.begin(), cells.end(), row);
        }
        if (changed) {
            SMALL_RECT region{cursor.X, cursor.Y, static_cast<SHORT>(cursor.X + chunk - 1),
                              cursor.Y};
            if (!WriteConsoleOutputW(output_, cells.data(), COORD{static_cast<SHORT>(chunk), 1},
                                     COORD{0, 0}, &region)) {
                shadow_.clear();  // what the console holds now is not known
                known = false;
            }
        }
        done += chunk;
        cursor.X = static_cast<SHORT>(cursor.X + chunk);
        if (cursor.X >= width) {
            cursor.X = 0;
            if (cursor.Y < height - 1) ++cursor.Y;
        }
    }
    cursor_ = cursor;
}

void Win32Platform::ShowCursor(bool visible) {
    const int wanted = visible ? 1 : 0;
    if (visible) SyncCursor();
    if (cursorVisible_ == wanted) return;
    if (cursorVisible_ < 0 && !GetConsoleCursorInfo(output_, &cursorInfo_)) return;
    cursorInfo_.bVisible = visible ? TRUE : FALSE;
    cursorVisible_ = SetConsoleCursorInfo(output_, &cursorInfo_) ? wanted : -1;
}

void Win32Platform::EnableMouseInput() {
    // The user may switch Quick-Edit on in the window's properties at any time, and the
    // mouse must come back without it. Reading the mode is a round trip to the console host,
    // so it is read once a second, not at every poll, and at once after the window got the
    // focus back (from the properties dialog, say) or a started program shared the console.
    // A console that refuses the mode is asked again at the next poll; the keys work all the
    // same.
    const DWORD now = GetTickCount();
    if (!inputModeDue_ && now - inputModeReadAt_ < kInputModeLook) return;
    DWORD mode = 0;
    constexpr DWORD kCompared = ~kInputModeReportOnly;
    const bool right =
        (GetConsoleMode(input_, &mode) && (mode & kCompared) == (kInputMode & kCompared)) ||
        SetConsoleMode(input_, kInputMode);
    inputModeDue_ = !right;
    inputModeReadAt_ = now;
}

InputItem Win32Platform::ReadInputItem() {
    // The console cursor is right before any wait, so that a shown cursor blinks in place.
    SyncCursor();
    while (pending_.empty()) {
        // Wine's console fetches the terminal's input only once the handle is waited on. The
        // handle is signalled while records are pending, so a time-out means none are.
        if (WaitForSingleObject(input_, 0) != WAIT_OBJECT_0) return {};
        DWORD count = 0;
        if (!GetNumberOfConsoleInputEvents(input_, &count) || count == 0) return {};
        INPUT_RECORD record;
        DWORD read = 0;
        if (!ReadConsoleInputW(input_, &record, 1, &read) || read == 0) return {};
        Translate(record);
    }
    InputItem item = std::move(pending_.front());
    pending_.pop_front();
    return item;
}

void Win32Platform::Translate(const INPUT_RECORD& record) {
    if (record.EventType == KEY_EVENT) TranslateKey(record.Event.KeyEvent);
    if (record.EventType == MOUSE_EVENT) TranslateMouse(record.Event.MouseEvent);
    if (record.EventType == FOCUS_EVENT && record.Event.FocusEvent.bSetFocus) {
        inputModeDue_ = true;
    }
}

void Win32Platform::TranslateKey(const KEY_EVENT_RECORD& key) {
    if (!key.bKeyDown || IsLoneModifier(key.wVirtualKeyCode)) return;
    const DWORD state = key.dwControlKeyState;
    // AltGr is right Alt with left Ctrl and types characters (@, {, ...): no Alt key then.
    const bool alt = (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0 &&
                     (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) == 0;
    const wchar_t unit = key.uChar.UnicodeChar;
    const bool typed = unit != 0 && !alt && key.wVirtualKeyCode != VK_ESCAPE;
    // A character beyond the 16 bits comes as two key records, one half each; the core gets
    // one "?" for it, also for a half whose partner never came.
    char32_t character = unit;
    if (highSurrogate_ != 0) {
        if (typed && IsLowSurrogate(unit)) {
            character = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
        } else {
            pending_.push_back(InputItem{"?", 0, 0});
        }
        highSurrogate_ = 0;
    }
    if (typed && IsHighSurrogate(unit)) {
        highSurrogate_ = unit;
        return;
    }
    std::string bytes;
    if (key.wVirtualKeyCode == VK_ESCAPE) {
        // Wine delivers Esc with character 0.
        bytes = "\x1b";
    } else if (typed) {
        // Names are Windows-1252, whatever the console's input code page.
        bytes.assign(1, UnicodeToWindows1252(character));
    } else {
        UINT scan = key.wVirtualScanCode;
        if (scan == 0) scan = MapVirtualKeyA(key.wVirtualKeyCode, MAPVK_VK_TO_VSC);
        if (scan == 0) return;
        bytes.assign(1, '\0');
        bytes.push_back(static_cast<char>(scan & 0xFF));
    }
    const DWORD repeat = std::clamp<DWORD>(key.wRepeatCount, 1, kMaxRepeat);
    for (DWORD i = 0; i < repeat; ++i) pending_.push_back(InputItem{bytes, 0, 0});
}

void Win32Platform::TranslateMouse(const MOUSE_EVENT_RECORD& mouse) {
    const DWORD flags = mouse.dwEventFlags;
    if (flags & (MOUSE_WHEELED | MOUSE_HWHEELED)) return;
    const DWORD state = mouse.dwButtonState & kButtonBits;
    const int column = mouse.dwMousePosition.X + 1;
    const int row = mouse.dwMousePosition.Y + 1;
    auto push = [&](char code, DWORD buttons) {
        std::string bytes = "\xFF\xFF";
        bytes.push_back(code);
        bytes.push_back(static_cast<char>(buttons));
        pending_.push_back(InputItem{bytes, column, row});
    };
    if (flags & DOUBLE_CLICK) {
        push(kMouseDoubleClick, state);
    } else {
        if (flags & MOUSE_MOVED) push(kMouseMove, state);
        // A release carries the buttons just released, so that a right click can be told
        // from a left one.
        const DWORD released = buttons_ & ~state;
        const DWORD pressed = state & ~buttons_;
        if (pressed) push(kMousePressed, pressed);
        if (released) push(kMouseReleased, released);
    }
    buttons_ = state;
}

// --- Multimedia. ---

uint32_t Win32Platform::MciSendString(std::string_view command, char* reply, uint32_t replyLength) {
    // mciSendStringA wants the command ended by a zero: the pass's status queries are ended
    // on the stack.
    char text[kShortCommand];
    if (command.size() < sizeof text) {
        text[command.copy(text, command.size())] = '\0';
        return mciSendStringA(text, reply, replyLength, nullptr);
    }
    return mciSendStringA(std::string(command).c_str(), reply, replyLength, nullptr);
}

uint32_t Win32Platform::WaveOutDeviceCount() {
    return waveOutGetNumDevs();
}

// --- Files and folders. ---

uint32_t Win32Platform::ShortPathName(const std::string& path, std::string& shortPath) {
    char buffer[kShortPathBuffer];
    const DWORD length = GetShortPathNameA(path.c_str(), buffer, kShortPathBuffer);
    // A short path longer than the buffer is not resolved either: a cut path names nothing.
    if (length == 0 || length >= kShortPathBuffer) return 0;
    shortPath.assign(buffer, length);
    return length;
}

std::vector<FolderEntry> Win32Platform::SearchFolder(const std::string& pattern) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        entries.push_back(FolderEntry{data.cFileName, data.dwFileAttributes});
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return entries;
}

std::optional<uint32_t> Win32Platform::FileAttributes(const std::string& path, uint32_t* error) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (error) *error = LastError();
        return std::nullopt;
    }
    return attributes;
}

std::string Win32Platform::CurrentFolder() {
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return "";
    std::string path(needed, '\0');
    const DWORD length = GetCurrentDirectoryA(needed, path.data());
    path.resize(length < needed ? length : 0);
    return path;
}

uint32_t Win32Platform::ChangeFolder(const std::string& path) {
    return SetCurrentDirectoryA(path.c_str()) ? 0 : LastError();
}

uint32_t Win32Platform::WriteTextFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastError();
    uint32_t error = 0;
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        error = LastError();
    } else if (written != bytes.size()) {
        error = ERROR_HANDLE_DISK_FULL;
    }
    if (!CloseHandle(file) && error == 0) error = LastError();
    return error;
}

// --- Process. ---

std::vector<std::string> Win32Platform::EnvironmentEntries() {
    std::vector<std::string> entries;
    char* block = GetEnvironmentStringsA();
    if (!block) return entries;
    for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
        entries.emplace_back(entry);
    }
    FreeEnvironmentStringsA(block);
    return entries;
}

uint32_t Win32Platform::StartProcess(const std::string& commandLine) {
    // A console program shares the console and may change any of it.
    SyncCursor();
    ForgetConsoleState();
    std::string line = commandLine;  // CreateProcessA may write into its command line
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNOACTIVATE;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process)) {
        return LastError();
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

// --- Time. ---

uint32_t Win32Platform::TickCount() {
    return GetTickCount();
}

LocalTime Win32Platform::Now() {
    SYSTEMTIME time;
    GetLocalTime(&time);
    return LocalTime{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

void Win32Platform::Sleep(uint32_t milliseconds) {
    SyncCursor();
    if (sleepTimer_ && milliseconds > 0) {
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(milliseconds) * kTimerUnitsPerMs;  // relative
        if (SetWaitableTimer(sleepTimer_, &due, 0, nullptr, nullptr, FALSE) &&
            WaitForSingleObject(sleepTimer_, INFINITE) == WAIT_OBJECT_0) {
            return;
        }
    }
    ::Sleep(milliseconds);
}

}  // namespace varlo
