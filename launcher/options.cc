#include "launcher/options.h"

#include "platform/platform.h"

namespace launcher {

const OptionRow& Option(int number) {
  return kOptions.rows[(number >= 1 && number <= kOptionCount) ? number
                                                              : kNoOption];
}

const char* OptionString(int number) {
  if (number < 1 || number > kOptionCount) return "";
  const char* text = kOptions.texts;
  for (int n = 1; n < number; ++n) text += platform::Length(text) + 1;
  return text;
}

int ResolveOption(const char* tail) {
  int result = kNoOption;
  const char* text = kOptions.texts;
  for (int number = 1; number <= kOptionCount; ++number) {
    if (platform::CompareNoCase(tail, text) == 0) {
      result = number;  // no two entries are equal, so the last match is the only one
    }
    text += platform::Length(text) + 1;
  }
  return result;
}

bool IsWriteBlockSizeOption(int number) {
  return number >= 2 && number <= 16 && number % 2 == 0;
}

}  // namespace launcher
