#include "platform/posix/desktop/idle_inhibitor.h"

#include <gio/gunixfdlist.h>
#include <unistd.h>

namespace varlo {

namespace {

constexpr int kCallTimeout = 5000;  // ms; an answer later than this counts as none

// The portal's flags: 4 suspend, 8 idle.
constexpr guint32 kPortalSuspendAndIdle = 4 | 8;

}  // namespace

IdleInhibitor::~IdleInhibitor() {
    Want(false);
    g_cancellable_cancel(cancel_);
    g_object_unref(cancel_);
    if (session_) g_object_unref(session_);
    if (system_) g_object_unref(system_);
}

void IdleInhibitor::SetSessionBus(GDBusConnection* bus) {
    session_ = G_DBUS_CONNECTION(g_object_ref(bus));
    Update();
}

void IdleInhibitor::SetSystemBus(GDBusConnection* bus) {
    system_ = G_DBUS_CONNECTION(g_object_ref(bus));
    Update();
}

void IdleInhibitor::Want(bool held) {
    want_ = held;
    Update();
}

void IdleInhibitor::Update() {
    if (want_) {
        if (system_ && logindFd_ < 0 && !logindAsked_ && !logindFailed_) {
            logindAsked_ = true;
            g_dbus_connection_call_with_unix_fd_list(
                system_, "org.freedesktop.login1", "/org/freedesktop/login1",
                "org.freedesktop.login1.Manager", "Inhibit",
                g_variant_new("(ssss)", "idle", "Varlo", "Musik läuft", "block"),
                G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeout, nullptr,
                cancel_, LogindAnswered, this);
        }
        if (session_ && portalHandle_.empty() && !portalAsked_ && !portalFailed_) {
            portalAsked_ = true;
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&options, "{sv}", "reason", g_variant_new_string("Musik läuft"));
            g_dbus_connection_call(session_, "org.freedesktop.portal.Desktop",
                                   "/org/freedesktop/portal/desktop",
                                   "org.freedesktop.portal.Inhibit", "Inhibit",
                                   g_variant_new("(sua{sv})", "", kPortalSuspendAndIdle, &options),
                                   G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeout,
                                   cancel_, PortalAnswered, this);
        }
        return;
    }
    if (logindFd_ >= 0) {
        close(logindFd_);
        logindFd_ = -1;
    }
    if (!portalHandle_.empty() && session_) {
        g_dbus_connection_call(session_, "org.freedesktop.portal.Desktop", portalHandle_.c_str(),
                               "org.freedesktop.portal.Request", "Close", nullptr, nullptr,
                               G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeout, nullptr, nullptr,
                               nullptr);
    }
    portalHandle_.clear();
}

void IdleInhibitor::LogindAnswered(GObject* source, GAsyncResult* result, gpointer data) {
    GUnixFDList* fds = nullptr;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_with_unix_fd_list_finish(G_DBUS_CONNECTION(source),
                                                                      &fds, result, &error);
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        // The inhibitor is gone; a descriptor that came all the same closes with the list.
        g_error_free(error);
        if (fds) g_object_unref(fds);
        if (reply) g_variant_unref(reply);
        return;
    }
    auto* self = static_cast<IdleInhibitor*>(data);
    self->logindAsked_ = false;
    if (!reply) {
        self->logindFailed_ = !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT);
        g_error_free(error);
        if (fds) g_object_unref(fds);
        return;
    }
    gint32 index = -1;
    g_variant_get(reply, "(h)", &index);
    g_variant_unref(reply);
    const int fd = fds ? g_unix_fd_list_get(fds, index, nullptr) : -1;  // a copy of ours
    if (fds) g_object_unref(fds);
    if (fd < 0) return;
    self->logindFd_ = fd;
    // Wanted no longer while the answer was on its way (a pause, the power action).
    if (!self->want_) self->Update();
}

void IdleInhibitor::PortalAnswered(GObject* source, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        g_error_free(error);
        if (reply) g_variant_unref(reply);
        return;
    }
    auto* self = static_cast<IdleInhibitor*>(data);
    self->portalAsked_ = false;
    if (!reply) {
        self->portalFailed_ = !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT);
        g_error_free(error);
        return;
    }
    const gchar* handle = nullptr;
    g_variant_get(reply, "(&o)", &handle);
    self->portalHandle_ = handle;
    g_variant_unref(reply);
    if (!self->want_) self->Update();
}

}  // namespace varlo
