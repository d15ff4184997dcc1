// How a Windows start-up ends its process, for the programs' own start-up
// code (launcher/win32_startup.cc, kit/win32_startup.cc), which has no C
// runtime to return to. Windows builds only.
#pragma once

// The one kernel call a start-up needs besides the platform operations.
extern "C" __declspec(dllimport) __declspec(noreturn) void __stdcall
ExitProcess(unsigned int exit_code);

namespace platform {

// Ends the process with the exit code. Always inlined: the start-up calls
// ExitProcess itself, without a function in between.
[[noreturn]] __attribute__((always_inline)) inline void EndProcess(unsigned int exit_code) {
  ExitProcess(exit_code);
}

}  // namespace platform
