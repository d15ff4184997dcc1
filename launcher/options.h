// The fixed table of option strings the launcher accepts.
#pragma once

namespace launcher {

constexpr int kNoOption = 0;
constexpr int kOptionCount = 44;

// The option string of number 1..44.
const char* OptionString(int number);
// The whole tail compared with every entry, ASCII case-insensitive; the
// number of the entry that matches, or kNoOption.
int ResolveOption(const char* tail);
// The eight "/wbs" options: 2, 4, ..., 16.
bool IsWriteBlockSizeOption(int number);

}  // namespace launcher
