// A deterministic stand-in for Windows: virtual clock, console grid, scripted input, a
// simulated MPEGVideo device, an in-memory folder tree, environment and process start.
//
// Time passes only in Sleep. Input items are scripted at virtual times and become readable
// once the clock has reached them. When the clock passes `stopAt`, Sleep throws FakeStop, so
// a whole-program test ends when its script is used up.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace varlo::fake {

// Thrown by Sleep once the virtual clock passes stopAt; never caught by the player.
struct FakeStop {};

struct Cell {
    unsigned char ch = ' ';
    uint16_t attribute = 0;
};

struct WriteRecord {
    uint64_t at;
    int row, column;
    std::string bytes;
};

struct MciRecord {
    uint64_t at;
    std::string command;
    uint32_t result;
};

struct Node {
    bool folder = false;
    uint32_t attributes = 0;
    std::string content;
    std::string shortName;  // "" = 8.3 names off: the short path is the long path
    bool playable = false;  // the MPEGVideo device opens it
    uint32_t lengthMs = 0;
    bool writable = true;  // WriteTextFile into a folder: false refuses with access denied
};

struct Device {
    std::string path;
    uint32_t lengthMs = 0, positionMs = 0;
    bool playing = false;
    uint64_t since = 0;  // virtual time of the last position update
    uint32_t volume = 1000, left = 1000, right = 1000;
};

class FakePlatform : public Platform {
  public:
    FakePlatform();

    // --- Test controls. ---
    uint64_t now = 0;                              // virtual milliseconds since the start
    uint64_t stopAt = UINT64_MAX;                  // Sleep past this throws FakeStop
    uint32_t tickBase = 0x12345678;                // TickCount() = tickBase + now
    LocalTime clockBase{2026, 12, 6, 22, 30, 15};  // local time at now = 0
    uint32_t waveOutDevices = 2;
    uint32_t consoleSizeError = 0;   // SetConsoleSize returns this
    uint32_t startProcessError = 0;  // StartProcess returns this
    bool mciStatusFails = false;     // every status query fails (broken device)
    // Called for every MCI command before the device; a value replaces the device's answer.
    std::function<std::optional<uint32_t>(const std::string&)> mciHook;
    // Called after every MCI command with its record (also when logMci is off).
    std::function<void(const MciRecord&)> onMci;
    // Long runs switch the logs off; the counters below still count.
    bool logMci = true, logWrites = true;
    uint64_t mciCount = 0, writeCount = 0;
    // Actions at virtual times (a file vanishes, ...), run by Sleep once the clock reaches them.
    void At(uint64_t at, std::function<void()> action) { actions_.emplace(at, std::move(action)); }

    // Input script: items become readable at their time, in order.
    void KeyAt(uint64_t at, const std::string& item);
    void KeysAt(uint64_t at, const std::string& keys);  // one item per character
    void MouseAt(uint64_t at, int row, int column, int eventCode, int buttons);
    void ClickAt(uint64_t at, int row, int column, int buttons = 1);  // press + release
    void DoubleClickAt(uint64_t at, int row, int column, int buttons = 1);
    // Item k of `items` at `at` + k x `step`: "@row,column" a left click, "@@row,column" a
    // left double-click, "@!row,column" a right one; a single character, or character 0 and
    // a scan code, one key; any other text typed, one item per character, all at that time.
    void Script(uint64_t at, uint64_t step, const std::vector<std::string>& items);
    size_t PendingInput() const { return input_.size(); }
    // A command of the desktop's media controls as an input item at `at`.
    void RemoteAt(uint64_t at, RemoteCommand command, int volume = 0);
    // Every state the player published, in order.
    std::vector<NowPlaying> published;

    // Folder tree. Paths are absolute Windows paths ("C:\Musik\a.mp3"), case-insensitive.
    void AddFolder(const std::string& path, uint32_t attributes = kAttrDirectory);
    void AddFile(const std::string& path, const std::string& content = "",
                 uint32_t attributes = kAttrArchive);
    void AddMedia(const std::string& path, uint32_t lengthMs, bool playable = true);
    void Remove(const std::string& path);  // a file or a whole folder
    Node* Find(const std::string& path);
    std::string Absolute(const std::string& path) const;  // resolved against the current folder
    std::vector<std::string> Children(const std::string& folder) const;  // names, in order
    std::string currentFolder = "C:\\";
    // Paths whose attribute query the system refuses, with the error code it gives.
    std::map<std::string, uint32_t> attributeErrors;

    std::vector<std::string> environment;
    std::vector<std::string> started;                             // command lines of StartProcess
    std::vector<std::pair<std::string, std::string>> fileWrites;  // path, bytes

    // Console: the grid as text rows (bytes), attributes, and a log of every write.
    std::string Row(int row) const;  // 69 bytes
    std::string Text(int r, int c, int length) const { return Row(r).substr(c - 1, length); }
    uint16_t AttributeAt(int r, int c) const { return grid_[r - 1][c - 1].attribute; }
    std::vector<std::string> Screen() const;  // 22 rows
    std::string ScreenText() const;           // rows joined by '\n', trailing blanks cut
    // The screen as a person reads it, in UTF-8 (code page 437 shown as the console shows it):
    // "\n" before every row, trailing blanks cut, nothing after the last row that is not blank.
    // Written out as a raw string, a test's expected screen is the 22 rows as they look.
    // Dump(first, last) is rows first to last alone.
    std::string Dump(int firstRow = 1, int lastRow = 22) const;
    // The cells that are not black on light grey, as runs "row,first-last:attribute" joined by
    // blanks, row by row.
    std::string Colours() const;
    std::vector<WriteRecord> writes;
    // The bytes of the first write at row, column from the time `from` on; "(none)".
    std::string Written(int row, int column, uint64_t from = 0) const;
    int cursorRow = 1, cursorColumn = 1;
    uint16_t attribute = 7;
    bool cursorVisible = true, mouseEnabled = false;
    int consoleColumns = 0, consoleRows = 0;
    int windowX = -1, windowY = -1;

    // MCI: every command string in order, and the devices that are open.
    std::vector<MciRecord> mciLog;
    std::map<std::string, Device> devices;  // by alias text
    size_t maxOpenDevices = 0;
    // The logged commands in [from, to) whose verb is one of the blank-separated `verbs`, as
    // "ms verb argument; ...": ms counted from the first of them, the argument the command's
    // last word, none after the alias, the path for an open.
    std::string MciTrace(const std::string& verbs, uint64_t from = 0,
                         uint64_t to = UINT64_MAX) const;
    // Removes and returns the oldest logged command ("" when the log is used up).
    std::string NextMci();
    size_t mciRead = 0;  // how many NextMci has consumed
    Device* Open();      // the one open device, or null

    // --- Platform. ---
    uint32_t SetConsoleSize(int columns, int rows) override {
        if (consoleSizeError == 0) consoleColumns = columns, consoleRows = rows;
        return consoleSizeError;
    }
    void MoveConsoleWindow(int x, int y) override { windowX = x, windowY = y; }
    void SetTextAttribute(uint16_t value) override { attribute = value; }
    void ClearScreen() override;
    void SetCursor(int row, int column) override;
    int CursorRow() override { return cursorRow; }
    int CursorColumn() override { return cursorColumn; }
    void WriteText(std::string_view bytes) override;
    void ShowCursor(bool visible) override { cursorVisible = visible; }
    void EnableMouseInput() override { mouseEnabled = true; }
    InputItem ReadInputItem() override;
    uint32_t MciSendString(std::string_view command, char* reply, uint32_t replyLength) override;
    uint32_t WaveOutDeviceCount() override { return waveOutDevices; }
    uint32_t ShortPathName(const std::string& path, std::string& shortPath) override;
    std::vector<FolderEntry> SearchFolder(const std::string& pattern) override;
    std::optional<uint32_t> FileAttributes(const std::string& path, uint32_t* error) override;
    std::string CurrentFolder() override { return currentFolder; }
    uint32_t ChangeFolder(const std::string& path) override;
    uint32_t WriteTextFile(const std::string& path, const std::string& bytes) override;
    std::vector<std::string> EnvironmentEntries() override { return environment; }
    uint32_t StartProcess(const std::string& commandLine) override {
        if (startProcessError == 0) started.push_back(commandLine);
        return startProcessError;
    }
    uint32_t TickCount() override { return static_cast<uint32_t>(tickBase + now); }
    LocalTime Now() override;
    void Sleep(uint32_t milliseconds) override;
    void Publish(const NowPlaying& now) override { published.push_back(now); }

  private:
    using ScheduledInput = std::pair<uint64_t, InputItem>;
    void Schedule(uint64_t at, InputItem item);
    void Advance(Device& device) const;
    uint32_t MciDevice(const std::string& command, std::string& reply);

    std::vector<std::vector<Cell>> grid_;
    std::deque<ScheduledInput> input_;
    std::multimap<uint64_t, std::function<void()>> actions_;
    // Folder tree keyed by upper-cased absolute path; order_ keeps insertion order per folder.
    std::map<std::string, Node> nodes_;
    std::map<std::string, std::vector<std::string>> order_;
    std::map<std::string, std::string> displayName_;
};

// Upper-cased copy, for case-insensitive keys.
std::string Upper(const std::string& text);

}  // namespace varlo::fake
