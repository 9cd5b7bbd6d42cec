// The desktop side's own conversions: the MPRIS volume in the player's units; and the desktop
// bus on a private bus, called from another thread as GDBus's worker hands it the calls.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
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

// Both buses are a daemon of the test's own; GDBus's worker takes the call, which waits for
// an answer that only Serve gives.
TEST(DesktopBus, CallFromAnotherThreadReachesThePlayerAsACommand) {
    FILE* daemon = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
    char address[512];
    int pid = 0;
    ASSERT_EQ(std::fscanf(daemon, "%511s %d", address, &pid), 2);
    pclose(daemon);
    setenv("DBUS_SESSION_BUS_ADDRESS", address, 1), setenv("DBUS_SYSTEM_BUS_ADDRESS", address, 1);
    std::optional<InputItem> got;
    {
        DesktopBus desktop;
        std::thread caller([] {
            GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
            GVariant* reply = nullptr;  // none until the name is taken
            for (int tries = 0; tries < 100 && !reply; ++tries, g_usleep(20000)) {
                reply = g_dbus_connection_call_sync(
                    bus, "org.mpris.MediaPlayer2.varlo", "/org/mpris/MediaPlayer2",
                    "org.mpris.MediaPlayer2.Player", "PlayPause", nullptr, nullptr,
                    G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
            }
            if (reply) g_variant_unref(reply);
            g_object_unref(bus);
        });
        for (int pass = 0; pass < 500 && !got; ++pass, g_usleep(10000)) {
            desktop.Serve();
            got = desktop.Pump();
        }
        caller.join();
    }
    kill(pid, SIGTERM);
    EXPECT_EQ(got ? got->remote : RemoteCommand::None, RemoteCommand::PlayPause);
}

}  // namespace
}  // namespace varlo
