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
// A pseudo console also reports its buffer's size changes, which its terminal makes.
constexpr DWORD kPseudoInputMode = kInputMode | ENABLE_WINDOW_INPUT;
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

Win32Platform::Win32Platform(SleepTimer timer) : Win32Platform(*new SystemConsole, timer) {
    ownConsole_.reset(&console_);
}

Win32Platform::Win32Platform(ConsoleApi& console, SleepTimer timer)
    : console_(console), pseudo_(IsPseudoConsole(console)) {
    // Windows sleeps in steps of its system timer, about 15.6 ms, so that a plain Sleep(20)
    // lasts about 31 ms: Sleep waits on a high-resolution timer, or else the timer's period is
    // 1 ms while the platform lives.
    if (timer == SleepTimer::HighResolution) {
        sleepTimer_ = CreateWaitableTimerExW(
            nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    }
    if (!sleepTimer_) timerPeriodRaised_ = timeBeginPeriod(kTimerResolution) == TIMERR_NOERROR;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (console_.GetScreenBufferInfo(&info)) {
        attribute_ = info.wAttributes;
        consoleAttribute_ = info.wAttributes;
    }
    ReadBufferInfo();
    ResizeScreen(buffer_);
}

Win32Platform::~Win32Platform() {
    // Whatever runs in the console next goes on where the player's cursor stands. A pseudo
    // console's size was never touched; a classic console keeps the player's.
    SyncCursor();
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
    if (!console_.GetScreenBufferInfo(&info)) return false;
    if (info.dwSize.X <= 0 || info.dwSize.Y <= 0) return false;
    buffer_ = info.dwSize;
    consoleCursor_ = info.dwCursorPosition;
    if (!screenFixed_) {
        ResizeScreen(buffer_);
        cursor_ = info.dwCursorPosition;
    }
    return true;
}

void Win32Platform::ResizeScreen(COORD size) {
    const size_t cellCount = static_cast<size_t>(size.X) * static_cast<size_t>(size.Y);
    if (size.X == screen_.X && size.Y == screen_.Y && cells_.size() == cellCount) return;
    CHAR_INFO blank{};
    blank.Char.UnicodeChar = L' ';
    blank.Attributes = attribute_;
    std::vector<CHAR_INFO> cells(cellCount, blank);
    const SHORT columns = std::min(size.X, screen_.X);
    const SHORT rows = cells_.empty() ? 0 : std::min(size.Y, screen_.Y);
    for (SHORT row = 0; row < rows; ++row) {
        std::copy_n(&cells_[static_cast<size_t>(row) * screen_.X], columns,
                    &cells[static_cast<size_t>(row) * size.X]);
    }
    cells_ = std::move(cells);
    screen_ = size;
    consoleHoldsCells_ = false;
    cursor_.X = std::min<SHORT>(cursor_.X, static_cast<SHORT>(size.X - 1));
    cursor_.Y = std::min<SHORT>(cursor_.Y, static_cast<SHORT>(size.Y - 1));
}

void Win32Platform::SyncCursor() {
    if (cursor_.X == consoleCursor_.X && cursor_.Y == consoleCursor_.Y) return;
    // A cursor beyond a pseudo console's shrunken buffer waits until the buffer reaches it.
    if (cursor_.X >= buffer_.X || cursor_.Y >= buffer_.Y) return;
    consoleCursor_ = console_.SetCursorPosition(cursor_) ? cursor_ : COORD{-1, -1};
}

void Win32Platform::ForgetConsoleState() {
    consoleCursor_ = COORD{-1, -1};
    consoleHoldsCells_ = false;
    consoleAttribute_ = -1;
    cursorVisible_ = -1;
    inputModeDue_ = true;
}

void Win32Platform::FollowBufferSize() {
    const COORD before = buffer_;
    if (!ReadBufferInfo() || (buffer_.X == before.X && buffer_.Y == before.Y)) return;
    // The terminal may have reflowed, scrolled or cut what the buffer held: all of it is
    // blanked, and the screen goes out as far as the buffer reaches, in one write.
    const DWORD all = static_cast<DWORD>(buffer_.X) * static_cast<DWORD>(buffer_.Y);
    DWORD done = 0;
    bool drawn = console_.FillCharacter(L' ', all, COORD{0, 0}, &done) &&
                 console_.FillAttribute(clearAttribute_, all, COORD{0, 0}, &done);
    SMALL_RECT region{0, 0, static_cast<SHORT>(std::min(screen_.X, buffer_.X) - 1),
                      static_cast<SHORT>(std::min(screen_.Y, buffer_.Y) - 1)};
    drawn = drawn && console_.WriteOutput(cells_.data(), screen_, &region);
    consoleHoldsCells_ = drawn;
    consoleCursor_ = COORD{-1, -1};
    SyncCursor();
}

// --- Console. ---

uint32_t Win32Platform::SetConsoleSize(int columns, int rows) {
    const COORD target{static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
    if (pseudo_) {
        // The terminal owns the size: a request would resize the pseudo console's buffer but
        // never the terminal. The screen is the top-left of the buffer there is.
        if (!ReadBufferInfo()) return LastError();
        if (buffer_.X < target.X || buffer_.Y < target.Y) return ERROR_INVALID_PARAMETER;
        screenFixed_ = true;
        ResizeScreen(target);
        return 0;
    }
    // The console keeps its cursor inside the new buffer by itself, so it gets the player's
    // first and is read back after; the cells are known again after the next ClearScreen.
    SyncCursor();
    consoleHoldsCells_ = false;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!console_.GetScreenBufferInfo(&info)) return LastError();
    const COORD previous = info.dwSize;
    // The window must lie inside the buffer at every moment: a buffer that is smaller in one
    // direction grows first, one that is larger is cut only after the window has shrunk
    // (Wine answers 87 to a buffer cut below the window, as Windows does).
    const COORD interim{std::max(previous.X, target.X), std::max(previous.Y, target.Y)};
    if ((interim.X != previous.X || interim.Y != previous.Y) &&
        !console_.SetScreenBufferSize(interim)) {
        return LastError();
    }
    const SMALL_RECT window{0, 0, static_cast<SHORT>(target.X - 1),
                            static_cast<SHORT>(target.Y - 1)};
    uint32_t error = 0;
    for (int attempt = 0; attempt < kSizeTries; ++attempt) {
        if (console_.SetWindowInfo(window) && console_.SetScreenBufferSize(target)) {
            ReadBufferInfo();
            return 0;
        }
        error = LastError();
        ::Sleep(kSizeRetryWait);
    }
    // The old window fits the interim buffer, and the old buffer fits around the old window.
    console_.SetWindowInfo(info.srWindow);
    console_.SetScreenBufferSize(previous);
    ReadBufferInfo();
    return error;
}

void Win32Platform::MoveConsoleWindow(int x, int y) {
    // A pseudo console's window is a hidden stand-in: the terminal's window stays where it is.
    if (!pseudo_) console_.MoveWindow(x, y);
}

void Win32Platform::SetTextAttribute(uint16_t attribute) {
    attribute_ = attribute;
    // The player's own cells carry attribute_ themselves; the console's attribute only
    // colours what others write to the console (and the prompt after the player ends).
    if (consoleAttribute_ == attribute_) return;
    consoleAttribute_ = console_.SetTextAttribute(attribute_) ? attribute_ : -1;
}

void Win32Platform::ClearScreen() {
    // Read afresh here: a full redraw then also follows a buffer that changed behind our back.
    // The whole buffer is blanked, also where it reaches beyond the screen.
    ReadBufferInfo();
    const DWORD all = static_cast<DWORD>(buffer_.X) * static_cast<DWORD>(buffer_.Y);
    const COORD origin{0, 0};
    DWORD characters = 0;
    DWORD attributes = 0;
    consoleHoldsCells_ = console_.FillCharacter(L' ', all, origin, &characters) &&
                         console_.FillAttribute(attribute_, all, origin, &attributes) &&
                         characters == all && attributes == all;
    CHAR_INFO cell{};
    cell.Char.UnicodeChar = L' ';
    cell.Attributes = attribute_;
    std::fill(cells_.begin(), cells_.end(), cell);
    clearAttribute_ = attribute_;
    cursor_ = origin;
    SyncCursor();
}

void Win32Platform::SetCursor(int row, int column) {
    if (row >= 1 && row <= screen_.Y) cursor_.Y = static_cast<SHORT>(row - 1);
    if (column >= 1 && column <= screen_.X) cursor_.X = static_cast<SHORT>(column - 1);
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
    const SHORT width = screen_.X;
    const SHORT height = screen_.Y;
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
        CHAR_INFO* row = &cells_[static_cast<size_t>(cursor.Y) * width + cursor.X];
        bool changed = !consoleHoldsCells_;
        for (size_t i = 0; i < chunk && !changed; ++i) {
            changed = row[i].Char.UnicodeChar != cells[i].Char.UnicodeChar ||
                      row[i].Attributes != cells[i].Attributes;
        }
        std::copy(cells.begin(), cells.end(), row);
        // Only what the buffer holds: a pseudo console's may have shrunk below the screen.
        const SHORT reach = static_cast<SHORT>(
            std::min<size_t>(chunk, static_cast<size_t>(std::max(buffer_.X - cursor.X, 0))));
        if (changed && cursor.Y < buffer_.Y && reach > 0) {
            SMALL_RECT region{cursor.X, cursor.Y, static_cast<SHORT>(cursor.X + reach - 1),
                              cursor.Y};
            if (!console_.WriteOutput(cells.data(), COORD{static_cast<SHORT>(chunk), 1}, &region)) {
                consoleHoldsCells_ = false;  // what the console holds now is not known
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
    if (cursorVisible_ < 0 && !console_.GetCursorInfo(&cursorInfo_)) return;
    cursorInfo_.bVisible = visible ? TRUE : FALSE;
    cursorVisible_ = console_.SetCursorInfo(cursorInfo_) ? wanted : -1;
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
    const DWORD wanted = pseudo_ ? kPseudoInputMode : kInputMode;
    // A pseudo console asks its terminal for mouse reports only when the mode changes to
    // mouse input without Quick-Edit, which a console started that way never does: the mouse
    // is switched off once first.
    if (pseudo_ && !mouseReportsAsked_) {
        mouseReportsAsked_ = true;
        console_.SetInputMode(wanted & ~static_cast<DWORD>(ENABLE_MOUSE_INPUT));
        console_.SetInputMode(wanted);
    }
    DWORD mode = 0;
    constexpr DWORD kCompared = ~kInputModeReportOnly;
    const bool right =
        (console_.GetInputMode(&mode) && (mode & kCompared) == (wanted & kCompared)) ||
        console_.SetInputMode(wanted);
    inputModeDue_ = !right;
    inputModeReadAt_ = now;
    // The terminal's size changes come as records too, but only while the player reads input.
    if (pseudo_) FollowBufferSize();
}

InputItem Win32Platform::ReadInputItem() {
    // The console cursor is right before any wait, so that a shown cursor blinks in place.
    SyncCursor();
    INPUT_RECORD record;
    while (pending_.empty()) {
        if (!console_.ReadPendingInput(&record)) return {};
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
    // A record with the size last seen costs nothing; a terminal may first report a size it
    // then corrects, so the buffer itself is asked.
    if (record.EventType == WINDOW_BUFFER_SIZE_EVENT && pseudo_) {
        const COORD size = record.Event.WindowBufferSizeEvent.dwSize;
        if (size.X != buffer_.X || size.Y != buffer_.Y) FollowBufferSize();
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
