// The command-line tail of any line under any lead-byte ranges (the first
// input byte chooses them), against a model written from the tail's rule.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/lead_bytes.h"
#include "platform/memory_testing.h"
#include "platform/platform.h"

namespace {

const unsigned char* ModelTail(const unsigned char* p) {
  if (*p == '"') {
    for (++p; *p != 0 && *p != '"'; ++p) {
      if (platform::IsLeadByte(*p) && p[1] != 0) ++p;
    }
    if (*p == '"') ++p;
  } else {
    while (*p > 0x20) ++p;
  }
  while (*p >= 0x01 && *p <= 0x20) ++p;
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  memory::Reset();
  fuzz::ChooseLeadBytes(data[0]);
  // Exactly as long as the line, so a read past its end is caught.
  const size_t length = size - 1;
  std::unique_ptr<char[]> line(new char[length + 1]);
  std::memcpy(line.get(), data + 1, length);
  line[length] = 0;

  const char* tail = platform::CommandLineTail(line.get());
  const char* end = line.get() + std::strlen(line.get());
  if (tail < line.get() || tail > end) __builtin_trap();
  if (reinterpret_cast<const unsigned char*>(tail) !=
      ModelTail(reinterpret_cast<const unsigned char*>(line.get()))) {
    __builtin_trap();
  }
  return 0;
}
