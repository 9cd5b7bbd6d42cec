// The MPRIS service's calls as any client may send them: "type\0name\0bytes", a value from bytes.
#include <string>

#include "check.h"
#include "platform/posix/desktop/mpris_service.h"

using namespace varlo;

// What a client is answered is in normal form, its strings valid UTF-8.
static void CheckAnswer(GVariant* value) {
    FUZZ_CHECK(g_variant_is_normal_form(value));
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
        FUZZ_CHECK(g_utf8_validate(g_variant_get_string(value, nullptr), -1, nullptr));
    }
    for (gsize i = 0; g_variant_is_container(value) && i < g_variant_n_children(value); ++i) {
        GVariant* child = g_variant_get_child_value(value, i);
        CheckAnswer(child);
        g_variant_unref(child);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    g_log_set_always_fatal(static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t typeEnd = input.find('\0'), nameEnd = input.find('\0', typeEnd + 1);
    if (nameEnd == std::string::npos) return 0;
    const std::string type = input.substr(0, typeEnd), bytes = input.substr(nameEnd + 1);
    const std::string name = input.substr(typeEnd + 1, nameEnd - typeEnd - 1);

    MprisService service(nullptr, [size] { return static_cast<uint32_t>(size * 7919); });
    NowPlaying now{static_cast<NowPlaying::State>(size % 3),
                   static_cast<uint32_t>(bytes.size()),
                   bytes,
                   name,
                   "",
                   static_cast<uint32_t>(size * 997),
                   0,
                   5,
                   400,
                   1};
    gchar* uri = g_filename_to_uri(("/" + bytes).c_str(), nullptr, nullptr);
    service.Publish(now, uri ? uri : "");
    g_free(uri);
    if (g_variant_type_string_is_valid(type.c_str()) &&
        g_variant_type_is_definite(G_VARIANT_TYPE(type.c_str()))) {
        GVariant* value = g_variant_ref_sink(g_variant_new_from_data(
            G_VARIANT_TYPE(type.c_str()), bytes.data(), bytes.size(), FALSE, nullptr, nullptr));
        GVariant* normal = g_variant_get_normal_form(value);
        const bool volume = name == "Volume" && type == "d";
        FUZZ_CHECK(g_variant_is_normal_form(normal) &&
                   (service.Set(name, normal) == nullptr) <= volume);
        g_variant_unref(normal), g_variant_unref(value);
    }
    for (int i = 0; i < 20; ++i) FUZZ_CHECK(service.Call(name) == (name != "OpenUri"));
    for (const char* property : {name.c_str(), "Metadata", "Position", "Volume"}) {
        if (GVariant* value = service.Property(property)) {
            CheckAnswer(g_variant_ref_sink(value));
            g_variant_unref(value);
        }
    }
    // A flood of one command leaves it once; a volume is one of the keys' units.
    int commands = 0;
    for (std::optional<InputItem> c; (c = service.TakeCommand()); ++commands) {
        FUZZ_CHECK(c->volume >= 0 && c->volume <= 1000);
    }
    FUZZ_CHECK(commands <= 2);
    return 0;
}
