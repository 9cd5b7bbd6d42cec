// Entry, start-up and the main cycle.
#pragma once

#include <string>

#include "app/context.h"

namespace varlo {

// Runs the whole player: start-up, then the endless cycle of sort prompt, scan, sort and
// title loop. Returns the process exit code (always 0) when the program ends; exceptions
// other than RuntimeError and ProgramEnd pass through (the tests' fake uses that to stop).
// commandLine is the text after the program name.
int RunProgram(Platform& platform, const std::string& commandLine);

// Start-up steps 2 to 11 (the error handler is RunProgram's).
void StartUp(Context& ctx, const std::string& commandLine);

// The whole text after the program name (and the blanks after it) of a raw command line.
std::string ArgumentText(const std::string& rawCommandLine);

}  // namespace varlo
