#include "preview/machine/live.h"

namespace preview {

// Only the Windows build has a Windows registry to read.
std::optional<std::string> ReadLiveMachine(Machine*) {
  return std::string(
      "only the Windows build (launcher-preview.exe) reads the machine it runs on");
}

int LiveCodePage() { return 1252; }

}  // namespace preview
