// The full-screen folder browser.
#pragma once

#include "app/context.h"

namespace varlo {

// Browses from the current folder; leaves the result in ChosenFolder ("" = no new folder)
// and the key that ended it in InputKey (Enter or Esc). Clears the screen and sets
// ScreenState := 1 before it returns.
void FolderChooser(Context& ctx);

}  // namespace varlo
