// The desktop side's own conversions: the MPRIS volume in the player's units.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/posix/desktop/mpris_service.h"

namespace varlo {
namespace {

// Out of range is clamped, no number is refused (the caller answers with a D-Bus error).
TEST(Mpris, VolumeInUnitsClampedNoNumberRefused) {
    std::string units;
    for (double volume : {-1.0, 0.0, 0.05, 0.7, 0.9994, 1.0, 5.0, HUGE_VAL}) {
        units += std::to_string(MprisVolumeToUnits(volume).value_or(-1)) + " ";
    }
    EXPECT_EQ(units, "0 0 50 700 999 1000 1000 1000 ");
    EXPECT_FALSE(MprisVolumeToUnits(std::nan("")));
}

}  // namespace
}  // namespace varlo
