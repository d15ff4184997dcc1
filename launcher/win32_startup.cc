// launcher.exe's process start-up without a C runtime: form the
// command-line tail, run the launcher, end the process with its result.
// The few routines the compiler may call on its own are in
// platform/win32_runtime.cc. Frames stay below the size that needs a stack
// probe (the build fails otherwise), so none is supplied. Windows builds
// only: the host builds leave it out.
#include "launcher/launcher.h"
#include "platform/platform.h"
#include "platform/win32_process.h"

// The image's entry point (named on the link line). No static constructors
// exist to be run before it.
extern "C" __declspec(noreturn) void __stdcall LauncherStartup() {
  const char* tail = platform::CommandLineTail(platform::FullCommandLine());
  platform::EndProcess(static_cast<unsigned int>(launcher::LauncherMain(tail)));
}
