// String helpers whose exact behaviour the callers depend on. No locale or
// code page enters here except through IsLeadByte for the command-line tail.
#include "platform/platform.h"

namespace platform {

namespace {
unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
}
}  // namespace

int CompareNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a);
    unsigned char y = static_cast<unsigned char>(*b);
    if (x == y) {
      if (x == 0) return 0;
      continue;
    }
    x = FoldAscii(x);
    y = FoldAscii(y);
    if (x != y) return x < y ? -1 : 1;
  }
}

const char* FindLast(const char* s, char c) {
  const char* found = nullptr;
  for (;; ++s) {
    if (*s == c) found = s;
    if (*s == 0) return found;
  }
}

void CopyN(char* destination, const char* source, unsigned long n) {
  if (n == 0) return;
  unsigned long i = 0;
  for (; i + 1 < n && source[i] != 0; ++i) destination[i] = source[i];
  destination[i] = 0;
}

void CopyBounded(char* destination, const char* source, unsigned long n) {
  unsigned long i = 0;
  for (; i < n && source[i] != 0; ++i) destination[i] = source[i];
  for (; i < n; ++i) destination[i] = 0;
}

unsigned long Length(const char* s) {
  unsigned long n = 0;
  while (s[n] != 0) ++n;
  return n;
}

void ZeroFill(void* buffer, unsigned long size) {
  volatile unsigned char* p = static_cast<unsigned char*>(buffer);
  while (size-- > 0) *p++ = 0;
}

bool Append(char* destination, unsigned long capacity, const char* source) {
  unsigned long used = 0;
  while (used < capacity && destination[used] != 0) ++used;
  if (used == capacity) return false;  // not even terminated: refuse
  unsigned long add = Length(source);
  if (add >= capacity - used) return false;
  for (unsigned long i = 0; i <= add; ++i) destination[used + i] = source[i];
  return true;
}

bool Compose(char* destination, unsigned long capacity, const char* a,
             const char* b, const char* c) {
  ZeroFill(destination, capacity);
  if (Append(destination, capacity, a) && Append(destination, capacity, b) &&
      Append(destination, capacity, c)) {
    return true;
  }
  ZeroFill(destination, capacity);
  return false;
}

const char* CommandLineTail(const char* line) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(line);
  if (*p == '"') {
    ++p;
    while (*p != 0 && *p != '"') {
      // A trail byte is never taken for a quote; a lead byte right before
      // the end does not take the end along.
      if (IsLeadByte(*p) && p[1] != 0) ++p;
      ++p;
    }
    if (*p == '"') ++p;
  } else if (*p > 0x20) {
    while (*p > 0x20) ++p;
  }
  while (*p >= 0x01 && *p <= 0x20) ++p;
  return reinterpret_cast<const char*>(p);
}

}  // namespace platform
