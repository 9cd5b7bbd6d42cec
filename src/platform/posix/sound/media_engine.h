// What the MCI command interpreter needs of a media framework: streams of one file each that
// play, stop, seek and tell their length and position, and the number of audio outputs. The
// interpreter calls them from the player's one thread; an engine may run threads of its own
// but never calls back. No call waits for a sound server: only Open may take a while, and a
// bounded one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace varlo {

class MediaStream {
  public:
    virtual ~MediaStream() = default;
    virtual bool Play() = 0;
    // Stopped where it is: the position stays.
    virtual bool Stop() = 0;
    // To ms from the start; the stream stays stopped or playing as it was.
    virtual bool Seek(uint32_t milliseconds) = 0;
    // In ms; nothing while the stream does not know.
    virtual std::optional<uint32_t> Length() = 0;
    // In ms; a stream that has ended (or failed while playing) stands at its length.
    virtual std::optional<uint32_t> Position() = 0;
    // 0.0 silent to 1.0 full, linear.
    virtual bool SetVolume(double volume) = 0;
};

class MediaEngine {
  public:
    virtual ~MediaEngine() = default;
    // Opens an existing file (absolute POSIX path), ready to play from its start: stopped at
    // 0. Nothing, with the MCI error code in *error, when it cannot be played.
    virtual std::unique_ptr<MediaStream> Open(const std::string& path, uint32_t* error) = 0;
    // How many audio outputs there are; 0 without any sound server or device.
    virtual uint32_t AudioOutputCount() = 0;
};

}  // namespace varlo
