// KIT.EXE's start-up without a C runtime: form the command-line tail, run
// the kit with its work buffers, end the process with its exit code.
#include "kit/kit.h"
#include "platform/platform.h"

extern "C" __declspec(dllimport) __declspec(noreturn) void __stdcall
ExitProcess(unsigned int exit_code);

namespace {
// Zero-filled by the loader, and far larger than a frame may be without a
// stack probe.
kit::Workspace workspace;
}  // namespace

extern "C" __declspec(noreturn) void __stdcall KitStartup() {
  const char* tail = platform::CommandLineTail(platform::FullCommandLine());
  ExitProcess(static_cast<unsigned int>(kit::KitMain(tail, workspace)));
}
