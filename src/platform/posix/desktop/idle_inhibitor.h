// Keeps the desktop from going idle into suspend while the player wants it: through the
// desktop portal's Inhibit (suspend and idle, on the session bus) where it answers, and
// through systemd-logind's "idle" inhibitor (on the system bus), whose descriptor is held.
// Every call is asynchronous; answers arrive when the caller's main context is pumped, and
// one that never comes blocks nothing. Without a bus, without a portal or without logind
// that part does nothing, silently.
#pragma once

#include <gio/gio.h>

#include <string>

namespace varlo {

class IdleInhibitor {
  public:
    IdleInhibitor() = default;
    ~IdleInhibitor();  // releases what is held
    IdleInhibitor(const IdleInhibitor&) = delete;
    IdleInhibitor& operator=(const IdleInhibitor&) = delete;

    // The buses, once they are connected (null: none); taken at once when wanted.
    void SetSessionBus(GDBusConnection* bus);
    void SetSystemBus(GDBusConnection* bus);

    // Held or not: takes what is missing, or releases what is held or still on its way.
    void Want(bool held);
    bool Held() const { return logindFd_ >= 0 || !portalHandle_.empty(); }

  private:
    void Update();
    static void LogindAnswered(GObject* source, GAsyncResult* result, gpointer self);
    static void PortalAnswered(GObject* source, GAsyncResult* result, gpointer self);

    GDBusConnection* session_ = nullptr;
    GDBusConnection* system_ = nullptr;
    GCancellable* cancel_ = g_cancellable_new();
    bool want_ = false;
    int logindFd_ = -1;
    bool logindAsked_ = false;   // an Inhibit call is on its way
    bool logindFailed_ = false;  // logind refused or is not there: not asked again
    std::string portalHandle_;   // the request object to close
    bool portalAsked_ = false;
    bool portalFailed_ = false;
};

}  // namespace varlo
