// Option resolution: the whole tail against the table of 44, ASCII case
// ignored, nothing trimmed or collapsed.
#include "launcher/options.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

using launcher::kNoOption;
using launcher::ResolveOption;

// Written out independently of the code, so a typo in either shows.
const char* const kTable[launcher::kOptionCount] = {
    "",                  "/wbs",
    "/S /I1",            "/S /I1 /wbs",
    "/S /I2",            "/S /I2 /wbs",
    "/S /I3",            "/S /I3 /wbs",
    "/S /I4",            "/S /I4 /wbs",
    "/S /I5",            "/S /I5 /wbs",
    "/S /UPDATE",        "/S /UPDATE /wbs",
    "/S /UNINSTALL",     "/S /UNINSTALL /wbs",
    "-gina",             "-sl",
    "-sl /S /I1",        "-sl /S /I3",
    "-gina -sl",         "-gina /S /I1",
    "-gina -sl /S /I1",  "-gina /S /I3",
    "-gina -sl /S /I3",  "-wm=4",
    "-wm=12",            "-wm=13",
    "-wm=4 /S /I1",      "-wm=12 /S /I1",
    "-wm=13 /S /I1",     "-wm=4 /S /I3",
    "-wm=12 /S /I3",     "-wm=13 /S /I3",
    "-gina /S /UPDATE",  "-XR",
    "-gina -XR",         "-gina -sl -XR",
    "-XR /S /I1",        "-gina -XR /S /I1",
    "-gina -sl -XR /S /I1", "-XR /S /I3",
    "-gina -XR /S /I3",  "-gina -sl -XR /S /I3",
};

std::string Mapped(const char* text, int (*f)(int)) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(f(static_cast<unsigned char>(c)));
  return out;
}

TEST(ResolveOption, EveryEntryInAnyCase) {
  for (int number = 1; number <= launcher::kOptionCount; ++number) {
    const char* text = kTable[number - 1];
    SCOPED_TRACE(text);
    EXPECT_STREQ(text, launcher::OptionString(number));
    EXPECT_EQ(number, ResolveOption(text));
    EXPECT_EQ(number, ResolveOption(Mapped(text, ::toupper).c_str()));
    EXPECT_EQ(number, ResolveOption(Mapped(text, ::tolower).c_str()));
  }
}

TEST(ResolveOption, MixedCaseAndNearMisses) {
  const struct {
    const char* tail;
    int expected;
  } cases[] = {
      {"/s /I1", 3},
      {"-WM=12 /s /i3", 33},
      {"-xr", 36},
      {"-Gina -SL -xR /s /i3", 44},
      {"/S  /I1", kNoOption},        // two blanks
      {"/S /I1 ", kNoOption},        // trailing blank
      {" /S /I1", kNoOption},        // leading blank
      {"/S\t/I1", kNoOption},        // tab for blank
      {"/I1 /S", kNoOption},         // words swapped
      {"-sl -gina", kNoOption},
      {"/S", kNoOption},
      {"/S /I", kNoOption},
      {"/S /I6", kNoOption},
      {"/S /I0", kNoOption},
      {"-wm=5", kNoOption},
      {"-wm=04", kNoOption},
      {"-wm=4 /S /I2", kNoOption},   // combination not in the table
      {"-sl /S /I2", kNoOption},
      {"-gina /S /UNINSTALL", kNoOption},
      {"-gina /wbs", kNoOption},
      {"/S /I1 /wbs /wbs", kNoOption},
      {"/wbs /S /I1", kNoOption},
      {"/S /I1\x01", kNoOption},
      {"/S /\xC9" "1", kNoOption},   // only A-Z fold: 0xC9 is no 'I'
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tail);
    EXPECT_EQ(c.expected, ResolveOption(c.tail));
  }
}

TEST(OptionTable, WriteBlockSizeOptionsAreTheEvenOnesUpTo16) {
  for (int number = -1; number <= launcher::kOptionCount + 1; ++number) {
    const std::string text = launcher::OptionString(number);
    const bool has_wbs = text.size() >= 4 && text.substr(text.size() - 4) == "/wbs";
    EXPECT_EQ(has_wbs, launcher::IsWriteBlockSizeOption(number)) << number;
  }
  EXPECT_STREQ("", launcher::OptionString(0));
  EXPECT_STREQ("", launcher::OptionString(launcher::kOptionCount + 1));
}

}  // namespace
