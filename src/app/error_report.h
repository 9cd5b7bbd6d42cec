// The two end-of-program screens.
#pragma once

#include "app/context.h"

namespace varlo {

// Shows ">>Fehler: n , 0 ,text<<" at the cursor and waits for a key or a click. The caller
// then ends the program.
void ErrorReport(Context& ctx, int number);

// " Programm beenden ? J/N": J, Y (any case) or the right button throw ProgramEnd; anything
// else returns with InputKey "". No media file is open when it is called.
void QuitPrompt(Context& ctx);

}  // namespace varlo
