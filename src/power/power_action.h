// Power probe at start-up and the power action when the countdown has run out.
#pragma once

#include "app/context.h"

namespace varlo {

// Reads the environment, tests for hibernation, finds shutdown.exe, builds PowerCommand and
// may write the command file for the user's hibernate link.
void PowerProbe(Context& ctx);

// Starts PowerCommand. Shut-down throws ProgramEnd; hibernation waits 20 s, re-arms the
// countdown and returns.
void PowerAction(Context& ctx);

}  // namespace varlo
