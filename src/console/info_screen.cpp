// Placeholder until the info screen is built.
#include "console/info_screen.h"

namespace varlo {

void InfoScreen(Context&) {}

}  // namespace varlo
