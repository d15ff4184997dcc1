#include "kit/writer.h"

namespace kit {

Writer MakeWriter(platform::File file, char* buffer, unsigned long capacity) {
  return Writer{file, buffer, capacity, 0, 0, false};
}

void PutChar(Writer& out, char c) {
  if (out.used == out.capacity) (void)Flush(out);
  out.buffer[out.used++] = c;
  out.column = c == '\n' ? 0 : out.column + 1;
}

void Put(Writer& out, const char* text, unsigned long length) {
  for (unsigned long i = 0; i < length; ++i) PutChar(out, text[i]);
}

void Put(Writer& out, const char* text) { Put(out, text, platform::Length(text)); }

void PutHex(Writer& out, unsigned long value, int digits) {
  char reversed[8];
  int n = 0;
  do {
    reversed[n++] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  } while (value != 0 || n < digits);
  while (n > 0) PutChar(out, reversed[--n]);
}

void PutDecimal(Writer& out, unsigned long value, int digits) {
  char reversed[10];
  int n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 || n < digits);
  while (n > 0) PutChar(out, reversed[--n]);
}

bool Flush(Writer& out) {
  if (out.used > 0 && !out.failed &&
      (out.file == nullptr ||
       !platform::WriteBytes(out.file, out.buffer, out.used))) {
    out.failed = true;
  }
  out.used = 0;
  return !out.failed;
}

}  // namespace kit
