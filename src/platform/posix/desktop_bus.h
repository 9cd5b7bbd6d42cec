// The player on the Linux desktop: its MPRIS 2 service on the session bus, and the idle
// inhibitor that keeps the computer awake while a title plays (released in a pause, after
// some seconds without a title, before the power action and when the player ends).
//
// Driven from the player's own thread through a GLib main context of its own: Pump, called at
// every input poll, dispatches what the buses sent without waiting; no callback runs at any
// other time. Connecting and every call are asynchronous, so a bus that hangs or is not there
// never holds the player; without buses the player runs as it always did.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/posix/idle_inhibitor.h"
#include "platform/posix/mpris_service.h"

namespace varlo {

class DesktopBus {
  public:
    // Starts connecting to the session bus (DBUS_SESSION_BUS_ADDRESS, else the runtime
    // folder's "bus"; never a bus started for the purpose) and to the system bus.
    DesktopBus();
    ~DesktopBus();
    DesktopBus(const DesktopBus&) = delete;
    DesktopBus& operator=(const DesktopBus&) = delete;

    void Pump();
    // Sleeps while answering the buses, so that a call made during a fade or a wait is
    // answered at once too; woken() runs after each answer and after a signal. False, without
    // waiting, while no bus is connected: the caller sleeps itself.
    bool Sleep(uint32_t milliseconds, const std::function<void()>& woken);
    // url: the file's URI ("" when there is none).
    void Publish(const NowPlaying& now, const std::string& url);
    std::optional<InputItem> TakeCommand();
    // The power action is about to start: nothing of the player's may hold it up.
    void BeforePowerAction();

  private:
    static void SessionConnected(GObject* source, GAsyncResult* result, gpointer self);
    static void SystemConnected(GObject* source, GAsyncResult* result, gpointer self);
    void Connect(const std::string& address, GAsyncReadyCallback done);

    GMainContext* context_ = g_main_context_new();
    GCancellable* cancel_ = g_cancellable_new();
    IdleInhibitor inhibitor_;
    std::unique_ptr<MprisService> mpris_;
    NowPlaying::State state_ = NowPlaying::State::Stopped;
    gint64 stoppedSince_ = 0;  // monotonic µs
    bool connected_ = false;   // to one bus at least
};

}  // namespace varlo
