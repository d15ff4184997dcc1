// The routines GCC expects even a freestanding program to supply, since no
// runtime library is linked: zero-fills and structure copies may become
// calls to them. Shared by launcher.exe and KIT.EXE; built without
// link-time optimization, as calls to them appear only after it has run.
// Their loops are never turned back into calls to themselves: the build
// turns off -ftree-loop-distribute-patterns.
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
