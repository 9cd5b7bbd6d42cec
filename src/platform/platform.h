// The one seam between Varlo and the operating system.
//
// Everything the player needs from Windows goes through this interface: the console, the
// Media Control Interface, the file system, the environment, process start, the clock and
// sleeping. The Win32 implementation lives in win32/; the tests run the whole player against a
// deterministic fake. Nothing above this seam includes <windows.h>.
//
// Operations the system can refuse return the system's error code (0 = success); the caller
// turns it into a run-time error number (app/error.h), so the mapping lives in one place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varlo {

// File attribute bits, with the values Windows uses.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;

// System error codes the player maps onto its own error numbers (Windows values).
inline constexpr uint32_t kSysFileNotFound = 2;
inline constexpr uint32_t kSysPathNotFound = 3;
inline constexpr uint32_t kSysAccessDenied = 5;
inline constexpr uint32_t kSysNotEnoughMemory = 8;
inline constexpr uint32_t kSysInvalidDrive = 15;
inline constexpr uint32_t kSysWriteProtect = 19;
inline constexpr uint32_t kSysNotReady = 21;
inline constexpr uint32_t kSysSharingViolation = 32;
inline constexpr uint32_t kSysHandleDiskFull = 39;
inline constexpr uint32_t kSysInvalidParameter = 87;
inline constexpr uint32_t kSysDiskFull = 112;
inline constexpr uint32_t kSysInvalidName = 123;
inline constexpr uint32_t kSysBadPathName = 161;
inline constexpr uint32_t kSysDirectory = 267;

// A command of the desktop's media controls (a media key, the lock screen, a phone). It
// arrives as an input item of its own with bytes "", so every screen reads it where it reads
// keys, and every screen but the playback screen and its pause takes it as no input at all.
enum class RemoteCommand : uint8_t {
    None,
    PlayPause,  // as P
    Play,       // as P in the pause; nothing while playing
    Pause,      // as P while playing; nothing in the pause
    Next,       // the next title of the list now, as a skip does
    Quit,       // as Esc and then J
    Volume,     // to the key step nearest to InputItem::volume
};

// One raw console input item.
struct InputItem {
    // "" nothing; one character; character 0 + PC scan code for keys without a character and
    // for Alt + letter; or the 4-byte mouse record 255, 255, event code, button bits
    // (event code 1 move, 2 double-click, 4 button pressed, 8 button released).
    std::string bytes;
    int column = 0;  // mouse records only: 1-based console column
    int row = 0;     // mouse records only: 1-based console row
    RemoteCommand remote = RemoteCommand::None;
    int volume = 0;  // RemoteCommand::Volume only: MCI volume units
};

// What the player plays, for the desktop's media controls.
struct NowPlaying {
    enum class State : uint8_t { Stopped, Playing, Paused };
    // Stopped also on the screens where the title's commands do not work (the prompts, the
    // folder chooser, the info screen) and while no title is open.
    State state = State::Stopped;
    uint32_t title = 0;         // changes with every title opened; 0 = none open
    std::string name;           // title and interpreter as the screen shows them (Windows-1252)
    std::string interpreter;    //
    std::string file;           // the title's file, as it was opened (relative to the folder)
    uint32_t length = 0;        // ms; 0 = not known yet
    uint32_t position = 0;      // ms at the tick count positionTick; goes on from there while
    uint32_t positionTick = 0;  // the state is Playing
    int volume = 0;             // MCI volume units, 50 to 999
    int sortMode = 1;           // 1 random, 2 title, 3 interpreter
};

// One entry of a directory search.
struct FolderEntry {
    std::string name;  // name only, no folder
    uint32_t attributes = 0;
};

struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59
};

class Platform {
  public:
    virtual ~Platform() = default;

    // --- Console. Rows and columns are 1-based on the 69 x 22 screen. ---

    // Sets screen buffer and window to columns x rows. Returns 0 or the system error code
    // (the previous buffer size has then been restored).
    virtual uint32_t SetConsoleSize(int columns, int rows) = 0;
    // Moves the console window's top-left corner to pixel x, y; size and stacking stay.
    virtual void MoveConsoleWindow(int x, int y) = 0;
    // Text attribute for later writes and clears: foreground + 16 * background.
    virtual void SetTextAttribute(uint16_t attribute) = 0;
    // Every cell blank in the current attribute, cursor to row 1, column 1.
    virtual void ClearScreen() = 0;
    // Positioning rule: a row or column outside the screen leaves that one coordinate where
    // it is and applies the other.
    virtual void SetCursor(int row, int column) = 0;
    virtual int CursorRow() = 0;
    virtual int CursorColumn() = 0;
    // Writes OEM bytes at the cursor in the current attribute; no byte is a control
    // character. Past column 69 the text goes on at column 1 of the next row; on the last row
    // it goes on at column 1 of that same row: the screen never scrolls.
    virtual void WriteText(std::string_view bytes) = 0;
    virtual void ShowCursor(bool visible) = 0;
    // Mouse input on, with moves, double-clicks, presses and releases of all three buttons.
    virtual void EnableMouseInput() = 0;
    // Reads one raw input item without waiting; an empty item when nothing is pending.
    virtual InputItem ReadInputItem() = 0;

    // --- Multimedia. ---

    // mciSendStringA with no callback window. reply may be null with replyLength 0.
    virtual uint32_t MciSendString(std::string_view command, char* reply, uint32_t replyLength) = 0;
    virtual uint32_t WaveOutDeviceCount() = 0;

    // --- Files and folders. ---

    // GetShortPathNameA into a buffer of 255 characters: the length of the short path, or 0
    // when the path cannot be resolved (shortPath is then untouched).
    virtual uint32_t ShortPathName(const std::string& path, std::string& shortPath) = 0;
    // FindFirstFileA / FindNextFileA over pattern ("*.*" or a single path), in the order the
    // system returns them, "." and ".." included where the system gives them. An empty list
    // when nothing matches.
    virtual std::vector<FolderEntry> SearchFolder(const std::string& pattern) = 0;
    // GetFileAttributesA: the attributes, or nothing with the system error code in *error.
    virtual std::optional<uint32_t> FileAttributes(const std::string& path, uint32_t* error) = 0;
    virtual std::string CurrentFolder() = 0;
    virtual uint32_t ChangeFolder(const std::string& path) = 0;
    // Creates or empties path and writes bytes into it.
    virtual uint32_t WriteTextFile(const std::string& path, const std::string& bytes) = 0;

    // --- Process. ---

    // The environment block, entry by entry ("NAME=value"), in system order.
    virtual std::vector<std::string> EnvironmentEntries() = 0;
    // Starts commandLine (the whole line, no separate program name), no handles inherited,
    // normal priority, window shown without activation, current folder and environment of
    // the player. Does not wait.
    virtual uint32_t StartProcess(const std::string& commandLine) = 0;

    // --- Time. ---

    virtual uint32_t TickCount() = 0;  // milliseconds, wraps at 2^32
    virtual LocalTime Now() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;

    // --- Desktop. ---

    // What the player plays changed (state, title, length, volume or sort order; the position
    // alone is no change). A side without media controls does nothing.
    virtual void Publish(const NowPlaying& now) = 0;
};

}  // namespace varlo
