// Process start-up without a C runtime: form the command-line tail, run the
// launcher, end the process with its result. Also the few routines the
// compiler may call on its own (block fills and copies), since no runtime
// library is linked to supply them. Frames stay below the size that needs
// a stack probe (the build fails otherwise), so none is supplied.
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

// GCC expects even a freestanding program to supply these four: zero-fills
// and structure copies may become calls to them. Their loops are never turned
// back into calls to themselves: the build turns off
// -ftree-loop-distribute-patterns.
extern "C" void* memset(void* destination, int value, __SIZE_TYPE__ size) {
  unsigned char* d = static_cast<unsigned char*>(destination);
  while (size-- > 0) *d++ = static_cast<unsigned char>(value);
  return destination;
}

extern "C" void* memcpy(void* destination, const void* source,
                        __SIZE_TYPE__ size) {
  unsigned char* d = static_cast<unsigned char*>(destination);
  const unsigned char* s = static_cast<const unsigned char*>(source);
  while (size-- > 0) *d++ = *s++;
  return destination;
}

extern "C" void* memmove(void* destination, const void* source,
                         __SIZE_TYPE__ size) {
  unsigned char* d = static_cast<unsigned char*>(destination);
  const unsigned char* s = static_cast<const unsigned char*>(source);
  if (d < s) {
    while (size-- > 0) *d++ = *s++;
  } else {
    while (size-- > 0) d[size] = s[size];
  }
  return destination;
}

extern "C" int memcmp(const void* a, const void* b, __SIZE_TYPE__ size) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (; size > 0; --size, ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
  }
  return 0;
}
