// The source folder and separator of any full command line: bounded,
// terminated, and the text before the last backslash, without an opening
// quote, or nothing at all when that does not fit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "launcher/staging.h"
#include "launcher/state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> line(new char[size + 1]);
  std::memcpy(line.get(), data, size);
  line[size] = 0;

  launcher::State state;
  std::memset(&state, 0xA5, sizeof state);  // whatever an earlier use left
  launcher::FindSourceFolder(state, line.get());

  const char* folder = state.source_folder;
  if (std::memchr(folder, 0, sizeof state.source_folder) == nullptr ||
      std::memchr(state.separator, 0, sizeof state.separator) == nullptr) {
    __builtin_trap();
  }
  std::string want_folder, want_separator;
  bool want_unfit = false;
  const char* last = std::strrchr(line.get(), '\\');
  if (last != nullptr) {
    const size_t count = static_cast<size_t>(last - line.get());
    if (count >= launcher::kPathSize) {
      want_unfit = true;
    } else {
      want_folder.assign(line.get(), count);
      if (want_folder.find('"') != std::string::npos) want_folder.erase(0, 1);
      want_separator = "\\";
    }
  }
  if (folder != want_folder || state.separator != want_separator ||
      state.source_unfit != want_unfit) {
    __builtin_trap();
  }
  return 0;
}
