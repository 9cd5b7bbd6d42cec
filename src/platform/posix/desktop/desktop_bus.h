// The player on the Linux desktop: its MPRIS 2 service on the session bus, and the idle
// inhibitor that keeps the computer awake while a title plays (released in a pause, after
// some seconds without a title, before the power action and when the player ends).
//
// Driven from the player's own thread through a GLib main context of its own, which that
// thread holds for good: whatever another thread hands the context (a reply, a call from the
// bus) signals its wake-up descriptor, which the player's waits watch beside the terminal and
// answer with Serve. Pump, at every input read, and Sleep, between the slices of a longer
// wait, serve about once a second, for GLib's own timers. No callback runs at any other time,
// and none reaches the player.
// Connecting and every call are asynchronous, so a bus that hangs or is not there never holds
// the player; without buses the player runs as it always did.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/posix/desktop/idle_inhibitor.h"
#include "platform/posix/desktop/mpris_service.h"

namespace varlo {

class DesktopBus {
  public:
    // Starts connecting to the session bus (DBUS_SESSION_BUS_ADDRESS, else the runtime
    // folder's "bus"; never a bus started for the purpose) and to the system bus.
    DesktopBus();
    ~DesktopBus();
    DesktopBus(const DesktopBus&) = delete;
    DesktopBus& operator=(const DesktopBus&) = delete;

    // The descriptor that becomes readable when there is something to serve; -1 for none
    // (then every Pump serves).
    int WakeFd() const { return wakeFd_; }
    // Dispatches what the buses sent, without waiting.
    void Serve();
    // Serves at every so many reads (about a second of passes); the oldest command of the
    // desktop's that has not been read.
    std::optional<InputItem> Pump();
    // A wait longer than a second (the closing wait, the wait after a hibernation) in slices
    // through nap(), serving between them. False, without waiting, for a shorter wait or while
    // no bus is connected.
    bool Sleep(uint32_t milliseconds, const std::function<void(uint32_t)>& nap);
    // url: the file's URI ("" when there is none).
    void Publish(const NowPlaying& now, const std::string& url);
    // The power action is about to start: nothing of the player's may hold it up.
    void BeforePowerAction();

  private:
    static void SessionConnected(GObject* source, GAsyncResult* result, gpointer self);
    static void SystemConnected(GObject* source, GAsyncResult* result, gpointer self);
    void Connect(const std::string& address, GAsyncReadyCallback done);

    GMainContext* context_ = g_main_context_new();
    int wakeFd_ = -1;
    int reads_ = 0;  // Pumps since the last Serve
    GCancellable* cancel_ = g_cancellable_new();
    IdleInhibitor inhibitor_;
    std::unique_ptr<MprisService> mpris_;
    NowPlaying::State state_ = NowPlaying::State::Stopped;
    gint64 stoppedSince_ = 0;  // monotonic µs
    bool connected_ = false;   // to one bus at least
};

}  // namespace varlo
