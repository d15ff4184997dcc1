#include "kit/machine_name.h"

#include <gtest/gtest.h>

namespace {

TEST(MachineName, AcceptsOnlyShortPlainNamesThatAreNoDevice) {
  const struct {
    const char* name;
    bool valid;
  } cases[] = {
      {"PC042", true},
      {"a", true},
      {"Z9", true},
      {"pc-042_b", true},
      {"ABCDEFGHIJKLMNO", true},    // 15
      {"ABCDEFGHIJKLMNOP", false},  // 16
      {"", false},
      {"PC 042", false},
      {"PC.042", false},
      {"PC%042", false},
      {"PC\\042", false},
      {"PC\xC4" "42", false},  // not ASCII
      {"CON", false},
      {"con", false},
      {"Prn", false},
      {"AUX", false},
      {"nul", false},
      {"COM1", false},
      {"com9", false},
      {"LPT1", false},
      {"Lpt9", false},
      {"COM0", true},  // not a device
      {"COM10", true},
      {"LPT", true},
      {"CONS", true},
      {"NUL1", true},
      {"XCON", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.valid, kit::IsValidMachineName(c.name)) << "'" << c.name << "'";
  }
}

}  // namespace
