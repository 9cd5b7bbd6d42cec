// Run-time errors and the end of the program travel as exceptions to the one handler at the
// top of the program (RunProgram), so that nothing deep inside calls exit().
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace varlo {

// A run-time error with its error number (0..255): shown by the ErrorReport, which then ends
// the program.
class RuntimeError : public std::runtime_error {
  public:
    explicit RuntimeError(int number);
    int number() const { return number_; }

  private:
    int number_;
};

// The program ends with exit code 0 (quit prompt, shut-down, no sound device).
struct ProgramEnd {};

// Error numbers the player raises itself.
inline constexpr int kErrSubscript = 9;
inline constexpr int kErrOutOfMemory = 7;
inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrPathNotFound = 76;
inline constexpr int kErrIllegalFunctionCall = 5;

// The English text of an error number; "" for a number without text.
const char* ErrorText(int number);

// What a refused file or process operation is.
enum class SystemOperation {
    File,          // search, attributes, create or write a file, start a process
    ChangeFolder,  // a folder that does not exist is "Path not found" here
};

// Maps a system error code onto the player's error numbers.
int ErrorNumberForSystemCode(uint32_t systemCode, SystemOperation operation);

// Throws the RuntimeError for a refused operation; does nothing for systemCode 0.
void ThrowIfSystemError(uint32_t systemCode, SystemOperation operation);

}  // namespace varlo
