// Text written to a file or a standard handle through a buffer, with the
// first failure remembered, so a caller composes a whole file and checks
// once at the end.
#pragma once

#include "platform/kit_platform.h"

namespace kit {

struct Writer {
  platform::File file;
  char* buffer;
  unsigned long capacity;
  unsigned long used;
  unsigned long column;  // characters since the last line end
  bool failed;
};

// Without a file the text stays in the buffer, and the writer fails when
// the text outgrows it.
Writer MakeWriter(platform::File file, char* buffer, unsigned long capacity);

void PutChar(Writer& out, char c);
void Put(Writer& out, const char* text, unsigned long length);
void Put(Writer& out, const char* text);
// At least `digits` lower-case hex digits.
void PutHex(Writer& out, unsigned long value, int digits);
// At least `digits` decimal digits, zeros in front.
void PutDecimal(Writer& out, unsigned long value, int digits);
// Writes what is buffered; false when this or any earlier write failed.
[[nodiscard]] bool Flush(Writer& out);

}  // namespace kit
