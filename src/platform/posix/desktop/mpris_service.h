// The player's MPRIS 2 service on the session bus, as org.mpris.MediaPlayer2.varlo (with
// ".instance<pid>" when another player holds that name): the desktop's media keys, its lock
// screen and panel, phones and playerctl see what plays and send commands. Properties are
// answered from what the player published last; commands are queued as input items for the
// player to read where it reads keys. Everything runs in the main context that was the
// thread's default when the service was made, so nothing reaches the player between its
// polls.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace varlo {

// The two interfaces as the service offers them: D-Bus introspection XML.
const char* MprisIntrospection();

// The two interfaces as the service offers them: D-Bus introspection XML.
const char* MprisIntrospection();

// The MPRIS volume (0.0 to 1.0) in MCI volume units, as the player's keys count them (the
// screen shows units / 100): nothing for a value that is no number.
std::optional<int> MprisVolumeToUnits(double volume);

class MprisService {
  public:
    // clock: milliseconds as NowPlaying's positionTick counts them. Without a bus (null) the
    // service only answers the calls below.
    MprisService(GDBusConnection* bus, std::function<uint32_t()> clock);
    ~MprisService();
    MprisService(const MprisService&) = delete;
    MprisService& operator=(const MprisService&) = delete;

    // The new state; url is the file's URI (empty: none). Emits PropertiesChanged for what
    // changed.
    void Publish(const NowPlaying& now, const std::string& url);

    // The oldest command not yet read.
    std::optional<InputItem> TakeCommand();

    // What the bus's calls come to, whatever a client sends: a method of either interface
    // (false: refused as not supported), a property's value (null: no such property), a
    // property set (the error's text, null when taken).
    bool Call(const std::string& method);
    GVariant* Property(const std::string& name) const;
    const char* Set(const std::string& property, GVariant* value);

  private:
    static void MethodCall(GDBusConnection* bus, const gchar* sender, const gchar* path,
                           const gchar* interface, const gchar* method, GVariant* parameters,
                           GDBusMethodInvocation* invocation, gpointer self);
    static GVariant* GetProperty(GDBusConnection* bus, const gchar* sender, const gchar* path,
                                 const gchar* interface, const gchar* property, GError** error,
                                 gpointer self);
    static gboolean SetProperty(GDBusConnection* bus, const gchar* sender, const gchar* path,
                                const gchar* interface, const gchar* property, GVariant* value,
                                GError** error, gpointer self);
    static void NameLost(GDBusConnection* bus, const gchar* name, gpointer self);
    static void NameAcquired(GDBusConnection* bus, const gchar* name, gpointer self);

    void Queue(RemoteCommand command, int volume = 0);
    GVariant* Metadata() const;

    GDBusConnection* bus_;
    std::function<uint32_t()> clock_;
    guint rootId_ = 0;
    guint playerId_ = 0;
    guint nameId_ = 0;
    bool named_ = false;      // the first name was ours once
    bool instanced_ = false;  // tried the instance name already
    NowPlaying now_;
    std::string url_;
    std::deque<InputItem> commands_;
};

}  // namespace varlo
