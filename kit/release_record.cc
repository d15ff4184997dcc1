#include "kit/release_record.h"

#include "platform/platform.h"

namespace kit {

namespace {

// Whether the line [begin, end) starts with key; then *value is what
// follows it.
bool Field(const char* begin, const char* end, const char* key,
           const char** value) {
  for (; *key != 0; ++begin, ++key) {
    if (begin == end || *begin != *key) return false;
  }
  *value = begin;
  return true;
}

void Take(char* destination, const char* begin, const char* end) {
  unsigned long i = 0;
  for (; begin + i < end; ++i) destination[i] = begin[i];
  destination[i] = 0;
}

}  // namespace

bool IsReleaseId(const char* id, unsigned long length) {
  if (length == 0 || length > kMaxReleaseId) return false;
  for (unsigned long i = 0; i < length; ++i) {
    const char c = id[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
          (c >= '0' && c <= '9'))) {
      return false;
    }
  }
  return true;
}

bool IsSafeTail(const char* tail, unsigned long length) {
  if (length > kMaxTail) return false;
  for (unsigned long i = 0; i < length; ++i) {
    const char c = tail[i];
    if (c < 0x20 || c > 0x7E) return false;
    switch (c) {
      case '%': case '"': case '<': case '>': case '|': case '&': case '^':
        return false;
      default:
        break;
    }
  }
  return true;
}

bool ParseRelease(const char* text, unsigned long size, Release* release) {
  platform::ZeroFill(release, sizeof *release);
  int ids = 0;
  int tails = 0;
  bool valid = true;
  const char* const end = text + size;
  for (const char* line = text; valid && line < end;) {
    const char* eol = line;
    while (eol < end && *eol != '\n') ++eol;
    const char* next = eol < end ? eol + 1 : eol;
    // A CR belongs to the line end only right before its LF.
    if (eol < end && eol > line && eol[-1] == '\r') --eol;
    const char* value = nullptr;
    if (Field(line, eol, "release=", &value)) {
      valid = ++ids == 1 &&
              IsReleaseId(value, static_cast<unsigned long>(eol - value));
      if (valid) Take(release->id, value, eol);
    } else if (Field(line, eol, "tail=", &value)) {
      valid = ++tails == 1 &&
              IsSafeTail(value, static_cast<unsigned long>(eol - value));
      if (valid) Take(release->tail, value, eol);
    }
    line = next;
  }
  if (valid && ids == 1 && tails == 1) return true;
  platform::ZeroFill(release, sizeof *release);
  return false;
}

}  // namespace kit
