// The media engine on GStreamer: one playbin per open file, audio only. Each open file has a
// thread of its own that does everything GStreamer is asked: a sound server that stops
// answering holds that thread, never the player's. The player's calls leave their orders
// and read what the sink answered last; only Open waits, and for a bounded time.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/posix/sound/media_engine.h"

namespace varlo {

struct StreamCensus;

class GstEngine final : public MediaEngine {
  public:
    // audioSink: a GStreamer description of the sink ("fakesink sync=true", say); empty for
    // the system's own choice (autoaudiosink: PulseAudio, PipeWire or ALSA). openWait: how
    // long an Open waits for the file to preroll and tell its length.
    explicit GstEngine(std::string audioSink = "",
                       std::chrono::milliseconds openWait = std::chrono::seconds(10));
    // Waits a little for the threads of closed files to end.
    ~GstEngine() override;
    GstEngine(const GstEngine&) = delete;
    GstEngine& operator=(const GstEngine&) = delete;

    std::unique_ptr<MediaStream> Open(const std::string& path, uint32_t* error) override;
    uint32_t AudioOutputCount() override;

    // Threads of streams still running: the open ones and the closed ones still at work.
    size_t StreamThreads() const;

  private:
    std::string audioSink_;
    std::chrono::milliseconds openWait_;
    std::shared_ptr<StreamCensus> census_;
};

}  // namespace varlo
