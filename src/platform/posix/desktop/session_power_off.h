// Power-off through the desktop's session manager, where one answers on the session bus:
// GNOME's org.gnome.SessionManager, KDE's org.kde.Shutdown and ksmserver. Unlike a plain
// `systemctl poweroff` it lets applications with unsaved work object (their own dialogs, the
// session's inhibitors), the way Windows' shutdown /s asks running programs first.
#pragma once

#include <gio/gio.h>

#include <string>

namespace varlo {

enum class SessionAnswer {
    None,      // no bus, a bus that does not answer, or no session manager on it
    Accepted,  // a session manager took the request: its dialog and time-out follow
    Refused,   // a session manager answered with an error, or did not answer in time
};

// Asks the first session manager that is there to power the computer off. Never waits
// longer than `milliseconds` in all, whatever the bus does; `detail` says who answered what.
SessionAnswer AskSessionToPowerOff(int milliseconds, std::string& detail);

// A connection to the bus at `address` ("unix:path=..."; other than unix: and tcp: entries
// are left out, so no bus is ever started), or nothing within `milliseconds`. The caller
// unrefs it.
GDBusConnection* ConnectBus(const std::string& address, int milliseconds);

// Only the entries of an address list ("a;b") that reach a running bus through a socket: an
// "autolaunch:" entry would start a bus of the player's own, which then outlives it.
std::string SocketEntries(const std::string& address);

// The session bus's address: DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus where that
// socket exists; "" when there is none (no bus is ever started for the player).
std::string SessionBusAddress();

// The system bus's address: DBUS_SYSTEM_BUS_ADDRESS, else the well-known socket.
std::string SystemBusAddress();

}  // namespace varlo
