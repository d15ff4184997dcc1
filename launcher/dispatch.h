// Turns the option number into action on the running Windows family.
#pragma once

#include "launcher/options.h"
#include "launcher/state.h"

namespace launcher {

enum class Family { kWindows9x, kWindows2000, kWindowsXP, kOther };

Family ClassifyFamily(unsigned long version_word);

// The response file's name in the package ("data3.cab\\..."); nullptr for
// kPlain. full_install picks between the two update and uninstall files.
const char* ResponseFile(Response response, bool full_install);

// Carry-over and settings actions (2000/XP), response file, start of the
// staged setup program. True when the setup program was started.
bool Dispatch(State& state, int option);

}  // namespace launcher
