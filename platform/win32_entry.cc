// Process start-up without a C runtime: form the command-line tail, run the
// launcher, end the process with its result. The few routines the compiler
// may call on its own are in win32_runtime.cc. Frames stay below the size
// that needs a stack probe (the build fails otherwise), so none is supplied.
#include "launcher/launcher.h"
#include "platform/platform.h"

// The one kernel call the start-up needs besides the platform operations.
extern "C" __declspec(dllimport) __declspec(noreturn) void __stdcall
ExitProcess(unsigned int exit_code);

// The image's entry point (named on the link line). No static constructors
// exist to be run before it.
extern "C" __declspec(noreturn) void __stdcall LauncherStartup() {
  const char* tail = platform::CommandLineTail(platform::FullCommandLine());
  ExitProcess(static_cast<unsigned int>(launcher::LauncherMain(tail)));
}
