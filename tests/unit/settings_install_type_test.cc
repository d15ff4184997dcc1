#include <gtest/gtest.h>

#include "settings/settings.h"
#include "settings_test_support.h"

namespace {

using namespace settings_test;
using Values = std::map<std::string, Data>;

const std::string kOption = "InstallOption";
const std::string kDriverOnly = "Install Driver Only";

Values Option(const Data& data) { return Values{{kOption, data}}; }

struct Case {
  const char* label;
  KeyState machine_before, user_before;
  bool machine_denied;  // a user without write rights under HKLM
  int answer;
  KeyState machine_after, user_after;
};

const Data kIdo = Sz(kDriverOnly);
const Data k49 = Sz(std::string(49, 'x'));
const Data k50 = Sz(std::string(50, 'x'));
const Data k50Bare = {platform::kRegSz, std::string(50, 'x')};

const Case kCases[] = {
    {"machine driver only", Option(kIdo), std::nullopt, false, 0,
     Option(kIdo), std::nullopt},
    {"machine driver only, expand_sz",
     Option({platform::kRegExpandSz, kIdo.second}), std::nullopt, false, 0,
     Option({platform::kRegExpandSz, kIdo.second}), std::nullopt},
    {"machine driver only, no terminator",
     Option({platform::kRegSz, kDriverOnly}), std::nullopt, false, 0,
     Option({platform::kRegSz, kDriverOnly}), std::nullopt},
    {"other case", Option(Sz("install driver only")), std::nullopt, false, 1,
     Option(Sz("install driver only")), std::nullopt},
    {"trailing blank", Option(Sz(kDriverOnly + " ")), std::nullopt, false, 1,
     Option(Sz(kDriverOnly + " ")), std::nullopt},
    {"prefix only", Option(Sz("Install Driver")), std::nullopt, false, 1,
     Option(Sz("Install Driver")), std::nullopt},
    {"machine key without value; user not consulted", Values{}, Option(kIdo),
     false, 1, Values{}, Option(kIdo)},
    {"user only: moved", std::nullopt, Option(kIdo), false, 0, Option(kIdo),
     Values{}},
    {"user key without value: empty text", std::nullopt, Values{}, false, 1,
     Option(Sz("")), Values{}},
    {"user 49 characters: moved", std::nullopt, Option(k49), false, 1,
     Option(k49), Values{}},
    {"user 50 bytes without terminator: moved as 49 characters", std::nullopt,
     Option(k50Bare), false, 1, Option(k49), Values{}},
    {"user too long: left alone", std::nullopt, Option(k50), false, 1,
     std::nullopt, Option(k50)},
    {"no key anywhere", std::nullopt, std::nullopt, false, 1, std::nullopt,
     std::nullopt},
    {"machine not writable, no user key", Option(kIdo), std::nullopt, true, 1,
     Option(kIdo), std::nullopt},
    {"machine not writable: answers from user, loses nothing", std::nullopt,
     Option(kIdo), true, 0, std::nullopt, Option(kIdo)},
    {"machine not writable, user empty key", std::nullopt, Values{}, true, 1,
     std::nullopt, Values{}},
};

TEST(IsFullInstall, Cases) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.label);
    memory::Reset();
    Arrange(kMachine, kInst, c.machine_before);
    Arrange(kUser, kInst, c.user_before);
    if (c.machine_denied) memory::DenyWrite(kMachine, "");
    EXPECT_EQ(settings::IsFullInstall(), c.answer);
    EXPECT_EQ(Snapshot(kMachine, kInst), c.machine_after);
    EXPECT_EQ(Snapshot(kUser, kInst), c.user_after);
    EXPECT_EQ(memory::OpenHandles(), 0);
  }
}

TEST(IsFullInstall, LaterQueriesReadTheMovedValue) {
  memory::Reset();
  Put(kUser, kInst, kOption, kIdo);
  EXPECT_EQ(settings::IsFullInstall(), 0);
  const auto writes = memory::RegistryWrites();
  EXPECT_EQ(settings::IsFullInstall(), 0);
  EXPECT_EQ(memory::RegistryWrites(), writes);  // the second one only reads
}

}  // namespace
