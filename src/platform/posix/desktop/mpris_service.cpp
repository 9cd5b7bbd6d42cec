#include "platform/posix/desktop/mpris_service.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "platform/code_pages.h"

namespace varlo {

namespace {

constexpr char kBusName[] = "org.mpris.MediaPlayer2.varlo";
constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";
constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr char kTitlePath[] = "/de/varlo/Title/";  // + the title's number

// Commands waiting for the player. A client that floods one command while the player fades
// or waits leaves one of it, not a queue that would play on for minutes.
constexpr size_t kMaxCommands = 8;

// The interfaces as the service offers them. Shuffle, LoopStatus and Rate cannot be set:
// the order is chosen on the player's own screen, the list always starts again, and titles
// play at their own speed.
constexpr char kIntrospection[] = R"(<node>
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg direction="in" name="Offset" type="x"/></method>
    <method name="SetPosition">
      <arg direction="in" name="TrackId" type="o"/>
      <arg direction="in" name="Position" type="x"/>
    </method>
    <method name="OpenUri"><arg direction="in" name="Uri" type="s"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="LoopStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="read"/>
    <property name="Shuffle" type="b" access="read"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
</node>)";

// The constant properties, by interface.
struct Constant {
    const char* name;
    bool value;
};
constexpr Constant kRootFlags[] = {
    {"CanQuit", true},        // as Esc and J
    {"CanRaise", false},      // a terminal has no window of the player's to raise
    {"HasTrackList", false},  //
};
constexpr Constant kPlayerFlags[] = {
    {"CanGoNext", true},       //
    {"CanGoPrevious", false},  // the keys skip only forward through the list
    {"CanPlay", true},         //
    {"CanPause", true},        //
    {"CanSeek", false},        //
    {"CanControl", true},      //
};

std::string Utf8(const std::string& windows1252) {
    std::string out;
    for (const char c : windows1252)
        AppendUtf8(out, Windows1252ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

const char* StatusName(NowPlaying::State state) {
    switch (state) {
        case NowPlaying::State::Playing:
            return "Playing";
        case NowPlaying::State::Paused:
            return "Paused";
        case NowPlaying::State::Stopped:
            break;
    }
    return "Stopped";
}

double MprisVolume(int units) {
    return units / 1000.0;
}

GVariant* EmptyStrings() {
    return g_variant_new_strv(nullptr, 0);
}

}  // namespace

const char* MprisIntrospection() {
    return kIntrospection;
}

std::optional<int> MprisVolumeToUnits(double volume) {
    if (std::isnan(volume)) return std::nullopt;
    return static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 1000));
}

MprisService::MprisService(GDBusConnection* bus, std::function<uint32_t()> clock)
    : bus_(bus ? G_DBUS_CONNECTION(g_object_ref(bus)) : nullptr), clock_(std::move(clock)) {
    if (!bus_) return;
    static const GDBusInterfaceVTable vtable = {MethodCall, GetProperty, SetProperty, {}};
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    rootId_ = g_dbus_connection_register_object(bus_, kObjectPath, node->interfaces[0], &vtable,
                                                this, nullptr, nullptr);
    playerId_ = g_dbus_connection_register_object(bus_, kObjectPath, node->interfaces[1], &vtable,
                                                  this, nullptr, nullptr);
    g_dbus_node_info_unref(node);
    nameId_ = g_bus_own_name_on_connection(bus_, kBusName, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                           NameAcquired, NameLost, this, nullptr);
}

MprisService::~MprisService() {
    if (nameId_) g_bus_unown_name(nameId_);
    if (rootId_) g_dbus_connection_unregister_object(bus_, rootId_);
    if (playerId_) g_dbus_connection_unregister_object(bus_, playerId_);
    if (bus_) g_object_unref(bus_);
}

void MprisService::NameAcquired(GDBusConnection*, const gchar*, gpointer data) {
    static_cast<MprisService*>(data)->named_ = true;
}

// The name is another player's: this process takes its own instance name. A name lost
// later (the bus went away) is not sought again.
void MprisService::NameLost(GDBusConnection* bus, const gchar*, gpointer data) {
    auto* self = static_cast<MprisService*>(data);
    if (self->named_ || self->instanced_ || g_dbus_connection_is_closed(bus)) return;
    self->instanced_ = true;
    g_bus_unown_name(self->nameId_);
    const std::string instance = std::string(kBusName) + ".instance" + std::to_string(getpid());
    self->nameId_ =
        g_bus_own_name_on_connection(bus, instance.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                     nullptr, nullptr, nullptr, nullptr);
}

void MprisService::Queue(RemoteCommand command, int volume) {
    // The same command once: its newest form (a volume) counts.
    std::erase_if(commands_, [command](const InputItem& item) { return item.remote == command; });
    if (commands_.size() >= kMaxCommands) return;
    InputItem item;
    item.remote = command;
    item.volume = volume;
    commands_.push_back(item);
}

std::optional<InputItem> MprisService::TakeCommand() {
    if (commands_.empty()) return std::nullopt;
    InputItem item = commands_.front();
    commands_.pop_front();
    return item;
}

void MprisService::MethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                              const gchar* method, GVariant*, GDBusMethodInvocation* invocation,
                              gpointer data) {
    // The arguments' types have been checked against the interface by GIO already.
    if (!static_cast<MprisService*>(data)->Call(method)) {
        g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_NOT_SUPPORTED,
                                              "Varlo plays the titles of its folder");
        return;
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

bool MprisService::Call(const std::string& method) {
    struct Route {
        const char* method;
        RemoteCommand command;
    };
    static constexpr Route kRoutes[] = {
        {"PlayPause", RemoteCommand::PlayPause},  //
        {"Play", RemoteCommand::Play},            //
        {"Pause", RemoteCommand::Pause},          //
        {"Stop", RemoteCommand::Pause},           // a stopped title could not go on
        {"Next", RemoteCommand::Next},            //
        {"Quit", RemoteCommand::Quit},            //
    };
    if (method == "OpenUri") return false;
    for (const Route& route : kRoutes) {
        if (method == route.method) Queue(route.command);
    }
    // Raise, Previous, Seek and SetPosition: nothing to do, as their Can... properties say.
    return true;
}

GVariant* MprisService::GetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                    const gchar* property, GError** error, gpointer data) {
    GVariant* value = static_cast<MprisService*>(data)->Property(property);
    if (!value) {
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", property);
    }
    return value;
}

gboolean MprisService::SetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                   const gchar* property, GVariant* value, GError** error,
                                   gpointer data) {
    const char* refused = static_cast<MprisService*>(data)->Set(property, value);
    if (refused) g_set_error_literal(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, refused);
    return !refused;
}

const char* MprisService::Set(const std::string& property, GVariant* value) {
    if (property != "Volume" || !g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) {
        return "Only Volume, a double";
    }
    const std::optional<int> units = MprisVolumeToUnits(g_variant_get_double(value));
    if (!units) return "Volume is no number";
    Queue(RemoteCommand::Volume, *units);
    return nullptr;
}

GVariant* MprisService::Metadata() const {
    GVariantBuilder map;
    g_variant_builder_init(&map, G_VARIANT_TYPE_VARDICT);
    if (now_.title == 0) {
        g_variant_builder_add(&map, "{sv}", "mpris:trackid", g_variant_new_object_path(kNoTrack));
        return g_variant_builder_end(&map);
    }
    const std::string path = kTitlePath + std::to_string(now_.title);
    g_variant_builder_add(&map, "{sv}", "mpris:trackid", g_variant_new_object_path(path.c_str()));
    g_variant_builder_add(&map, "{sv}", "xesam:title",
                          g_variant_new_string(Utf8(now_.name).c_str()));
    const std::string artist = Utf8(now_.interpreter);
    const char* artists[] = {artist.c_str()};
    g_variant_builder_add(&map, "{sv}", "xesam:artist", g_variant_new_strv(artists, 1));
    if (now_.length > 0) {
        g_variant_builder_add(&map, "{sv}", "mpris:length",
                              g_variant_new_int64(static_cast<gint64>(now_.length) * 1000));
    }
    if (!url_.empty()) {
        g_variant_builder_add(&map, "{sv}", "xesam:url", g_variant_new_string(url_.c_str()));
    }
    return g_variant_builder_end(&map);
}

GVariant* MprisService::Property(const std::string& name) const {
    for (const Constant& flag : kRootFlags) {
        if (name == flag.name) return g_variant_new_boolean(flag.value);
    }
    for (const Constant& flag : kPlayerFlags) {
        if (name == flag.name) return g_variant_new_boolean(flag.value);
    }
    if (name == "Identity") return g_variant_new_string("Varlo");
    if (name == "DesktopEntry") return g_variant_new_string("varlo");
    if (name == "SupportedUriSchemes" || name == "SupportedMimeTypes") return EmptyStrings();
    if (name == "PlaybackStatus") return g_variant_new_string(StatusName(now_.state));
    if (name == "LoopStatus") return g_variant_new_string("Playlist");
    if (name == "Rate" || name == "MinimumRate" || name == "MaximumRate") {
        return g_variant_new_double(1.0);
    }
    if (name == "Shuffle") return g_variant_new_boolean(now_.sortMode == 1);
    if (name == "Metadata") return Metadata();
    if (name == "Volume") return g_variant_new_double(MprisVolume(now_.volume));
    if (name == "Position") {
        uint64_t ms = now_.position;
        if (now_.state == NowPlaying::State::Playing) ms += clock_() - now_.positionTick;
        if (now_.length > 0) ms = std::min<uint64_t>(ms, now_.length);
        return g_variant_new_int64(static_cast<gint64>(ms) * 1000);
    }
    return nullptr;
}

void MprisService::Publish(const NowPlaying& now, const std::string& url) {
    const NowPlaying before = now_;
    const std::string urlBefore = url_;
    now_ = now;
    url_ = url;
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE_VARDICT);
    bool any = false;
    auto add = [&](const char* name) {
        g_variant_builder_add(&changed, "{sv}", name, Property(name));
        any = true;
    };
    if (now.state != before.state) add("PlaybackStatus");
    if (now.title != before.title || now.length != before.length || url != urlBefore) {
        add("Metadata");
    }
    if (now.volume != before.volume) add("Volume");
    if ((now.sortMode == 1) != (before.sortMode == 1)) add("Shuffle");
    if (!any) {
        g_variant_builder_clear(&changed);
        return;
    }
    if (!bus_) {
        g_variant_unref(g_variant_ref_sink(g_variant_builder_end(&changed)));
        return;
    }
    // Fails only on a bus that has gone: nothing to tell then.
    g_dbus_connection_emit_signal(bus_, nullptr, kObjectPath, "org.freedesktop.DBus.Properties",
                                  "PropertiesChanged",
                                  g_variant_new("(s@a{sv}@as)", kPlayerInterface,
                                                g_variant_builder_end(&changed), EmptyStrings()),
                                  nullptr);
}

}  // namespace varlo
