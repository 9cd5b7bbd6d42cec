#include "platform/posix/desktop/desktop_bus.h"

#include <algorithm>

#include "platform/posix/desktop/session_power_off.h"

namespace varlo {

namespace {

// Without a title for longer than this the desktop may sleep again: longer than the sort
// prompt between two runs through the list and the closing wait between two titles.
constexpr gint64 kStoppedHold = 5 * G_USEC_PER_SEC;
// Dispatches per serve: a flood of calls is answered over several.
constexpr int kServeRounds = 16;
// The context is served without being woken at every so many input reads (a second of the
// player's passes) and between the slices of a longer wait: GLib's timers (a call's
// time-out) fire that late at most.
constexpr int kServeEveryReads = 50;
constexpr uint32_t kSlice = 1000;  // ms

// The descriptor a context polls for its wake-up: the one it asks to watch while it has no
// source of its own. -1 when it asks for anything else.
int WakeUpDescriptor(GMainContext* context) {
    gint priority = 0, timeout = 0;
    GPollFD fds[2];
    g_main_context_prepare(context, &priority);
    const gint count = g_main_context_query(context, priority, &timeout, fds, 2);
    g_main_context_check(context, priority, fds, std::min(count, 2));
    return count == 1 && fds[0].events == G_IO_IN ? fds[0].fd : -1;
}

// Sources of this object attach to its own context, not to whatever else the thread runs.
class ContextScope {
  public:
    explicit ContextScope(GMainContext* context) : context_(context) {
        g_main_context_push_thread_default(context_);
    }
    ~ContextScope() { g_main_context_pop_thread_default(context_); }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

  private:
    GMainContext* context_;
};

GDBusConnection* Connected(GAsyncResult* result) {
    GError* error = nullptr;
    GDBusConnection* bus = g_dbus_connection_new_for_address_finish(result, &error);
    if (error) g_error_free(error);
    return bus;
}

}  // namespace

DesktopBus::DesktopBus() {
    // Held from here on: a source attached from another thread wakes a context only when a
    // thread other than the attaching one holds it.
    g_main_context_acquire(context_);
    wakeFd_ = WakeUpDescriptor(context_);
    ContextScope scope(context_);
    Connect(SessionBusAddress(), SessionConnected);
    Connect(SystemBusAddress(), SystemConnected);
}

DesktopBus::~DesktopBus() {
    {
        ContextScope scope(context_);
        mpris_.reset();
        inhibitor_.Want(false);
        g_cancellable_cancel(cancel_);
    }
    g_object_unref(cancel_);
    // Sources still waiting die with the context; none of them reaches this object again.
    g_main_context_release(context_);
    g_main_context_unref(context_);
}

void DesktopBus::Connect(const std::string& listed, GAsyncReadyCallback done) {
    const std::string address = SocketEntries(listed);
    if (address.empty()) return;
    g_dbus_connection_new_for_address(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancel_, done, this);
}

void DesktopBus::SessionConnected(GObject*, GAsyncResult* result, gpointer data) {
    GDBusConnection* bus = Connected(result);
    if (!bus) return;  // also when cancelled: data may be gone
    auto* self = static_cast<DesktopBus*>(data);
    ContextScope scope(self->context_);
    self->connected_ = true;
    self->mpris_ = std::make_unique<MprisService>(
        bus, [] { return static_cast<uint32_t>(g_get_monotonic_time() / 1000); });
    self->inhibitor_.SetSessionBus(bus);
    g_object_unref(bus);
}

void DesktopBus::SystemConnected(GObject*, GAsyncResult* result, gpointer data) {
    GDBusConnection* bus = Connected(result);
    if (!bus) return;
    auto* self = static_cast<DesktopBus*>(data);
    ContextScope scope(self->context_);
    self->connected_ = true;
    self->inhibitor_.SetSystemBus(bus);
    g_object_unref(bus);
}

std::optional<InputItem> DesktopBus::Pump() {
    if (wakeFd_ < 0 || ++reads_ >= kServeEveryReads) Serve();
    return mpris_ ? mpris_->TakeCommand() : std::nullopt;
}

void DesktopBus::Serve() {
    reads_ = 0;
    ContextScope scope(context_);
    for (int round = 0; round < kServeRounds && g_main_context_iteration(context_, FALSE);
         ++round) {
    }
    if (state_ == NowPlaying::State::Stopped && inhibitor_.Held() &&
        g_get_monotonic_time() - stoppedSince_ > kStoppedHold) {
        inhibitor_.Want(false);
    }
}

bool DesktopBus::Sleep(uint32_t milliseconds, const std::function<void(uint32_t)>& nap) {
    if (!connected_ || milliseconds <= kSlice) return false;
    for (;;) {
        const uint32_t slice = std::min(milliseconds, kSlice);
        nap(slice);
        milliseconds -= slice;
        if (milliseconds == 0) return true;
        Serve();
    }
}

void DesktopBus::Publish(const NowPlaying& now, const std::string& url) {
    ContextScope scope(context_);
    if (now.state == NowPlaying::State::Stopped && state_ != NowPlaying::State::Stopped) {
        stoppedSince_ = g_get_monotonic_time();
    }
    state_ = now.state;
    if (now.state == NowPlaying::State::Playing) inhibitor_.Want(true);
    if (now.state == NowPlaying::State::Paused) inhibitor_.Want(false);
    if (mpris_) mpris_->Publish(now, url);
    reads_ = kServeEveryReads;  // what the calls above left for this thread: at the next read
}

void DesktopBus::BeforePowerAction() {
    ContextScope scope(context_);
    inhibitor_.Want(false);
}

}  // namespace varlo
