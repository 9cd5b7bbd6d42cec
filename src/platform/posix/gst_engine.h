// The media engine on GStreamer: one playbin per open file, audio only, driven by the
// player's polls. GStreamer's own threads decode and play; their messages are read from the
// pipeline's bus whenever the player asks something, so nothing ever calls back.
#pragma once

#include <string>

#include "platform/posix/media_engine.h"

namespace varlo {

class GstEngine final : public MediaEngine {
  public:
    // audioSink: a GStreamer description of the sink ("fakesink sync=true", say); empty for
    // the system's own choice (autoaudiosink: PulseAudio, PipeWire or ALSA).
    explicit GstEngine(std::string audioSink = "");
    GstEngine(const GstEngine&) = delete;
    GstEngine& operator=(const GstEngine&) = delete;

    std::unique_ptr<MediaStream> Open(const std::string& path, uint32_t* error) override;
    uint32_t AudioOutputCount() override;

  private:
    std::string audioSink_;
};

}  // namespace varlo
