// KIT.EXE's process start-up without a C runtime: form the command-line
// tail, run the kit with its work buffers, end the process with its exit
// code. Windows builds only: the host builds leave it out.
#include "kit/kit.h"
#include "platform/platform.h"
#include "platform/win32_process.h"

namespace {
// Zero-filled by the loader, and far larger than a frame may be without a
// stack probe.
kit::Workspace workspace;
}  // namespace

extern "C" __declspec(noreturn) void __stdcall KitStartup() {
  const char* tail = platform::CommandLineTail(platform::FullCommandLine());
  platform::EndProcess(static_cast<unsigned int>(kit::KitMain(tail, workspace)));
}
