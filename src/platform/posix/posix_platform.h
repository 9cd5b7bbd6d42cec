// The POSIX implementation of the platform seam: the console on a VT terminal, MCI on a media
// engine, the file system as drive Z:, the environment, the clock and sleeping.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/desktop/desktop_bus.h"
#include "platform/posix/files/posix_files.h"
#include "platform/posix/files/system_drive.h"
#include "platform/posix/sound/mci_interpreter.h"
#include "platform/posix/sound/media_engine.h"
#include "platform/posix/terminal/cell_screen.h"
#include "platform/posix/terminal/input_decoder.h"
#include "platform/posix/terminal/terminal.h"

namespace varlo {

// A terminal smaller than the player's screen, as SetConsoleSize found it.
struct RefusedSize {
    TerminalSize found;
    TerminalSize needed;
};

class PosixPlatform final : public Platform {
  public:
    // The terminal is entered (or not: the console then only goes to its output) by the
    // caller; the platform writes the screen to it at every sleep and input read. The drive
    // C: of the power action, when there is one, is mounted beside Z: and starts the
    // processes; without it a process start is refused. The desktop, when there is one, hears
    // what plays and sends its commands as input items. The console's colours go to the
    // terminal as far as COLORTERM and TERM say it takes them (see TerminalColourDepth).
    PosixPlatform(MediaEngine& engine, Terminal& terminal, SystemDrive* drive = nullptr,
                  DesktopBus* desktop = nullptr);
    ~PosixPlatform() override;
    PosixPlatform(const PosixPlatform&) = delete;
    PosixPlatform& operator=(const PosixPlatform&) = delete;

    uint32_t SetConsoleSize(int columns, int rows) override;
    // The terminal's window stays where its user put it: xterm's move request would move
    // urxvt's window (and xterm's where window operations are allowed), and kitty and st log
    // it as an error.
    void MoveConsoleWindow(int, int) override {}
    void SetTextAttribute(uint16_t attribute) override { screen_.SetAttribute(attribute); }
    void ClearScreen() override { screen_.Clear(); }
    void SetCursor(int row, int column) override { screen_.SetCursor(row, column); }
    int CursorRow() override { return screen_.CursorRow(); }
    int CursorColumn() override { return screen_.CursorColumn(); }
    void WriteText(std::string_view bytes) override { screen_.Write(bytes); }
    void ShowCursor(bool visible) override { screen_.ShowCursor(visible); }
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

    void Publish(const NowPlaying& now) override;

    // What the screen shows, as text (see CellScreen::Text).
    std::string ScreenText() const { return screen_.Text(); }
    // The size of a terminal that SetConsoleSize refused, the last time it did.
    std::optional<RefusedSize> SizeRefused() const { return refused_; }

  private:
    // Sends what changed on the screen with one write.
    void Flush();

    MediaEngine& engine_;
    Terminal& terminal_;
    CellScreen screen_;
    std::optional<RefusedSize> refused_;
    InputDecoder decoder_;
    // When the last sleep ended on a terminal that had sent nothing; a read within kQuietFor
    // ms after takes that for its own look.
    static constexpr uint32_t kQuietFor = 1;
    std::optional<uint32_t> quietAt_;
    SystemDrive* drive_;
    PosixFiles files_;
    MciInterpreter mci_;
    DesktopBus* desktop_;
    uint32_t urlTitle_ = 0;  // the title whose URI url_ holds
    std::string url_;
};

// Text of the POSIX side (UTF-8) for the player (Windows-1252): as names are converted, but a
// "\" stays itself.
std::string TextToWindows1252(std::string_view utf8);

// The command line as Windows hands it to a program: the arguments after the program's name,
// joined by blanks, in Windows-1252.
std::string CommandTail(int argc, const char* const* argv);

}  // namespace varlo
