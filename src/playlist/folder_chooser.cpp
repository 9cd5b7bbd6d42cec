// Placeholder until the folder chooser is built: leaves at once, as Esc would.
#include "playlist/folder_chooser.h"

#include "console/input.h"

namespace varlo {

void FolderChooser(Context& ctx) {
    ctx.input.InputKey = kKeyEsc;
    ctx.playlist.ChosenFolder.clear();
    ctx.screen.ScreenState = 1;
}

}  // namespace varlo
