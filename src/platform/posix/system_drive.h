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

#include "platform/posix/drive_view.h"

namespace varlo {

struct SystemDriveSettings {
    std::string folder;                // the drive's POSIX folder; "" when there is none
    std::string desktop;               // the user's desktop folder
    std::string user;                  // the user's name (UTF-8)
    std::optional<bool> canHibernate;  // given by the caller; nothing: ask systemd-logind
    std::string hibernateCommand;      // words, as CommandWords splits them
    std::string powerOffCommand;       //
};

// From the environment: the folder $XDG_DATA_HOME/varlo/C (~/.local/share/varlo/C), the
// desktop from XDG_DESKTOP_DIR (the variable, else its line in user-dirs.dirs, else
// ~/Desktop), the user from USER, and VARLO_CAN_HIBERNATE ("yes" or "no"),
// VARLO_HIBERNATE_COMMAND ("systemctl hibernate") and VARLO_POWEROFF_COMMAND ("systemctl
// poweroff"). Without HOME or USER the password entry of the user stands in.
SystemDriveSettings SystemDriveSettingsFromEnvironment();

class SystemDrive {
  public:
    explicit SystemDrive(SystemDriveSettings settings);

    // C:\ and C:\Users\<user>\Desktop in the view.
    void Mount(DriveView& view) const;

    // Makes the drive's folders and its shutdown.exe where they are missing, and
    // hiberfil.sys exactly when this computer can hibernate. What cannot be made stays
    // missing: the probe then reports what it does not find.
    void Prepare();

    // The environment (Windows-1252 entries) with COMSPEC, WINDIR and HOMEPATH added where
    // they are not set.
    std::vector<std::string> Environment(std::vector<std::string> entries) const;

    // Starts a command line of the player's, without waiting: the drive's shutdown.exe with
    // "/h" or "/s" runs the hibernate or power-off command, a .cmd file runs its lines, any
    // other program runs as it is. Started detached from the terminal, output into the
    // drive's varlo.log. 0, or the Windows error code of a command that cannot be started.
    uint32_t Start(const std::string& commandLine, const DriveView& view,
                   const std::string& currentPosix);

  private:
    uint32_t Spawn(const std::vector<std::string>& words);
    void Log(const std::string& line) const;
    SystemDriveSettings settings_;
    std::vector<pid_t> children_;  // reaped at the next start
};

// The words of a command line: blanks and tabs separate, double quotes group and go.
std::vector<std::string> CommandWords(std::string_view line);

}  // namespace varlo
