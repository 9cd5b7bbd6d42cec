// Power probe at start-up and the power action when the countdown has run out.
#pragma once

#include <string>
#include <vector>

#include "app/context.h"

namespace varlo {

inline constexpr char kHibernationFile[] = "c:\\hiberfil.sys";
inline constexpr char kPowerScriptPath[] = "c:\\dummi.cmd";
inline constexpr char kHibernateLinkName[] = "hibernate.link";

// Reads the environment, tests for hibernation, finds shutdown.exe, builds PowerCommand and
// may write the command file for the user's hibernate link. Leaves its status lines on a
// cleared screen; takes up to 4 s.
void PowerProbe(Context& ctx);

// Starts PowerCommand. Shut-down throws ProgramEnd; hibernation waits 20 s, re-arms the
// countdown and returns. A command the system refuses to start is a run-time error.
void PowerAction(Context& ctx);

// --- Pieces of the probe, open for tests. ---

// Takes COMSPEC, WINDIR and HOMEPATH from the environment entries into ShutdownPath, WinDir
// and DesktopDir.
void ReadPowerEnvironment(Context& ctx, const std::vector<std::string>& entries);
// A plain file exists at path: not hidden, not system, not a folder.
bool NormalFileExists(Context& ctx, const std::string& path);
// ShutdownPath + " /h" or " /s"; the path in double quotes when it holds a blank, so that the
// system does not take the text before the blank for the program.
std::string ShutdownCommand(const std::string& shutdownPath, const std::string& option);

}  // namespace varlo
