// Power probe at start-up and the power action when the countdown has run out.
#pragma once

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

}  // namespace varlo
