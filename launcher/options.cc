#include "launcher/options.h"

#include "platform/platform.h"

namespace launcher {

extern const OptionRow kOptionTable[kOptionCount + 1];

const OptionRow& Option(int number) {
  return kOptionTable[(number >= 1 && number <= kOptionCount) ? number
                                                              : kNoOption];
}

const char* OptionString(int number) { return Option(number).text; }

int ResolveOption(const char* tail) {
  int result = kNoOption;
  for (int number = 1; number <= kOptionCount; ++number) {
    if (platform::CompareNoCase(tail, kOptionTable[number].text) == 0) {
      result = number;  // no two entries are equal, so the last match is the only one
    }
  }
  return result;
}

bool IsWriteBlockSizeOption(int number) {
  return number >= 2 && number <= 16 && number % 2 == 0;
}

}  // namespace launcher
