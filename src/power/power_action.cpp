// Placeholder until the power probe and action are built.
#include "power/power_action.h"

namespace varlo {

void PowerProbe(Context& ctx) {
    ctx.power.DownPreset = "30";
}
void PowerAction(Context&) {}

}  // namespace varlo
