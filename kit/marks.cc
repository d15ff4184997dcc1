#include "kit/marks.h"

#include "kit/commands.h"
#include "kit/release_record.h"
#include "platform/platform.h"

namespace kit {

bool HasMark(const char* value, const char* id) {
  platform::ScopedKey key;
  if (platform::OpenKey(platform::Root::kLocalMachine, kMarksKey,
                        platform::kKeyRead, key.Receive()) != platform::kSuccess) {
    return false;
  }
  char stored[kMaxReleaseId + 1];
  unsigned long size = sizeof stored;
  if (platform::QueryValue(key.get(), value, stored, &size) != platform::kSuccess ||
      size == 0 || stored[size - 1] != 0) {
    return false;
  }
  if (!IsReleaseId(stored, size - 1)) return false;
  // Exactly: ids that differ in letter case are different releases.
  for (unsigned long i = 0; i < size; ++i) {
    if (stored[i] != id[i]) return false;
  }
  return true;
}

bool WriteMark(const char* value, const char* id) {
  platform::ScopedKey key;
  if (platform::CreateKey(platform::Root::kLocalMachine, kMarksKey,
                          key.Receive()) != platform::kSuccess) {
    return false;
  }
  return platform::SetValue(key.get(), value, platform::kRegSz, id,
                            platform::Length(id) + 1) == platform::kSuccess;
}

int MarkCommand(const char* which, const char* id) {
  const char* value = platform::CompareNoCase(which, "started") == 0 ? kStartedValue
                      : platform::CompareNoCase(which, "done") == 0  ? kDoneValue
                                                                     : nullptr;
  if (value == nullptr) return Fail("mark: started or done, not ", which);
  if (!IsReleaseId(id, platform::Length(id))) {
    return Fail("mark: not a release id: ", id);
  }
  if (!WriteMark(value, id)) {
    return Fail("mark: cannot write HKEY_LOCAL_MACHINE\\", kMarksKey);
  }
  return 0;
}

}  // namespace kit
