#include "platform/posix/sound/gst_engine.h"

#include <gst/gst.h>
#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/posix/sound/mci_interpreter.h"

namespace varlo {

using Clock = std::chrono::steady_clock;

// The threads of the streams: each ends by itself once its pipeline is down, which a sound
// server that hangs may delay for as long as it hangs.
struct StreamCensus {
    std::mutex mutex;
    std::condition_variable changed;
    size_t running = 0;
    size_t closing = 0;  // of them, closed or given up: their pipeline is going down
};

namespace {

// playbin's flags: audio, and a volume element of its own before a sink that has no volume.
// A sink that has one (PulseAudio's, PipeWire's: the stream's volume) is given the volume
// instead, and that is applied where the server mixes: a change is heard at once, however
// much sound is queued before it. No video is decoded and no window opens.
constexpr guint kPlayFlagAudio = 1u << 1;
constexpr guint kPlayFlagSoftVolume = 1u << 4;

// The pieces the sink hands the sound server: the server asks the player for sound about twice
// a second, not a hundred times (of the settings measured, the least CPU time for player and
// server together). A server that does not grant them gives the nearest it allows.
constexpr gint64 kSinkBufferTime = 4000000;  // µs queued at the server
constexpr gint64 kSinkLatencyTime = 500000;  // µs per piece
// PulseAudio's sink writes each buffer it is given to the server at once, one message and one
// wake-up of the server per buffer: for MP3 one every 26 ms. The sound is therefore gathered
// into buffers of one piece before the sink (audiobuffersplit, in gst-plugins-bad; without
// it the sink gets the decoder's buffers as they come). Volume, pause and seek are not
// delayed by it: the volume is the server's, a pause stops the server's stream, a seek
// empties the gathered sound.
constexpr const char* kPieceGatherer = "audiobuffersplit";

// The sink is asked for its position when the player asks for it and the last answer is
// this old: the player's pass wakes the stream's thread, which never wakes by itself (a
// thread woken by a timer of its own costs several times what one woken by another does).
// In between, a position that moved from one answer to the next runs on with the clock, for
// at most this long: a sink that stops taking sound stands still from its next answer on.
constexpr Clock::duration kSamplePeriod = std::chrono::milliseconds(500);
// Streams whose thread still runs, closed ones included. A server that hangs holds each of
// them; beyond this many an Open waits for one to end, within its wait.
constexpr size_t kMaxStreamThreads = 4;
// How long an Open first waits for the closed streams to be gone from the server. A
// stream made while the one before it is still being taken down (its cork, its removal, the
// sink's latency falling back and rising again for the new one) starts in the middle of the
// sink's rewinds, and the server throws away up to the first 0.3 s of it: the first notes of
// a title. Taking a stream down takes some 25 ms; a server that hangs holds it far longer,
// and then the Open goes on after this wait, as before.
constexpr auto kTeardownWait = std::chrono::seconds(1);
constexpr uint32_t kLengthAhead = 60000;  // ms: see GstStream::Length
// How long the count of audio outputs may take (see GstEngine::AudioOutputCount).
constexpr auto kCountWait = std::chrono::seconds(5);

// The audio outputs of the system's sound servers and devices.
uint32_t CountAudioOutputs() {
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

// MPEG audio decoders ranked alike are tried in the order of their names, which puts libav's
// first; mpg123's takes half its CPU time for the same sound. A rank the user set for it
// (GST_PLUGIN_FEATURE_RANK) stays.
constexpr const char* kLeanDecoders[] = {"mpg123audiodec"};

void PreferLeanDecoders() {
    const char* ranks = std::getenv("GST_PLUGIN_FEATURE_RANK");
    for (const char* name : kLeanDecoders) {
        if (ranks && std::strstr(ranks, name)) continue;
        GstPluginFeature* decoder = gst_registry_lookup_feature(gst_registry_get(), name);
        if (!decoder) continue;
        if (gst_plugin_feature_get_rank(decoder) < GST_RANK_SECONDARY) {
            gst_plugin_feature_set_rank(decoder, GST_RANK_SECONDARY);
        }
        gst_object_unref(decoder);
    }
}

uint32_t Milliseconds(gint64 nanoseconds) {
    if (nanoseconds <= 0) return 0;
    const gint64 ms = nanoseconds / static_cast<gint64>(GST_MSECOND);
    return ms > static_cast<gint64>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(ms);
}

enum class Order { Play, Stop, Seek, Close };

// What the player's thread and a stream's thread share, under its mutex: orders one way,
// the sink's answers the other.
struct Channel {
    std::mutex mutex;
    std::condition_variable ordered;  // the stream's thread waits for orders
    std::condition_variable opened;   // Open waits for the preroll
    std::deque<std::pair<Order, uint32_t>> orders;
    std::optional<double> volume;  // the latest not yet set; earlier ones are passed over
    bool abandoned = false;        // Open gave up waiting: the stream closes as soon as it can
    bool closing = false;          // counted among the census's closing ones
    bool finished = false;         // the pipeline is down, the thread about to end
    enum class Open { Pending, Ready, Failed } open = Open::Pending;
    std::optional<uint32_t> duration;  // ms, once the pipeline knows it
    uint32_t position = 0;             // ms, as the sink answered last
    bool ended = false;                // at its end, or broken off while playing
    bool playing = false;              // worth asking again
    bool moving = false;               // the sink's last two answers moved on: see kSamplePeriod
    bool sampleWanted = false;    // the player asked for a fresher answer, or the pipeline ended
    Clock::time_point sampledAt;  // of the last answer
};

// Counts a stream that is to close among the census's closing ones, unless its pipeline is down
// already. The channel's mutex is held.
void CountClosing(Channel& channel, StreamCensus& census) {
    if (channel.finished || channel.closing) return;
    channel.closing = true;
    std::lock_guard<std::mutex> lock(census.mutex);
    ++census.closing;
}

// The playbin of one file, on the stream's own thread, which alone touches it.
class Pipeline {
  public:
    explicit Pipeline(Channel& channel) : channel_(channel) {}
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;
    ~Pipeline() {
        if (!playbin_) return;
        if (sink_) gst_object_unref(sink_);
        gst_element_set_state(playbin_, GST_STATE_NULL);
        gst_object_unref(bus_);
        gst_object_unref(playbin_);
    }

    bool Build(const std::string& path, const std::string& audioSink) {
        gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
        GstElement* playbin = gst_element_factory_make("playbin", nullptr);
        if (!uri || !playbin) {
            g_free(uri);
            if (playbin) gst_object_unref(playbin);
            return false;
        }
        playbin_ = GST_ELEMENT(gst_object_ref_sink(playbin));
        bus_ = gst_element_get_bus(playbin_);
        g_object_set(playbin_, "uri", uri, "flags", kPlayFlagAudio | kPlayFlagSoftVolume, nullptr);
        g_free(uri);
        // Even without its video flag playbin asks for a video sink when a file holds a
        // picture stream, and the automatic one probes every video output there is: without
        // a display, DirectFB's takes the console and crashes. Pictures go nowhere here.
        if (GstElement* nowhere = gst_element_factory_make("fakesink", nullptr)) {
            g_object_set(playbin_, "video-sink", nowhere, nullptr);
        }
        systemSink_ = audioSink.empty();
        const std::string sinkOnly = systemSink_ ? "autoaudiosink" : audioSink;
        GstElement* sink = SinkBin(std::string(kPieceGatherer) + " output-buffer-duration=" +
                                   std::to_string(kSinkLatencyTime) + "/1000000 ! " + sinkOnly);
        if (!sink) sink = SinkBin(sinkOnly);  // no gatherer here
        if (sink) g_object_set(playbin_, "audio-sink", sink, nullptr);
        g_signal_connect(playbin_, "deep-element-added", G_CALLBACK(&ConfigureSink), nullptr);
        gst_bus_set_sync_handler(bus_, &TellEnd, &channel_, nullptr);
        return true;
    }

    // Prerolls the file and learns its length; false when it cannot be played, or when the
    // player stopped waiting.
    bool Preroll(Clock::time_point deadline) {
        if (gst_element_set_state(playbin_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
            return false;
        }
        const auto types = static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR |
                                                       GST_MESSAGE_EOS);
        while (Clock::now() < deadline) {
            {
                std::lock_guard<std::mutex> lock(channel_.mutex);
                if (channel_.abandoned) return false;
            }
            GstMessage* message = gst_bus_timed_pop_filtered(bus_, 100 * GST_MSECOND, types);
            if (!message) continue;
            const GstMessageType type = GST_MESSAGE_TYPE(message);
            gst_message_unref(message);
            // A file that ends while it prerolls has nothing to play.
            if (type != GST_MESSAGE_ASYNC_DONE || Silent()) return false;
            sink_ = AudioSink();
            Sample();
            return true;
        }
        return false;
    }

    // Carries out the player's orders until it closes the stream; after each, and when the
    // player wants a fresher position or the pipeline reports its end, the sink is asked.
    void Serve() {
        for (;;) {
            std::deque<std::pair<Order, uint32_t>> orders;
            std::optional<double> volume;
            {
                std::unique_lock<std::mutex> lock(channel_.mutex);
                channel_.ordered.wait(lock, [&] {
                    return !channel_.orders.empty() || channel_.volume.has_value() ||
                           channel_.sampleWanted;
                });
                orders.swap(channel_.orders);
                volume = std::exchange(channel_.volume, std::nullopt);
                channel_.sampleWanted = false;
            }
            if (volume) g_object_set(playbin_, "volume", *volume, nullptr);
            for (const auto& [order, milliseconds] : orders) {
                switch (order) {
                    case Order::Play:
                        playing_ = gst_element_set_state(playbin_, GST_STATE_PLAYING) !=
                                   GST_STATE_CHANGE_FAILURE;
                        break;
                    case Order::Stop:
                        playing_ = false;
                        gst_element_set_state(playbin_, GST_STATE_PAUSED);
                        break;
                    case Order::Seek:
                        if (gst_element_seek_simple(
                                playbin_, GST_FORMAT_TIME,
                                static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH |
                                                          GST_SEEK_FLAG_ACCURATE),
                                static_cast<gint64>(milliseconds) *
                                    static_cast<gint64>(GST_MSECOND))) {
                            ended_ = false;
                            position_ = milliseconds;
                            answered_.reset();
                        }
                        break;
                    case Order::Close:
                        return;
                }
            }
            Sample();
        }
    }

  private:
    // On the streaming thread that posts it: an end or an error wakes the stream's thread,
    // so that a title is known to have ended even while the player asks nothing.
    static GstBusSyncReply TellEnd(GstBus*, GstMessage* message, gpointer data) {
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        if (type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) {
            auto* channel = static_cast<Channel*>(data);
            {
                std::lock_guard<std::mutex> lock(channel->mutex);
                channel->sampleWanted = true;
            }
            channel->ordered.notify_one();
        }
        return GST_BUS_PASS;
    }

    // The elements of a description in a bin, or null when it cannot be built whole.
    static GstElement* SinkBin(const std::string& description) {
        GError* error = nullptr;
        GstElement* bin = gst_parse_bin_from_description(description.c_str(), TRUE, &error);
        if (error) {
            g_error_free(error);
            if (bin) gst_object_unref(gst_object_ref_sink(bin));
            return nullptr;
        }
        return bin;
    }

    // Every audio sink in the pipeline is set up here, as autoaudiosink makes it: for large
    // pieces (see kSinkBufferTime). Sinks without these properties keep their own.
    static void ConfigureSink(GstBin*, GstBin*, GstElement* element, gpointer) {
        GObjectClass* type = G_OBJECT_GET_CLASS(element);
        if (g_object_class_find_property(type, "buffer-time") &&
            g_object_class_find_property(type, "latency-time")) {
            g_object_set(element, "buffer-time", kSinkBufferTime, "latency-time", kSinkLatencyTime,
                         nullptr);
        }
    }

    // Without a sound server or device autoaudiosink plays into a stand-in that only keeps
    // time: a title opened so would run to its end unheard, even after the server is back.
    // Such a title is not opened; the next one may find the server again.
    bool Silent() {
        if (!systemSink_) return false;
        GstElement* standIn = gst_bin_get_by_name(GST_BIN(playbin_), "fake-audio-sink");
        if (standIn) gst_object_unref(standIn);
        return standIn != nullptr;
    }

    // The element that plays the sound, deep inside playbin: it answers for the position
    // from its clock at once, while the question to playbin goes through every bin on the
    // way. Found by its class: the pictures of a video file go to a sink of their own, which
    // runs ahead of the sound.
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

    // Reads what the pipeline reported (its end, or an error, after which it stands at its
    // end too: a title that breaks off must end, not hold the player), asks the sink where it
    // stands and hands both to the player. Every other message is dropped, so that nothing
    // piles up on the bus during a long title. A sink that stops consuming keeps answering
    // one and the same position: that is what the player sees.
    void Sample() {
        while (GstMessage* message = gst_bus_pop(bus_)) {
            switch (GST_MESSAGE_TYPE(message)) {
                case GST_MESSAGE_DURATION_CHANGED:
                    duration_.reset();
                    break;
                case GST_MESSAGE_EOS:
                case GST_MESSAGE_ERROR:
                    ended_ = true;
                    playing_ = false;
                    break;
                default:
                    break;
            }
            gst_message_unref(message);
        }
        gint64 nanoseconds = 0;
        if (!duration_ && gst_element_query_duration(playbin_, GST_FORMAT_TIME, &nanoseconds) &&
            nanoseconds > 0) {
            duration_ = Milliseconds(nanoseconds);
        }
        bool moved = false;
        if (!ended_ &&
            gst_element_query_position(sink_ ? sink_ : playbin_, GST_FORMAT_TIME, &nanoseconds) &&
            nanoseconds >= 0) {
            position_ = Milliseconds(nanoseconds);
            moved = answered_ && position_ > *answered_;
            answered_ = position_;
        }
        std::lock_guard<std::mutex> lock(channel_.mutex);
        channel_.duration = duration_;
        channel_.position = position_;
        channel_.ended = ended_;
        channel_.playing = playing_;
        channel_.moving = playing_ && moved;
        channel_.sampledAt = Clock::now();
    }

    Channel& channel_;
    GstElement* playbin_ = nullptr;
    GstBus* bus_ = nullptr;
    GstElement* sink_ = nullptr;  // asked for the position; playbin when not found
    bool systemSink_ = true;      // autoaudiosink's choice, not one given to the engine
    bool playing_ = false;
    bool ended_ = false;
    std::optional<uint32_t> duration_;
    uint32_t position_ = 0;
    std::optional<uint32_t> answered_;  // the sink's last answer since the last seek
};

// The life of one stream's thread: open, serve, close, and leave the census.
void RunStream(std::shared_ptr<Channel> channel, std::shared_ptr<StreamCensus> census,
               std::string path, std::string audioSink, Clock::time_point deadline) {
    {
        Pipeline pipeline(*channel);
        const bool ready = pipeline.Build(path, audioSink) && pipeline.Preroll(deadline);
        {
            std::lock_guard<std::mutex> lock(channel->mutex);
            channel->open = ready ? Channel::Open::Ready : Channel::Open::Failed;
        }
        channel->opened.notify_all();
        if (ready) pipeline.Serve();
    }
    bool counted = false;
    {
        std::lock_guard<std::mutex> lock(channel->mutex);
        channel->finished = true;
        counted = channel->closing;
    }
    {
        std::lock_guard<std::mutex> lock(census->mutex);
        --census->running;
        if (counted) --census->closing;
        census->changed.notify_all();
    }
    // What the pipeline and its threads freed goes back to the system: glibc keeps it
    // resident otherwise, in pieces that the next title's allocations rarely fit, and the
    // player grows by them title after title.
    malloc_trim(0);
}

// The player's side of a stream: orders are left for the stream's thread and never waited
// for; the answers are the sink's last ones. The MCI results of play, stop, seek and volume
// are therefore those of the order, not of its effect.
class GstStream final : public MediaStream {
  public:
    GstStream(std::shared_ptr<Channel> channel, std::shared_ptr<StreamCensus> census)
        : channel_(std::move(channel)), census_(std::move(census)) {}
    ~GstStream() override {
        {
            std::lock_guard<std::mutex> lock(channel_->mutex);
            CountClosing(*channel_, *census_);
        }
        Post(Order::Close);
    }
    GstStream(const GstStream&) = delete;
    GstStream& operator=(const GstStream&) = delete;

    bool Play() override { return Post(Order::Play); }
    bool Stop() override { return Post(Order::Stop); }
    bool Seek(uint32_t milliseconds) override { return Post(Order::Seek, milliseconds); }
    // A stream whose header does not tell its length (MPEG audio without one, say) is
    // measured by its parser only while it plays: until then its end lies kLengthAhead
    // beyond where it stands, and once it has ended, where it ended.
    std::optional<uint32_t> Length() override {
        std::lock_guard<std::mutex> lock(channel_->mutex);
        return LengthLocked();
    }
    // The player asks for the position in every pass: that question asks the sink again
    // when its last answer is kSamplePeriod old.
    std::optional<uint32_t> Position() override {
        std::unique_lock<std::mutex> lock(channel_->mutex);
        if (channel_->ended) return LengthLocked();
        uint32_t position = channel_->position;
        if (!channel_->playing) return position;
        const Clock::duration since = Clock::now() - channel_->sampledAt;
        if (channel_->moving) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::min(since, kSamplePeriod));
            position += std::min(static_cast<uint32_t>(ms.count()), UINT32_MAX - position);
            // Never beyond the end: the sink's last answer may stand at the end while the
            // end itself has not reached the stream's thread yet (a busy machine).
            if (channel_->duration) position = std::min(position, *channel_->duration);
        }
        const bool ask = !channel_->sampleWanted && since >= kSamplePeriod;
        if (ask) channel_->sampleWanted = true;
        lock.unlock();
        if (ask) channel_->ordered.notify_one();
        return position;
    }
    bool SetVolume(double volume) override {
        {
            std::lock_guard<std::mutex> lock(channel_->mutex);
            channel_->volume = volume;
        }
        channel_->ordered.notify_one();
        return true;
    }

  private:
    uint32_t LengthLocked() const {
        if (channel_->duration) return *channel_->duration;
        if (channel_->ended) return channel_->position;
        return channel_->position + kLengthAhead;
    }
    bool Post(Order order, uint32_t milliseconds = 0) {
        {
            std::lock_guard<std::mutex> lock(channel_->mutex);
            channel_->orders.emplace_back(order, milliseconds);
            // Stopped or moved elsewhere, the position no longer runs on from the last answer.
            if (order != Order::Play) channel_->moving = false;
        }
        channel_->ordered.notify_one();
        return true;
    }

    std::shared_ptr<Channel> channel_;
    std::shared_ptr<StreamCensus> census_;
};

}  // namespace

GstEngine::GstEngine(std::string audioSink, std::chrono::milliseconds openWait)
    : audioSink_(std::move(audioSink)),
      openWait_(openWait),
      census_(std::make_shared<StreamCensus>()) {
    // The name the sound server shows for the player's stream (pavucontrol, pactl).
    if (!g_get_application_name()) g_set_application_name("Varlo");
    gst_init(nullptr, nullptr);
    PreferLeanDecoders();
}

GstEngine::~GstEngine() {
    std::unique_lock<std::mutex> lock(census_->mutex);
    census_->changed.wait_for(lock, std::chrono::seconds(2), [&] { return census_->running == 0; });
}

size_t GstEngine::StreamThreads() const {
    std::lock_guard<std::mutex> lock(census_->mutex);
    return census_->running;
}

std::unique_ptr<MediaStream> GstEngine::Open(const std::string& path, uint32_t* error) {
    *error = kMciInternal;
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = kMciFileNotFound;
        return nullptr;
    }
    const Clock::time_point deadline = Clock::now() + openWait_;
    {
        std::unique_lock<std::mutex> lock(census_->mutex);
        census_->changed.wait_until(lock, std::min(deadline, Clock::now() + kTeardownWait),
                                    [&] { return census_->closing == 0; });
        if (!census_->changed.wait_until(lock, deadline,
                                         [&] { return census_->running < kMaxStreamThreads; })) {
            return nullptr;
        }
        ++census_->running;
    }
    auto channel = std::make_shared<Channel>();
    try {
        std::thread(RunStream, channel, census_, path, audioSink_, deadline).detach();
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(census_->mutex);
        --census_->running;
        return nullptr;
    }
    std::unique_lock<std::mutex> lock(channel->mutex);
    channel->opened.wait_until(lock, deadline,
                               [&] { return channel->open != Channel::Open::Pending; });
    if (channel->open == Channel::Open::Ready) {
        *error = kMciOk;
        lock.unlock();
        return std::make_unique<GstStream>(std::move(channel), census_);
    }
    // Still prerolling (a server that does not answer): the thread closes the pipeline once
    // it gets the chance.
    channel->abandoned = true;
    CountClosing(*channel, *census_);
    channel->orders.emplace_back(Order::Close, 0);
    lock.unlock();
    channel->ordered.notify_one();
    return nullptr;
}

uint32_t GstEngine::AudioOutputCount() {
    // Asked on a thread of its own: a sound server that does not answer holds the question
    // for as long as it hangs. It is a server all the same; the titles find out whether it
    // plays again.
    struct Answer {
        std::mutex mutex;
        std::condition_variable given;
        std::optional<uint32_t> count;
    };
    auto answer = std::make_shared<Answer>();
    const auto ask = [answer] {
        const uint32_t count = CountAudioOutputs();
        std::lock_guard<std::mutex> lock(answer->mutex);
        answer->count = count;
        answer->given.notify_all();
    };
    try {
        std::thread(ask).detach();
    } catch (const std::system_error&) {
        ask();
    }
    std::unique_lock<std::mutex> lock(answer->mutex);
    answer->given.wait_for(lock, kCountWait, [&] { return answer->count.has_value(); });
    return answer->count.value_or(1);
}

}  // namespace varlo
