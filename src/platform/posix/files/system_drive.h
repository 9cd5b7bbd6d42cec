// A drive C: of the player's own, so that the power probe and the power action find on a
// POSIX system the world they know from Windows, the way Wine shows a Windows program its C:
// drive: "c:\hiberfil.sys" exactly when this computer can hibernate, the file
// C:\Windows\system32\shutdown.exe, the user's desktop as C:\Users\<user>\Desktop, and the
// environment variables that lead there. Starting that shutdown.exe runs this computer's
// hibernate or power-off command; a command file such as "c:\dummi.cmd" runs the lines it
// holds, as Windows' command interpreter would.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/files/drive_view.h"

namespace varlo {

struct SystemDriveSettings {
    std::string folder;                   // the drive's POSIX folder; "" when there is none
    std::string desktop;                  // the user's desktop folder
    std::string user;                     // the user's name (UTF-8)
    std::optional<bool> canHibernate;     // given by the caller; nothing: ask systemd-logind
    std::string hibernateCommand;         // words, as CommandWords splits them
    std::string powerOffCommand;          //
    bool powerOffThroughSession = false;  // ask the desktop's session manager first
    int watchMilliseconds = 5000;         // how long a started command is watched
};

// From the environment: the folder $XDG_DATA_HOME/varlo/C (~/.local/share/varlo/C), the
// desktop from XDG_DESKTOP_DIR (the variable, else its line in user-dirs.dirs, else
// ~/Desktop), the user from USER, and VARLO_CAN_HIBERNATE ("yes" or "no"),
// VARLO_HIBERNATE_COMMAND ("systemctl hibernate") and VARLO_POWEROFF_COMMAND (without it:
// the desktop's session manager, else "systemctl poweroff"). Without HOME or USER the
// password entry of the user stands in. The folder comes in one spelling: no doubled or
// trailing "/", no "." names.
SystemDriveSettings SystemDriveSettingsFromEnvironment();

class SystemDrive {
  public:
    explicit SystemDrive(SystemDriveSettings settings);

    // C:\ and C:\Users\<user>\Desktop in the view.
    void Mount(DriveView& view) const;

    // Makes the drive's folders and its shutdown.exe where they are missing, and
    // hiberfil.sys exactly when this computer can hibernate. What cannot be made stays
    // missing: the probe then reports what it does not find. The folder is taken by its
    // real path (symlinks resolved); one that is not the user's own, or that others may
    // write to, is no drive at all, so that nobody else can slip the power action a program.
    void Prepare();

    // The drive's folder as Prepare took it; "" when there is no drive.
    const std::string& Folder() const { return settings_.folder; }

    // The drive's varlo.log opened for appending (no symlink followed), or -1.
    int OpenLog() const;

    // The environment (Windows-1252 entries) with COMSPEC, WINDIR and HOMEPATH added where
    // they are not set.
    std::vector<std::string> Environment(std::vector<std::string> entries) const;

    // Starts a command line of the player's: the drive's shutdown.exe with "/h" or "/s" runs
    // the hibernate or power-off command (power-off through the session manager where one
    // answers), a .cmd file runs its lines, any other program runs as it is. Started
    // detached from the terminal in "/", output into the drive's varlo.log, and watched for
    // watchMilliseconds: 0 when it ended well or still runs then (it has started; its end is
    // awaited in the background), otherwise the Windows error code of a refusal: the command
    // cannot be started, ends with a status other than 0 or by a signal, or the session
    // manager says no.
    uint32_t Start(const std::string& commandLine, const DriveView& view,
                   const std::string& currentPosix);

  private:
    uint32_t Spawn(const std::vector<std::string>& words);
    uint32_t Watch(pid_t child, const std::string& name);
    uint32_t PowerOff();
    void Log(const std::string& line) const;
    SystemDriveSettings settings_;
};

// A path in one spelling: doubled and trailing "/" and "." names dropped ("/home//anna/./"
// is "/home/anna"); ".." stays, as only the file system knows where it leads.
std::string NormalPath(std::string_view path);

// The program a command word names: an absolute path as it is; a bare name from the first
// absolute entry of `path` (PATH's form) that holds an executable file of that name. Empty
// and relative entries are skipped, and so is a relative path: they would depend on the
// current folder, which is the music folder. Nothing when none is found.
std::optional<std::string> CommandPath(const std::string& word, std::string_view path);

// The words of a command line: blanks and tabs separate, double quotes group and go.
std::vector<std::string> CommandWords(std::string_view line);

}  // namespace varlo
