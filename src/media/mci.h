// MCI command layer: the only place that talks to the multimedia system. Each operation
// sends one or two command strings and returns the result code or a number from the reply.
// No state of its own: the caller holds the alias.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace varlo {

// The alias as it stands in command strings: 8 upper-case hexadecimal digits.
std::string AliasText(uint32_t alias);

// Opens path as MPEGVideo under the tick count as alias; 0 when the file is missing (no
// command sent) or the open fails. The time format is set to ms in both cases.
uint32_t MciOpen(Platform& p, const std::string& path);
uint32_t MciPlay(Platform& p, uint32_t alias);
// stop, then seek to start; the seek's result.
uint32_t MciRewind(Platform& p, uint32_t alias);
uint32_t MciStop(Platform& p, uint32_t alias);
uint32_t MciResume(Platform& p, uint32_t alias);
// Sets alias to 0 whatever the result.
uint32_t MciClose(Platform& p, uint32_t& alias);
uint32_t MciSeek(Platform& p, uint32_t alias, uint32_t position);
uint32_t MciSetVolume(Platform& p, uint32_t alias, uint32_t volume);
uint32_t MciSetLeftVolume(Platform& p, uint32_t alias, uint32_t volume);
uint32_t MciSetRightVolume(Platform& p, uint32_t alias, uint32_t volume);
// Status queries: the number read from the reply, 0 on error.
uint32_t MciLength(Platform& p, uint32_t alias);
uint32_t MciPosition(Platform& p, uint32_t alias);
uint32_t MciVolume(Platform& p, uint32_t alias);
uint32_t MciLeftVolume(Platform& p, uint32_t alias);
uint32_t MciRightVolume(Platform& p, uint32_t alias);

uint32_t WaveOutDeviceCount(Platform& p);

// Reads a status reply as a decimal number: leading blanks, tabs and line feeds skipped,
// reading stops at the first character that is not part of the number, 0 for no number;
// rounded to the nearest whole number, low 32 bits.
uint32_t ReplyNumber(const std::string& reply);

}  // namespace varlo
