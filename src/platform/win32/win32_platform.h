// The Windows implementation of the platform seam: console, MCI, files, processes, time.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/console_api.h"

namespace varlo {

// How Sleep waits. Where Windows offers no high-resolution timer, the system timer's period
// is set to 1 ms for the platform's lifetime instead.
enum class SleepTimer { HighResolution, TimerPeriod };

class Win32Platform final : public Platform {
  public:
    // On the console this process is attached to.
    explicit Win32Platform(SleepTimer timer = SleepTimer::HighResolution);
    // On the given console, which must outlive the platform.
    explicit Win32Platform(ConsoleApi& console, SleepTimer timer = SleepTimer::HighResolution);
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    uint32_t SetConsoleSize(int columns, int rows) override;
    void MoveConsoleWindow(int x, int y) override;
    void SetTextAttribute(uint16_t attribute) override;
    void ClearScreen() override;
    void SetCursor(int row, int column) override;
    int CursorRow() override;
    int CursorColumn() override;
    void WriteText(std::string_view bytes) override;
    void ShowCursor(bool visible) override;
    void EnableMouseInput() override;
    InputItem ReadInputItem() override;

    uint32_t MciSendString(std::string_view command, char* reply, uint32_t replyLength) override;
    uint32_t WaveOutDeviceCount() override;

    uint32_t ShortPathName(const std::string& path, std::string& shortPath) override;
    std::vector<FolderEntry> SearchFolder(const std::string& pattern) override;
    std::optional<uint32_t> FileAttributes(const std::string& path, uint32_t* error) override;
    std::string CurrentFolder() override;
    uint32_t ChangeFolder(const std::string& path) override;
    uint32_t WriteTextFile(const std::string& path, const std::string& bytes) override;

    std::vector<std::string> EnvironmentEntries() override;
    uint32_t StartProcess(const std::string& commandLine) override;

    uint32_t TickCount() override;
    LocalTime Now() override;
    void Sleep(uint32_t milliseconds) override;
    // Windows shows the player in no media controls (yet).
    void Publish(const NowPlaying&) override {}

    // How Sleep waits on this system, in words (for the companion programs).
    const char* SleepMethod() const;

  private:
    // Reads buffer size and cursor from the console; false (nothing changed) when refused.
    bool ReadBufferInfo();
    // The player's screen becomes size; the cells both have keep their content.
    void ResizeScreen(COORD size);
    // Sets the console cursor to the player's cursor where it stands elsewhere.
    void SyncCursor();
    // Forgets what the console was last told; it is asked again or set again when needed.
    void ForgetConsoleState();
    // A pseudo console's buffer follows its terminal: when it has another size than last
    // seen, the whole buffer is cleared and the player's screen written again.
    void FollowBufferSize();
    // Turns one console input record into the raw items it stands for (none, one, or
    // several: a repeated key, or a press and a release reported together).
    void Translate(const INPUT_RECORD& record);
    void TranslateKey(const KEY_EVENT_RECORD& key);
    void TranslateMouse(const MOUSE_EVENT_RECORD& mouse);

    std::unique_ptr<ConsoleApi> ownConsole_;  // set when the platform opened the console
    ConsoleApi& console_;
    // Every console call is a round trip to conhost through the wineserver under Wine, so
    // the platform keeps what it last set and calls only when something changes. The
    // console shows exactly what was written all the same: the cells that a write skips
    // already hold the same character and attribute.
    //
    // The screen is the top-left part of the buffer the player draws in: the whole buffer of
    // a classic console (which the player sizes to 69 x 22), the top-left 69 x 22 of a
    // pseudo console's, whose size the terminal keeps. Output beyond the buffer is dropped.
    bool pseudo_ = false;       // a pseudo console, known from the start
    bool screenFixed_ = false;  // the screen keeps its size (a pseudo console once sized)
    WORD attribute_ = 0x07;
    WORD clearAttribute_ = 0x07;  // of the last ClearScreen, for a pseudo console's redraw
    COORD buffer_{69, 22};        // buffer size, read at start, by ClearScreen and SetConsoleSize
    COORD screen_{69, 22};        // the player's screen: the buffer, unless screenFixed_
    COORD cursor_{0, 0};  // the player's cursor, 0-based; the console's follows before waits
    COORD consoleCursor_{-1, -1};       // as last set on the console; -1: not known
    std::vector<CHAR_INFO> cells_;      // the player's screen, screen_.X * screen_.Y row by row
    bool consoleHoldsCells_ = false;    // the console shows cells_ (where its buffer reaches)
    int consoleAttribute_ = -1;         // SetConsoleTextAttribute as last set; -1: not known
    int cursorVisible_ = -1;            // 0 hidden, 1 shown, -1 not known
    bool inputModeDue_ = true;          // the input mode is read at the next EnableMouseInput
    bool mouseReportsAsked_ = false;    // a pseudo console's mouse input switched off and on
    DWORD inputModeReadAt_ = 0;         // GetTickCount of the last read that found it right
    CONSOLE_CURSOR_INFO cursorInfo_{};  // valid while cursorVisible_ is known
    DWORD buttons_ = 0;                 // dwButtonState of the previous mouse record
    wchar_t highSurrogate_ = 0;         // first half of a character typed beyond 16 bits; 0: none
    HANDLE sleepTimer_ = nullptr;       // high-resolution waitable timer; null: none
    bool timerPeriodRaised_ = false;    // timeBeginPeriod(1) in force
    std::deque<InputItem> pending_;
};

}  // namespace varlo
