// The two pages of built-in help.
#pragma once

#include "app/context.h"

namespace varlo {

// Five blanks, "by", the author's name, two blanks, the version: 30 characters.
inline constexpr const char* kCreditLine = "     by VarloTeam  - ver.1.2 -";

// Page 1, a key or click, page 2, a key or click; the caller drops the closing key.
void InfoScreen(Context& ctx);

}  // namespace varlo
