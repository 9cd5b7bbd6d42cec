// Placeholder until the quit prompt is built.
#include "app/error_report.h"

namespace varlo {

void QuitPrompt(Context&) {
    throw ProgramEnd{};
}

}  // namespace varlo
