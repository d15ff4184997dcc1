#include "launcher/options.h"

#include "platform/platform.h"

namespace launcher {

namespace {
const char* const kOptions[kOptionCount] = {
    "",                      // 1
    "/wbs",                  // 2
    "/S /I1",                // 3
    "/S /I1 /wbs",           // 4
    "/S /I2",                // 5
    "/S /I2 /wbs",           // 6
    "/S /I3",                // 7
    "/S /I3 /wbs",           // 8
    "/S /I4",                // 9
    "/S /I4 /wbs",           // 10
    "/S /I5",                // 11
    "/S /I5 /wbs",           // 12
    "/S /UPDATE",            // 13
    "/S /UPDATE /wbs",       // 14
    "/S /UNINSTALL",         // 15
    "/S /UNINSTALL /wbs",    // 16
    "-gina",                 // 17
    "-sl",                   // 18
    "-sl /S /I1",            // 19
    "-sl /S /I3",            // 20
    "-gina -sl",             // 21
    "-gina /S /I1",          // 22
    "-gina -sl /S /I1",      // 23
    "-gina /S /I3",          // 24
    "-gina -sl /S /I3",      // 25
    "-wm=4",                 // 26
    "-wm=12",                // 27
    "-wm=13",                // 28
    "-wm=4 /S /I1",          // 29
    "-wm=12 /S /I1",         // 30
    "-wm=13 /S /I1",         // 31
    "-wm=4 /S /I3",          // 32
    "-wm=12 /S /I3",         // 33
    "-wm=13 /S /I3",         // 34
    "-gina /S /UPDATE",      // 35
    "-XR",                   // 36
    "-gina -XR",             // 37
    "-gina -sl -XR",         // 38
    "-XR /S /I1",            // 39
    "-gina -XR /S /I1",      // 40
    "-gina -sl -XR /S /I1",  // 41
    "-XR /S /I3",            // 42
    "-gina -XR /S /I3",      // 43
    "-gina -sl -XR /S /I3",  // 44
};
}  // namespace

const char* OptionString(int number) {
  return (number >= 1 && number <= kOptionCount) ? kOptions[number - 1] : "";
}

int ResolveOption(const char* tail) {
  int result = kNoOption;
  for (int number = 1; number <= kOptionCount; ++number) {
    if (platform::CompareNoCase(tail, kOptions[number - 1]) == 0) {
      result = number;  // no two entries are equal, so the last match is the only one
    }
  }
  return result;
}

bool IsWriteBlockSizeOption(int number) {
  return number >= 2 && number <= 16 && number % 2 == 0;
}

}  // namespace launcher
