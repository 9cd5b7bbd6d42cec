#include "platform/posix/desktop/session_power_off.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

namespace varlo {

namespace {

struct SessionManagerRow {
    const char* name;
    const char* path;
    const char* interface;
    const char* method;
    const char* arguments;  // GVariant text; nullptr: none
};

// The session managers in the order they are asked, and how each is asked to power off with
// the session's own confirmation and inhibitors.
constexpr SessionManagerRow kSessionManagers[] = {
    // GNOME: its end-session dialog, which powers off by itself after its count-down.
    {"org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
     "Shutdown", nullptr},
    // Plasma 5.25 and later: the session ends, applications may cancel, then power-off.
    {"org.kde.Shutdown", "/Shutdown", "org.kde.Shutdown", "logoutAndShutdown", nullptr},
    // Older Plasma: confirmation yes (dialog with its count-down), halt, default mode.
    {"org.kde.ksmserver", "/KSMServer", "org.kde.KSMServerInterface", "logout", "(1, 2, -1)"},
};

constexpr gint64 kGrace = 200 * 1000;  // µs a cancelled operation may take to call back

struct Pending {
    GAsyncResult* result = nullptr;
};

void Finished(GObject*, GAsyncResult* result, gpointer data) {
    static_cast<Pending*>(data)->result = G_ASYNC_RESULT(g_object_ref(result));
}

gboolean Wake(gpointer) {
    return G_SOURCE_REMOVE;
}

bool Iterate(GMainContext* context, const Pending& pending, gint64 deadline) {
    while (!pending.result) {
        const gint64 now = g_get_monotonic_time();
        if (now >= deadline) return false;
        GSource* timer = g_timeout_source_new(static_cast<guint>((deadline - now + 999) / 1000));
        g_source_set_callback(timer, Wake, nullptr, nullptr);
        g_source_attach(timer, context);
        g_main_context_iteration(context, TRUE);
        g_source_destroy(timer);
        g_source_unref(timer);
    }
    return true;
}

// Starts one asynchronous GIO operation on a main context of its own and waits for its end
// until `deadline` (monotonic µs); then it is cancelled. Nothing when it did not end: an
// operation stuck past its cancellation keeps its small record for good, since it may still
// call back. The caller unrefs the result.
template <typename Start>
GAsyncResult* Await(gint64 deadline, Start start) {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GCancellable* cancel = g_cancellable_new();
    auto* pending = new Pending;
    start(cancel, pending);
    if (!Iterate(context, *pending, deadline)) {
        g_cancellable_cancel(cancel);
        Iterate(context, *pending, g_get_monotonic_time() + kGrace);
    }
    GAsyncResult* result = pending->result;
    if (result) delete pending;
    g_object_unref(cancel);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return result;
}

int Remaining(gint64 deadline) {
    return static_cast<int>(std::max<gint64>(1, (deadline - g_get_monotonic_time()) / 1000));
}

// The answers that say "nobody of that name here", as opposed to a refusal.
bool NotThere(const GError* error) {
    return g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_INTERFACE);
}

}  // namespace

std::string SocketEntries(const std::string& address) {
    std::string kept;
    size_t start = 0;
    while (start <= address.size()) {
        const size_t end = std::min(address.find(';', start), address.size());
        const std::string entry = address.substr(start, end - start);
        if (entry.rfind("unix:", 0) == 0 || entry.rfind("tcp:", 0) == 0) {
            kept += (kept.empty() ? "" : ";") + entry;
        }
        start = end + 1;
    }
    return kept;
}

std::string SessionBusAddress() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return address;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/') return "";
    const std::string socket = std::string(runtime) + "/bus";
    struct stat info;
    if (stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return "";
    gchar* escaped = g_dbus_address_escape_value(socket.c_str());
    const std::string result = std::string("unix:path=") + escaped;
    g_free(escaped);
    return result;
}

std::string SystemBusAddress() {
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return address && *address ? address : "unix:path=/run/dbus/system_bus_socket";
}

GDBusConnection* ConnectBus(const std::string& listed, int milliseconds) {
    const std::string address = SocketEntries(listed);
    if (address.empty()) return nullptr;
    const gint64 deadline = g_get_monotonic_time() + gint64{milliseconds} * 1000;
    GAsyncResult* result = Await(deadline, [&](GCancellable* cancel, Pending* pending) {
        g_dbus_connection_new_for_address(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, cancel, Finished, pending);
    });
    if (!result) return nullptr;
    GDBusConnection* bus = g_dbus_connection_new_for_address_finish(result, nullptr);
    g_object_unref(result);
    return bus;
}

SessionAnswer AskSessionToPowerOff(int milliseconds, std::string& detail) {
    const gint64 deadline = g_get_monotonic_time() + gint64{milliseconds} * 1000;
    GDBusConnection* bus = ConnectBus(SessionBusAddress(), milliseconds);
    if (!bus) {
        detail = "no session bus answers";
        return SessionAnswer::None;
    }
    SessionAnswer answer = SessionAnswer::None;
    detail = "no session manager on the session bus";
    for (const SessionManagerRow& row : kSessionManagers) {
        GAsyncResult* result = Await(deadline, [&](GCancellable* cancel, Pending* pending) {
            g_dbus_connection_call(bus, row.name, row.path, row.interface, row.method,
                                   row.arguments ? g_variant_new_parsed(row.arguments) : nullptr,
                                   nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, Remaining(deadline),
                                   cancel, Finished, pending);
        });
        const std::string who = std::string(row.name) + " " + row.method;
        if (!result) {
            detail = who + ": no answer";
            answer = SessionAnswer::Refused;
            break;
        }
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(bus, result, &error);
        g_object_unref(result);
        if (reply) {
            g_variant_unref(reply);
            detail = who + ": accepted";
            answer = SessionAnswer::Accepted;
            break;
        }
        const bool notThere = NotThere(error);
        if (!notThere) detail = who + ": " + error->message;
        g_error_free(error);
        if (!notThere) {
            answer = SessionAnswer::Refused;
            break;
        }
    }
    g_object_unref(bus);
    return answer;
}

}  // namespace varlo
