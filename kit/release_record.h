// A machine's release record, KITDIR\REL\<NAME>.TXT: plain ASCII lines
// "release=<id>" and "tail=<tail>" (CR LF or LF), other lines ignored.
// Everything taken from it ends up in a batch file's `set` line, so what
// does not pass the checks here is never used.
#pragma once

namespace kit {

constexpr unsigned long kMaxReleaseId = 8;
constexpr unsigned long kMaxTail = 60;

struct Release {
  char id[kMaxReleaseId + 1];
  char tail[kMaxTail + 1];
};

// 1 to 8 characters, each A-Z, a-z or 0-9.
bool IsReleaseId(const char* id, unsigned long length);
// At most 60 characters of printable ASCII (0x20-0x7E) without the ones a
// batch file would take for something else: % " < > | & ^. May be empty.
bool IsSafeTail(const char* tail, unsigned long length);

// Reads the record's text (size bytes, not terminated). Both lines must be
// there exactly once and pass the checks; false otherwise, with *release
// left empty.
[[nodiscard]] bool ParseRelease(const char* text, unsigned long size,
                                Release* release);

}  // namespace kit
