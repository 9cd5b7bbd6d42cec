// The MPRIS service's method calls, property reads and sets, as any client of the session may
// send them: input "type\0name\0bytes", the value the bytes in the type's serialised form.
#include <cstdint>
#include <cstring>
#include <string>

#include "check.h"
#include "platform/posix/desktop/mpris_service.h"

using namespace varlo;

namespace {

// Every string a client is answered with is valid UTF-8, whatever the names hold.
void CheckAnswer(GVariant* value) {
    FUZZ_CHECK(g_variant_is_normal_form(value));
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
        FUZZ_CHECK(g_utf8_validate(g_variant_get_string(value, nullptr), -1, nullptr));
    }
    if (g_variant_is_container(value)) {
        for (gsize i = 0; i < g_variant_n_children(value); ++i) {
            GVariant* child = g_variant_get_child_value(value, i);
            CheckAnswer(child);
            g_variant_unref(child);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool fatal = (g_log_set_always_fatal(static_cast<GLogLevelFlags>(
                                   G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)),
                               true);
    (void)fatal;
    const char* text = reinterpret_cast<const char*>(data);
    const void* end = std::memchr(text, '\0', size);
    if (!end) return 0;
    const std::string type(text);
    const size_t nameAt = type.size() + 1;
    const void* nameEnd = std::memchr(text + nameAt, '\0', size - nameAt);
    if (!nameEnd) return 0;
    const std::string name(text + nameAt);
    const std::string bytes(text + nameAt + name.size() + 1, size - nameAt - name.size() - 1);

    uint32_t clock = 0;
    MprisService service(nullptr, [&clock] { return clock; });
    NowPlaying now;
    now.state = static_cast<NowPlaying::State>(size % 3);
    now.title = static_cast<uint32_t>(bytes.size());
    now.name = bytes;
    now.interpreter = name;
    now.length = static_cast<uint32_t>(size * 997);
    now.positionTick = 5;
    clock = static_cast<uint32_t>(size * 7919);  // may lie before positionTick: wrapped
    now.volume = static_cast<int>(size % 1000);
    gchar* uri = g_filename_to_uri(("/" + bytes).c_str(), nullptr, nullptr);
    service.Publish(now, uri ? uri : "");
    g_free(uri);

    if (g_variant_type_string_is_valid(type.c_str()) &&
        g_variant_type_is_definite(G_VARIANT_TYPE(type.c_str()))) {
        GVariant* value = g_variant_ref_sink(g_variant_new_from_data(
            G_VARIANT_TYPE(type.c_str()), bytes.data(), bytes.size(), FALSE, nullptr, nullptr));
        GVariant* normal = g_variant_get_normal_form(value);
        FUZZ_CHECK(g_variant_is_normal_form(normal));
        const char* refused = service.Set(name, normal);
        FUZZ_CHECK(refused ||
                   (name == "Volume" && g_variant_is_of_type(normal, G_VARIANT_TYPE_DOUBLE)));
        g_variant_unref(normal);
        g_variant_unref(value);
    }
    for (int i = 0; i < 20; ++i) FUZZ_CHECK(service.Call(name) == (name != "OpenUri"));
    for (const char* property :
         {name.c_str(), "Metadata", "Position", "Volume", "PlaybackStatus"}) {
        if (GVariant* value = service.Property(property)) {
            g_variant_ref_sink(value);
            CheckAnswer(value);
            if (std::strcmp(property, "Position") == 0) {
                FUZZ_CHECK(g_variant_get_int64(value) >= 0);
                FUZZ_CHECK(now.length == 0 ||
                           g_variant_get_int64(value) <= now.length * int64_t{1000});
            }
            g_variant_unref(value);
        }
    }
    // The commands a client floods stay a few, each once; a volume is one of the keys' units.
    int commands = 0;
    while (const std::optional<InputItem> command = service.TakeCommand()) {
        ++commands;
        FUZZ_CHECK(command->volume >= 0 && command->volume <= 1000);
    }
    FUZZ_CHECK(commands <= 2);
    return 0;
}
