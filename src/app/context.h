// The program context: all state of the player, created at start and kept for the whole run.
// Every member starts as 0 or "" except SortMode, which starts as 1 (random order).
// Integers are 16-bit values in meaning; they are held as int, and no value the player
// computes leaves the 16-bit range.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/error.h"
#include "platform/platform.h"
#include "playlist/random.h"

namespace varlo {

// A fixed-bounds array with the indices first..last; an index outside raises run-time error 9.
template <typename T, int First, int Last>
class BoundedArray {
  public:
    BoundedArray() : items_(Last - First + 1) {}
    T& operator()(int index) {
        Check(index);
        return items_[static_cast<size_t>(index - First)];
    }
    const T& operator()(int index) const {
        Check(index);
        return items_[static_cast<size_t>(index - First)];
    }
    static bool Holds(int index) { return index >= First && index <= Last; }
    void Clear() { items_.assign(items_.size(), T{}); }

  private:
    static void Check(int index) {
        if (!Holds(index)) throw RuntimeError(kErrSubscript);
    }
    std::vector<T> items_;
};

inline constexpr int kScreenColumns = 69;
inline constexpr int kScreenRows = 22;
inline constexpr int kMaxTracks = 2000;  // array bound; a scan stores at most 1999
inline constexpr int kFolderListSize = 500;

// Input layer: the fields WaitInput and PollInput share with their callers.
struct InputState {
    std::string InputKey;   // "", one character, or character 0 + scan code
    int InputPollOnce = 0;  // 1 = poll once and return, 0 = wait for a key or a click
    int MouseButtons = 0;   // 1 left, 2 right, 4 middle
    int MouseEvent = 0;     // 0 none / move / press, 1 released (click), 2 double-click
    int MouseCol = 0;       // 1-based
    int MouseRow = 0;       // 0-based: screen row - 1
    RemoteCommand Remote = RemoteCommand::None;  // a command of the desktop's media controls
    int RemoteVolume = 0;                        // its volume (RemoteCommand::Volume)
    bool QuitAnswered = false;  // Quit from the desktop: the quit prompt takes it as J
};

// Console screen.
struct ScreenGroup {
    std::array<int, 6> ColorTable{};  // 2, 0, 7, 9, 5, 8 after start-up
    int ScreenState = 0;              // 1 whole screen, 2 list window, 3 steady
    std::string OemText;              // the text OemPrint prints next
};

// Playlist, scan, sort and folder chooser.
struct PlaylistGroup {
    BoundedArray<std::string, 1, kMaxTracks> TrackFile;
    BoundedArray<std::string, 1, kMaxTracks> TrackTitle;
    BoundedArray<std::string, 1, kMaxTracks> TrackInterpreter;
    int TrackCount = 0;
    std::string ExtFilter;  // "" or "." + extension
    int SortMode = 1;       // 1 random, 2 title, 3 interpreter
    int PromptTicks = 0;
    std::array<uint8_t, 256> SortKeyFold{};
    Random Rng;

    BoundedArray<std::string, 1, kFolderListSize> FolderList;
    int FolderCount = 0;
    int FolderTop = 0;
    std::string StartFolder;
    std::string ChosenFolder;  // "" = no new folder
};

// Playback of the current title.
struct MediaGroup {
    int CurrentIndex = 0;
    int LoopBound = 0;  // TrackCount when the title loop was entered
    std::string CurrentFile;
    uint32_t MediaAlias = 0;  // 0 = no device open
    int ListTop = 0;
    float Volume = 0;           // MCI volume units, 50..999
    uint32_t TrackLength = 0;   // ms
    uint32_t LastPosition = 0;  // ms
    int SecondsLeft = 0;
    int PauseBlink = 0;
    NowPlaying Published;  // what the platform was told last
};

// Power-off timer and power action.
struct PowerGroup {
    int PowerMode = 0;  // 2 hibernation available, 1 shut-down only, 0 before the probe
    std::string PowerCommand;
    std::string ShutdownPath;
    std::string WinDir;
    std::string DesktopDir;
    std::string DownPreset;
    int DownNow = 0;        // minute of the day at the last DownCheck
    int DownDeadline = 0;   // minute of the day; may exceed 1439
    int DownRemaining = 0;  // minutes shown in the Down field
};

struct Context {
    explicit Context(Platform& p) : platform(p) {}
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    Platform& platform;
    InputState input;
    ScreenGroup screen;
    PlaylistGroup playlist;
    MediaGroup media;
    PowerGroup power;
};

}  // namespace varlo
