#include "platform/posix/gst_engine.h"

#include <gst/gst.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/posix/mci_interpreter.h"

namespace varlo {

namespace {

// playbin's flags: audio, and volume in software (the sink's own volume would be the whole
// stream's of the sound server). No video is decoded and no window opens.
constexpr guint kPlayFlagAudio = 1u << 1;
constexpr guint kPlayFlagSoftVolume = 1u << 4;

constexpr std::chrono::milliseconds kPositionAnchor{250};
constexpr uint32_t kLengthAhead = 60000;  // ms: see GstStream::Length

// How long an open may take to preroll and learn the length of the file.
constexpr GstClockTime kOpenTimeout = 10 * GST_SECOND;

uint32_t Milliseconds(gint64 nanoseconds) {
    if (nanoseconds <= 0) return 0;
    const gint64 ms = nanoseconds / static_cast<gint64>(GST_MSECOND);
    return ms > static_cast<gint64>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(ms);
}

class GstStream final : public MediaStream {
  public:
    explicit GstStream(GstElement* playbin)
        : playbin_(playbin), bus_(gst_element_get_bus(playbin)) {}
    ~GstStream() override {
        if (sink_) gst_object_unref(sink_);
        gst_element_set_state(playbin_, GST_STATE_NULL);
        gst_object_unref(bus_);
        gst_object_unref(playbin_);
    }
    GstStream(const GstStream&) = delete;
    GstStream& operator=(const GstStream&) = delete;

    // Prerolls the file and waits until its length is known; false when it cannot be played.
    bool Preroll() {
        if (gst_element_set_state(playbin_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
            return false;
        }
        const GstClockTime deadline = gst_util_get_timestamp() + kOpenTimeout;
        for (;;) {
            const GstClockTime now = gst_util_get_timestamp();
            if (now >= deadline) return false;
            GstMessage* message = gst_bus_timed_pop_filtered(
                bus_, deadline - now,
                static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR |
                                            GST_MESSAGE_EOS));
            if (!message) return false;
            const GstMessageType type = GST_MESSAGE_TYPE(message);
            gst_message_unref(message);
            if (type == GST_MESSAGE_ERROR) return false;
            // A file that ends while it prerolls has nothing to play.
            if (type == GST_MESSAGE_EOS) return false;
            if (type == GST_MESSAGE_ASYNC_DONE) {
                sink_ = AudioSink();
                return true;
            }
        }
    }

    bool Play() override {
        Drain();
        anchor_.reset();
        playing_ = gst_element_set_state(playbin_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
        return playing_;
    }
    bool Stop() override {
        Drain();
        anchor_.reset();
        playing_ = false;
        return gst_element_set_state(playbin_, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
    }
    bool Seek(uint32_t milliseconds) override {
        Drain();
        const bool done = gst_element_seek_simple(
            playbin_, GST_FORMAT_TIME,
            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
            static_cast<gint64>(milliseconds) * static_cast<gint64>(GST_MSECOND));
        if (done) ended_ = false;
        anchor_.reset();
        return done;
    }
    // The player asks on every pass; the pipeline is asked again only when it reported a new
    // length. A stream whose header does not tell its length (MPEG audio without one, say) is
    // measured by its parser only while it plays: until then its end lies kLengthAhead beyond
    // where it stands, and once it has ended, where it ended.
    std::optional<uint32_t> Length() override {
        Drain();
        if (length_) return length_;
        gint64 duration = 0;
        if (gst_element_query_duration(playbin_, GST_FORMAT_TIME, &duration) && duration > 0) {
            length_ = Milliseconds(duration);
            return length_;
        }
        if (ended_) return length_ = lastPosition_;
        return lastPosition_ + kLengthAhead;
    }
    // While playing, the sink is asked at most every kPositionAnchor ms and the position runs
    // on with the steady clock in between: the sink's answer comes from the sound server's
    // clock, a round trip to it, and the player asks 50 times a second. The two clocks part
    // by far less than a millisecond within that time.
    std::optional<uint32_t> Position() override {
        Drain();
        if (ended_) return Length();
        const auto now = std::chrono::steady_clock::now();
        if (playing_ && anchor_ && now - anchor_->at < kPositionAnchor) {
            const auto ran =
                std::chrono::duration_cast<std::chrono::milliseconds>(now - anchor_->at);
            const uint64_t position = anchor_->position + static_cast<uint64_t>(ran.count());
            lastPosition_ =
                static_cast<uint32_t>(std::min<uint64_t>(position, length_.value_or(UINT32_MAX)));
            return lastPosition_;
        }
        gint64 position = 0;
        if (gst_element_query_position(sink_ ? sink_ : playbin_, GST_FORMAT_TIME, &position) &&
            position >= 0) {
            anchor_ = Anchor{Milliseconds(position), now};
            lastPosition_ = anchor_->position;
            return anchor_->position;
        }
        return std::nullopt;
    }
    bool SetVolume(double volume) override {
        g_object_set(playbin_, "volume", volume, nullptr);
        return true;
    }

  private:
    // The element that plays the sound, deep inside playbin. The player asks for the position
    // 50 times a second; the sink answers from its clock at once, while the question to
    // playbin goes through every bin on the way (half of the player's own CPU time).
    // Found by its class: the pictures of a video file go to a sink of their own, which runs
    // ahead of the sound.
    GstElement* AudioSink() {
        GstElement* found = nullptr;
        GstIterator* elements = gst_bin_iterate_recurse(GST_BIN(playbin_));
        GValue item = G_VALUE_INIT;
        while (!found && gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
            auto* element = GST_ELEMENT(g_value_get_object(&item));
            const char* klass = gst_element_get_metadata(element, GST_ELEMENT_METADATA_KLASS);
            if (GST_OBJECT_FLAG_IS_SET(element, GST_ELEMENT_FLAG_SINK) && !GST_IS_BIN(element) &&
                klass && std::strstr(klass, "Audio")) {
                found = GST_ELEMENT(gst_object_ref(element));
            }
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(elements);
        return found;
    }

    // Reads what the pipeline reported since the last question: its end, or an error while it
    // played, after which it stands at its end too (a title that breaks off must end, not
    // hang the player on a position that never moves again). Every other message (tags,
    // state changes, ...) is dropped, so that nothing piles up on the bus during a long title.
    void Drain() {
        while (GstMessage* message = gst_bus_pop(bus_)) {
            switch (GST_MESSAGE_TYPE(message)) {
                case GST_MESSAGE_DURATION_CHANGED:
                    length_.reset();
                    break;
                case GST_MESSAGE_EOS:
                case GST_MESSAGE_ERROR:
                    ended_ = true;
                    break;
                default:
                    break;
            }
            gst_message_unref(message);
        }
    }

    GstElement* playbin_;
    GstBus* bus_;
    GstElement* sink_ = nullptr;  // asked for the position; playbin when not found
    bool ended_ = false;
    bool playing_ = false;
    struct Anchor {
        uint32_t position;  // ms, as the sink answered
        std::chrono::steady_clock::time_point at;
    };
    std::optional<Anchor> anchor_;  // the last answer of the sink while playing
    std::optional<uint32_t> length_;
    uint32_t lastPosition_ = 0;  // ms, the last position told
};

}  // namespace

GstEngine::GstEngine(std::string audioSink) : audioSink_(std::move(audioSink)) {
    // The name the sound server shows for the player's stream (pavucontrol, pactl).
    if (!g_get_application_name()) g_set_application_name("Varlo");
    gst_init(nullptr, nullptr);
}

std::unique_ptr<MediaStream> GstEngine::Open(const std::string& path, uint32_t* error) {
    *error = kMciInternal;
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = kMciFileNotFound;
        return nullptr;
    }
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (!uri || !playbin) {
        g_free(uri);
        if (playbin) gst_object_unref(playbin);
        return nullptr;
    }
    g_object_set(playbin, "uri", uri, "flags", kPlayFlagAudio | kPlayFlagSoftVolume, nullptr);
    // Even without its video flag playbin asks for a video sink when a file holds a picture
    // stream, and the automatic one probes every video output there is: without a display,
    // DirectFB's takes the console and crashes. Pictures go nowhere here.
    if (GstElement* nowhere = gst_element_factory_make("fakesink", nullptr)) {
        g_object_set(playbin, "video-sink", nowhere, nullptr);
    }
    g_free(uri);
    if (!audioSink_.empty()) {
        GstElement* sink = gst_parse_bin_from_description(audioSink_.c_str(), TRUE, nullptr);
        if (sink) g_object_set(playbin, "audio-sink", sink, nullptr);
    }
    auto stream = std::make_unique<GstStream>(GST_ELEMENT(gst_object_ref_sink(playbin)));
    if (!stream->Preroll()) return nullptr;
    *error = kMciOk;
    return stream;
}

uint32_t GstEngine::AudioOutputCount() {
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Audio/Sink", nullptr);
    uint32_t count = 0;
    if (gst_device_monitor_start(monitor)) {
        GList* devices = gst_device_monitor_get_devices(monitor);
        count = g_list_length(devices);
        g_list_free_full(devices, gst_object_unref);
        gst_device_monitor_stop(monitor);
    }
    gst_object_unref(monitor);
    return count;
}

}  // namespace varlo
