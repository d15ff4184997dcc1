// Option resolution of any tail: the number found is the one entry equal to
// the tail with only A-Z folded, and none when no entry is.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "launcher/options.h"
#include "platform/platform.h"

namespace {

std::string FoldAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return s;
}

int Sign(int n) { return (n > 0) - (n < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> tail(new char[size + 1]);
  std::memcpy(tail.get(), data, size);
  tail[size] = 0;

  const int found = launcher::ResolveOption(tail.get());
  if (found < launcher::kNoOption || found > launcher::kOptionCount) {
    __builtin_trap();
  }
  const std::string folded = FoldAscii(tail.get());
  int expected = launcher::kNoOption;
  for (int n = 1; n <= launcher::kOptionCount; ++n) {
    const char* entry = launcher::OptionString(n);
    if (FoldAscii(entry) == folded) expected = n;
    // The compare is an order: swapping its sides flips the sign.
    if (Sign(platform::CompareNoCase(tail.get(), entry)) !=
        -Sign(platform::CompareNoCase(entry, tail.get()))) {
      __builtin_trap();
    }
  }
  if (found != expected) __builtin_trap();
  const std::string text = launcher::OptionString(found);
  const bool wbs =
      text.size() >= 4 && text.compare(text.size() - 4, 4, "/wbs") == 0;
  if (launcher::IsWriteBlockSizeOption(found) != wbs) __builtin_trap();
  return 0;
}
