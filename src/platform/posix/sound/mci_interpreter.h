// The MCI command strings of the player, carried out on a media engine: exactly the commands
// and arguments the player sends, with MCI's result codes; anything else is an error, never a
// silent success.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/posix/sound/media_engine.h"

namespace varlo {

// MCI result codes.
inline constexpr uint32_t kMciOk = 0;
inline constexpr uint32_t kMciUnrecognizedKeyword = 259;
inline constexpr uint32_t kMciUnrecognizedCommand = 261;
inline constexpr uint32_t kMciInvalidDeviceName = 263;  // no device open under that alias
inline constexpr uint32_t kMciMissingStringArgument = 269;
inline constexpr uint32_t kMciBadInteger = 270;
inline constexpr uint32_t kMciMissingParameter = 273;
inline constexpr uint32_t kMciFileNotFound = 275;
inline constexpr uint32_t kMciInternal = 277;  // the file is there but cannot be played
inline constexpr uint32_t kMciOutOfRange = 282;
inline constexpr uint32_t kMciDuplicateAlias = 289;

class MciInterpreter {
  public:
    // resolve maps a path of the player's (Windows-1252, "\" separated, as the open command
    // carries it, quotes removed) onto an absolute POSIX path; nothing when it names nothing.
    using PathResolver = std::function<std::optional<std::string>(const std::string&)>;
    MciInterpreter(MediaEngine& engine, PathResolver resolve);

    // mciSendStringA: the result code; a reply (status queries) as decimal text, cut to
    // replyLength - 1 characters and ended by a zero.
    uint32_t Send(std::string_view command, char* reply, uint32_t replyLength);

  private:
    MediaEngine& engine_;
    PathResolver resolve_;
    std::map<std::string, std::unique_ptr<MediaStream>> streams_;  // by upper-cased alias
    std::map<std::string, uint32_t> volumes_;                      // as last set, 0..1000
};

}  // namespace varlo
