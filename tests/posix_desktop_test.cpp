// The desktop side's own conversions: the MPRIS volume in the player's units; and the desktop
// bus on a private bus, called from another thread as GDBus's worker hands it the calls.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "platform/posix/desktop/desktop_bus.h"
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

// Both buses are the test's own; the calls wait for their answers, which only Serve gives.
TEST(DesktopBus, CallsFromAnotherThreadReachThePlayerAsCommands) {
    GTestDBus* buses = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(buses);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", g_test_dbus_get_bus_address(buses), 1);
    std::vector<RemoteCommand> got;
    {
        DesktopBus desktop;
        std::thread desktopUser([] {
            GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
            for (const char* method : {"PlayPause", "Next"}) {
                for (int tries = 0; tries < 100; ++tries) {  // until the name is taken
                    GVariant* reply = g_dbus_connection_call_sync(
                        bus, "org.mpris.MediaPlayer2.varlo", "/org/mpris/MediaPlayer2",
                        "org.mpris.MediaPlayer2.Player", method, nullptr, nullptr,
                        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
                    if (reply) break;
                    g_usleep(20000);
                }
            }
            g_object_unref(bus);
        });
        for (int pass = 0; pass < 500 && got.size() < 2; ++pass, g_usleep(10000)) {
            desktop.Serve();
            if (auto item = desktop.Pump()) got.push_back(item->remote);
        }
        desktopUser.join();
    }
    g_test_dbus_down(buses);
    g_object_unref(buses);
    EXPECT_EQ(got, (std::vector<RemoteCommand>{RemoteCommand::PlayPause, RemoteCommand::Next}));
}

}  // namespace
}  // namespace varlo
