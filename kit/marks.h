// The machine's own record of a release: the values Started and Done
// (REG_SZ release ids) of the key "Rollout Kit" below
// HKEY_LOCAL_MACHINE\SOFTWARE. Kept on the machine, not on the drop share
// that users can write.
#pragma once

namespace kit {

constexpr const char* kMarksKey = "SOFTWARE\\Rollout Kit";
constexpr const char* kStartedValue = "Started";
constexpr const char* kDoneValue = "Done";

// Whether the value holds exactly this release id.
bool HasMark(const char* value, const char* id);

// Creates the key when missing and sets the value; false on failure.
[[nodiscard]] bool WriteMark(const char* value, const char* id);

}  // namespace kit
