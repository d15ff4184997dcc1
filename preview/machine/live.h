// The machine the preview runs on, for "plan --live": the launcher's keys,
// read without writing anything, its version word and its system folder.
// The build is for Windows XP and later; where another version is reported
// to it (Wine does that per program), it plans for that version.
#pragma once

#include <optional>
#include <string>

#include "preview/machine/plan.h"

namespace preview {

// Fills machine's version, system folder (unless given) and registry
// sources; the reason when it cannot.
std::optional<std::string> ReadLiveMachine(Machine* machine);
// The machine's ANSI code page; 1252 where there is no Windows.
int LiveCodePage();

}  // namespace preview
