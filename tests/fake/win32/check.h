// A small self-contained test runner for the Win32 tests, which run under Wine (no GoogleTest
// for MinGW): CASE defines a test, CHECK and CHECK_EQ check inside it and go on after a
// failure; main runs every test and ends with "N passed, M failed".
#pragma once

#include <sstream>
#include <string>

namespace varlo::check {

using TestFunction = void (*)();
bool Register(const char* name, TestFunction test);
// Records a failed check of the running test.
void Fail(const char* file, int line, const std::string& what);

template <typename T>
std::string Show(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

}  // namespace varlo::check

#define CASE(name)                                                                               \
    static void name();                                                                          \
    [[maybe_unused]] static const bool name##Registered = ::varlo::check::Register(#name, name); \
    static void name()

#define CHECK(condition) \
    if (!(condition)) ::varlo::check::Fail(__FILE__, __LINE__, #condition)

#define CHECK_EQ(actual, expected)                                                              \
    do {                                                                                        \
        const auto& checkActual = (actual);                                                     \
        const auto& checkExpected = (expected);                                                 \
        if (!(checkActual == checkExpected)) {                                                  \
            ::varlo::check::Fail(__FILE__, __LINE__,                                            \
                                 std::string(#actual) +                                         \
                                     "\n    is: " + ::varlo::check::Show(checkActual) +         \
                                     "\n    expected: " + ::varlo::check::Show(checkExpected)); \
        }                                                                                       \
    } while (0)
