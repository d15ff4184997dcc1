#include <gtest/gtest.h>

#include "settings/settings.h"
#include "settings_test_support.h"

namespace {

using namespace settings_test;
using Values = std::map<std::string, Data>;

struct SetterCase {
  const char* label;
  void (*run)();
  const char* stored_name;  // spelling the setter writes
  Data data;
};

const SetterCase kSetters[] = {
    {"gina", settings::SetGinaInstallOption, "GinaInstallOption", Sz("1")},
    {"silent leap", settings::SetSilentLeapOption, "SilentLeapOption",
     Sz("1")},
    {"xr", settings::SetXRStatus, "XRstatus", Sz("1")},
    {"wm=4", [] { settings::SetWModeSelect(4); }, "wModeSelect",
     {platform::kRegDword, std::string("\x04\0\0\0", 4)}},
    {"wm=12", [] { settings::SetWModeSelect(12); }, "wModeSelect",
     {platform::kRegDword, std::string("\x0C\0\0\0", 4)}},
    {"wm=13", [] { settings::SetWModeSelect(13); }, "wModeSelect",
     {platform::kRegDword, std::string("\x0D\0\0\0", 4)}},
};

TEST(Setters, CreateTheKeyAndWriteExactlyOneValue) {
  for (const SetterCase& c : kSetters) {
    SCOPED_TRACE(c.label);
    memory::Reset();
    c.run();
    const KeyState expected = Values{{c.stored_name, c.data}};
    EXPECT_EQ(Snapshot(kMachine, kSet), expected);
    c.run();  // a second call leaves the same single value
    EXPECT_EQ(Snapshot(kMachine, kSet), expected);
    EXPECT_EQ(memory::OpenHandles(), 0);
  }
}

TEST(Setters, ReplaceAValueOfAnotherTypeOrData) {
  for (const SetterCase& c : kSetters) {
    SCOPED_TRACE(c.label);
    memory::Reset();
    Put(kMachine, kSet, c.stored_name, {platform::kRegBinary, "0123456789"});
    Put(kMachine, kSet, "Other", Sz("kept"));
    c.run();
    EXPECT_EQ(Snapshot(kMachine, kSet),
              KeyState(Values{{c.stored_name, c.data}, {"Other", Sz("kept")}}));
  }
}

TEST(Setters, XRstatusAndXRStatusAreOneValue) {
  memory::Reset();
  Put(kMachine, kSet, "XRStatus", Sz("0"));
  settings::SetXRStatus();
  EXPECT_EQ(Snapshot(kMachine, kSet), KeyState(Values{{"XRStatus", Sz("1")}}));
  const auto writes = memory::RegistryWrites();
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0], "set HKLM\\" + kSet + ":XRstatus");
}

TEST(Setters, WithoutRightsWriteNothing) {
  for (const SetterCase& c : kSetters) {
    SCOPED_TRACE(c.label);
    memory::Reset();
    Put(kMachine, kSet, c.stored_name, Sz("before"));
    memory::DenyWrite(kMachine, "");
    c.run();
    EXPECT_TRUE(memory::RegistryWrites().empty());
    EXPECT_EQ(Get(kMachine, kSet, c.stored_name), Sz("before"));
    EXPECT_EQ(memory::OpenHandles(), 0);
  }
}

}  // namespace
