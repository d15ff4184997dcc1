// Turns the option number into action on the running Windows family.
#pragma once

#include "launcher/state.h"

namespace launcher {

enum class Family { kWindows9x, kWindows2000, kWindowsXP, kOther };

Family ClassifyFamily(unsigned long version_word);

// Carry-over and settings actions (2000/XP), response file, start of the
// staged setup program. True when the setup program was started.
bool Dispatch(State& state, int option);

}  // namespace launcher
