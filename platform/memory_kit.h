// The in-memory machine as KIT.EXE sees it beyond memory_platform.h: its
// name, build number and clock, and what the program writes to its
// standard output and error. Reset() restores the defaults: the name
// "WORKSTATION", build 2600, 2001-10-25 12:00:00, both outputs empty, the
// program in C:\KIT, no environment variable.
// Files written through kit_platform.h are the files of memory_platform.h.
#pragma once

#include <optional>
#include <string>

#include "platform/kit_platform.h"

namespace memory {

// std::nullopt makes GetComputerNameA fail.
void SetComputerName(const std::optional<std::string>& name);
void SetBuildNumber(unsigned long build);
// Where KIT.EXE lies ("C:\KIT" after Reset).
void SetProgramFolder(const std::string& folder);
// An environment variable of the process; std::nullopt unsets it.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value);
void SetLocalTime(const platform::LocalTime& time);

// Everything written to the standard handles since Reset.
std::string StandardOutputText();
std::string StandardErrorText();

}  // namespace memory
