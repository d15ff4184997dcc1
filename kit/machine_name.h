// The names the rollout kit accepts for a machine: they become file names
// on the drop share (REL\<NAME>.TXT and the collection folder) and batch
// variables, so only characters that are safe in both. Plain code without
// the platform: the preview applies the same check before it writes
// release records.
#pragma once

namespace kit {

constexpr unsigned long kMaxMachineName = 15;  // a NetBIOS name's length

// 1 to 15 characters, each an ASCII letter, digit, '-' or '_', and not a
// DOS device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9) in any case.
bool IsValidMachineName(const char* name);

}  // namespace kit
