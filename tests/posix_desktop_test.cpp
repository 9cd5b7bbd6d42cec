// The desktop side's own conversions: the MPRIS volume in the player's units; what the MPRIS
// service answers and queues, without a bus; and the desktop bus on a private bus, called from
// another thread as GDBus's worker hands it the calls.
#include <gtest/gtest.h>

#include <csignal>

#include "fake/posix/posix_fixtures.h"
#include "fake/scoped_environment.h"
#include "platform/posix/desktop/desktop_bus.h"
#include "platform/posix/desktop/idle_inhibitor.h"
#include "platform/posix/desktop/mpris_service.h"
#include "platform/posix/desktop/session_power_off.h"

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

// Every property as a client reads it, and the commands a client's calls leave for the player.
TEST(Mpris, PropertiesAndCommandsAsAClientSeesThem) {
    MprisService service(nullptr, [] { return 1500u; });
    service.Publish(
        {NowPlaying::State::Playing, 3, "\334ber", "K\366nig", "a.mp3", 5000, 1000, 1200, 700, 1},
        "file:///m/a.mp3");
    std::istringstream names("Identity PlaybackStatus Shuffle Metadata Volume Position");
    std::string answers;
    for (std::string name; names >> name;) {
        GVariant* value = service.Property(name);
        gchar* text = value ? g_variant_print(g_variant_ref_sink(value), FALSE) : nullptr;
        answers += name + "=" + (text ? text : "-") + "\n";
        g_free(text);
        if (value) g_variant_unref(value);
    }
    EXPECT_EQ(answers, R"(Identity='Varlo'
PlaybackStatus='Playing'
Shuffle=true
Metadata={'mpris:trackid': <objectpath '/de/varlo/Title/3'>, 'xesam:title': <'Über'>, 'xesam:artist': <['König']>, 'mpris:length': <int64 5000000>, 'xesam:url': <'file:///m/a.mp3'>}
Volume=0.69999999999999996
Position=1300000
)");
    GVariant* volume = g_variant_ref_sink(g_variant_new_double(0.25));
    EXPECT_EQ(service.Set("Volume", volume), nullptr);
    EXPECT_NE(service.Set("Rate", volume), nullptr);
    g_variant_unref(volume);
    for (const char* method : {"Next", "Raise", "PlayPause", "Play", "Pause", "Stop", "Quit",
                               "Previous", "Seek", "Next"}) {
        EXPECT_TRUE(service.Call(method)) << method;
    }
    EXPECT_FALSE(service.Call("OpenUri"));
    std::string commands;  // each command once, where it came last
    while (const std::optional<InputItem> c = service.TakeCommand()) {
        commands +=
            std::to_string(static_cast<int>(c->remote)) + ":" + std::to_string(c->volume) + " ";
    }
    EXPECT_EQ(commands, "6:250 1:0 2:0 3:0 5:0 4:0 ");
    for (const auto state : {NowPlaying::State::Paused, NowPlaying::State::Stopped}) {
        service.Publish({state, 3, "", "", "", 0, 0, 0, 0, 1}, "");
        GVariant* status = g_variant_ref_sink(service.Property("PlaybackStatus"));
        answers += g_variant_get_string(status, nullptr), g_variant_unref(status);
    }
    EXPECT_TRUE(answers.ends_with("\nPausedStopped")) << answers;
}

// Each property in the type the introspection declares; before any title no track is named.
TEST(Mpris, PropertiesInTheirIntrospectedTypes) {
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(MprisIntrospection(), nullptr);
    ASSERT_NE(node, nullptr);
    MprisService service(nullptr, [] { return 0u; });
    GVariant* none = g_variant_ref_sink(service.Property("Metadata"));
    gchar* printed = g_variant_print(none, FALSE);
    EXPECT_STREQ(printed,
                 "{'mpris:trackid': <objectpath '/org/mpris/MediaPlayer2/TrackList/NoTrack'>}");
    g_free(printed), g_variant_unref(none);
    int properties = 0;
    for (GDBusInterfaceInfo** i = node->interfaces; *i; ++i) {
        for (GDBusPropertyInfo** p = (*i)->properties; *p; ++p, ++properties) {
            GVariant* value = g_variant_ref_sink(service.Property((*p)->name));
            EXPECT_STREQ(g_variant_get_type_string(value), (*p)->signature) << (*p)->name;
            g_variant_unref(value);
        }
    }
    // What clients call with: methods and signals with their arguments.
    std::string calls;
    for (GDBusInterfaceInfo** i = node->interfaces; *i; ++i) {
        auto add = [&](const char* name, GDBusArgInfo** args) {
            calls += std::string(calls.empty() ? "" : " ") + name + "(";
            for (GDBusArgInfo** a = args; a && *a; ++a)
                calls += (*a)->name + (":" + std::string((*a)->signature)) + (a[1] ? "," : "");
            calls += ")";
        };
        for (GDBusMethodInfo** m = (*i)->methods; *m; ++m) add((*m)->name, (*m)->in_args);
        for (GDBusSignalInfo** s = (*i)->signals; *s; ++s) add((*s)->name, (*s)->args);
    }
    EXPECT_EQ(calls,
              "Raise() Quit() Next() Previous() Pause() PlayPause() Stop() Play() Seek(Offset:x) "
              "SetPosition(TrackId:o,Position:x) OpenUri(Uri:s) Seeked(Position:x)");
    g_dbus_node_info_unref(node);
    EXPECT_EQ(properties, 22);
}

// Both buses are a daemon of the test's own; GDBus's worker takes the call, which waits for
// an answer that only Serve gives.
TEST(DesktopBus, CallFromAnotherThreadReachesThePlayerAsACommand) {
    fake::PrivateBus bus;
    std::optional<InputItem> got;
    {
        DesktopBus desktop;
        auto serve = [&] { desktop.Serve(), got = got ? got : desktop.Pump(); };
        fake::CallMpris(serve, "org.mpris.MediaPlayer2.Player", "PlayPause");
        serve();
    }
    EXPECT_EQ(got ? got->remote : RemoteCommand::None, RemoteCommand::PlayPause);
}

using fake::SessionManager;

// Each desktop's session manager is asked in its own words; the first one there is the one
// asked, and its refusal is the answer.
TEST(SessionPowerOff, EachSessionManagerInItsOwnWords) {
    const std::pair<const char*, const char*> managers[] = {
        {"org.gnome.SessionManager",
         "/org/gnome/SessionManager org.gnome.SessionManager.Shutdown ()\n"},
        {"org.kde.Shutdown", "/Shutdown org.kde.Shutdown.logoutAndShutdown ()\n"},
        {"org.kde.ksmserver", "/KSMServer org.kde.KSMServerInterface.logout (1, 2, -1)\n"}};
    std::string detail;
    for (const auto& [name, asked] : managers) {
        fake::PrivateBus bus;
        SessionManager manager(name);
        EXPECT_EQ(AskSessionToPowerOff(3000, detail), SessionAnswer::Accepted) << name;
        EXPECT_EQ(manager.Asked(), asked);
    }
    fake::PrivateBus bus;
    SessionManager kde("org.kde.Shutdown", "org.kde.Shutdown.Error.Nein");
    SessionManager gnome("org.gnome.SessionManager", "org.gnome.Error.Nein");
    EXPECT_EQ(AskSessionToPowerOff(3000, detail), SessionAnswer::Refused);
    EXPECT_EQ(kde.Asked(), "");
    EXPECT_NE(gnome.Asked(), "");
}

// While a title plays, the session is kept from idling (logind) and from suspending (the
// portal); the portal's request is closed when it ends.
TEST(IdleInhibitor, AsksLogindAndThePortal) {
    fake::PrivateBus bus;
    SessionManager logind("org.freedesktop.login1");
    SessionManager portal("org.freedesktop.portal.Desktop", nullptr, g_variant_new("(o)", "/r/1"));
    GDBusConnection* connection = fake::ConnectedToPrivateBus();
    {
        IdleInhibitor inhibitor;
        inhibitor.SetSessionBus(connection), inhibitor.SetSystemBus(connection);
        inhibitor.Want(true);
        fake::Iterated([&] { return inhibitor.Held() && !logind.Asked().empty(); });
        inhibitor.Want(false);
        fake::Iterated([&] { return portal.Asked().find("Close") != std::string::npos; });
    }
    EXPECT_EQ(logind.Asked(),
              "/org/freedesktop/login1 org.freedesktop.login1.Manager.Inhibit ('idle', 'Varlo', "
              "'Musik l\xC3\xA4uft', 'block')\n");
    EXPECT_EQ(
        portal.Asked(),
        "/org/freedesktop/portal/desktop org.freedesktop.portal.Inhibit.Inhibit ('', 12, "
        "{'reason': <'Musik l\xC3\xA4uft'>})\n/r/1 org.freedesktop.portal.Request.Close ()\n");
    g_object_unref(connection);
}

// "autolaunch:" in an address never starts a bus of the player's own, which would outlive it.
TEST(DesktopBus, NeverStartsABusOfItsOwn) {
    char folder[] = "/tmp/varlo-launch-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string launch = std::string(folder) + "/dbus-launch";
    std::ofstream(launch) << "#!/bin/sh\n/usr/bin/touch " << folder << "/launched\nexit 1\n";
    chmod(launch.c_str(), 0755);
    {
        fake::ScopedEnvironment variables;
        variables.Set("PATH", folder);
        variables.Set("DISPLAY", ":97");  // GDBus autolaunches only in X
        variables.Set("DBUS_SESSION_BUS_ADDRESS", "autolaunch:");
        variables.Set("DBUS_SYSTEM_BUS_ADDRESS", "autolaunch:");
        DesktopBus desktop;
        for (int pass = 0; pass < 50; ++pass, g_usleep(10000)) desktop.Serve();
    }
    EXPECT_FALSE(fake::Exists(std::string(folder) + "/launched"));
    std::system(("rm -rf " + std::string(folder)).c_str());
}

}  // namespace
}  // namespace varlo
