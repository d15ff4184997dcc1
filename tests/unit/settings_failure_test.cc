// The settings procedures under missing rights and injected failures: every
// handle is closed and no setting is lost on any path.
#include <gtest/gtest.h>

#include "settings/settings.h"
#include "settings_test_support.h"

namespace {

using namespace settings_test;
using Values = std::map<std::string, Data>;

struct Procedure {
  const char* label;
  void (*run)();
  // False for the whole carry-over: when a later step's read is made to
  // fail, its default may replace what an earlier step moved, as a missing
  // value would be replaced.
  bool single_step = true;
};

const Procedure kProcedures[] = {
    {"SetGinaInstallOption", settings::SetGinaInstallOption},
    {"SetSilentLeapOption", settings::SetSilentLeapOption},
    {"SetXRStatus", settings::SetXRStatus},
    {"SetWModeSelect", [] { settings::SetWModeSelect(12); }},
    {"MoveGinaInstallOption", settings::MoveGinaInstallOption},
    {"EnsureGinaInstallOption", settings::EnsureGinaInstallOption},
    {"MoveSilentLeapOption", settings::MoveSilentLeapOption},
    {"EnsureXRStatus", settings::EnsureXRStatus},
    {"MoveWModeSelect", settings::MoveWModeSelect},
    {"CarryOverSettings", settings::CarryOverSettings, false},
    {"EnsureGinaInstallOptionForUpdate",
     settings::EnsureGinaInstallOptionForUpdate},
    {"IsFullInstall", [] { (void)settings::IsFullInstall(); }},
};

// Starting states that between them take every branch of every procedure.
struct World {
  const char* label;
  KeyState settings, legacy, machine_installer, user_installer;
};

const World kWorlds[] = {
    {"empty", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    {"legacy to move, user install option",
     std::nullopt,
     Values{{"GinaInstallOption", Sz("0")},
            {"SilentLeapOption", Sz("1")},
            {"wModeSelect", Dword(13)}},
     std::nullopt, Values{{"InstallOption", Sz("Install Driver Only")}}},
    {"settings to normalise, legacy one",
     Values{{"GinaInstallOption", {platform::kRegExpandSz, std::string("0\0", 2)}},
            {"XRStatus", Sz(std::string(60, 'x'))}},
     Values{{"GinaInstallOption", Sz("1")}}, Values{{"InstallOption", Sz("")}},
     std::nullopt},
    {"legacy one, user key without value", std::nullopt,
     Values{{"GinaInstallOption", Sz("1")}}, std::nullopt, Values{}},
};

void Arrange(const World& w) {
  memory::Reset();
  settings_test::Arrange(kMachine, kSet, w.settings);
  settings_test::Arrange(kMachine, kOld, w.legacy);
  settings_test::Arrange(kMachine, kInst, w.machine_installer);
  settings_test::Arrange(kUser, kInst, w.user_installer);
}

// Every value that was in the legacy key or the user's installer key is
// still there, or has arrived unchanged in its target key.
void ExpectNothingLost(const World& w) {
  const auto kept = [](Root from_root, const std::string& from,
                       const std::string& to, const KeyState& before) {
    if (!before) return;
    for (const auto& [name, data] : *before) {
      SCOPED_TRACE(name);
      if (Get(from_root, from, name) == data) continue;
      ASSERT_TRUE(Get(kMachine, to, name).has_value());
      const Data arrived = *Get(kMachine, to, name);
      // A moved wModeSelect arrives as four bytes of REG_DWORD, text as REG_SZ.
      EXPECT_EQ(arrived.second, data.second);
    }
  };
  kept(kMachine, kOld, kSet, w.legacy);
  kept(kUser, kInst, kInst, w.user_installer);
}

TEST(SettingsFailures, InjectedFailureAtEveryCall) {
  for (const World& w : kWorlds) {
    for (const Procedure& p : kProcedures) {
      SCOPED_TRACE(std::string(w.label) + " / " + p.label);
      Arrange(w);
      p.run();
      const int calls = memory::FallibleCalls();
      ASSERT_GT(calls, 0);
      for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE(n);
        Arrange(w);
        memory::FailCall(n);
        p.run();
        EXPECT_EQ(memory::OpenHandles(), 0);
        if (p.single_step) ExpectNothingLost(w);
      }
    }
  }
}

TEST(SettingsFailures, WithoutRightsNothingIsWrittenOrLost) {
  for (const World& w : kWorlds) {
    SCOPED_TRACE(w.label);
    Arrange(w);
    memory::DenyWrite(kMachine, "");
    for (const Procedure& p : kProcedures) p.run();
    EXPECT_TRUE(memory::RegistryWrites().empty());
    EXPECT_EQ(Snapshot(kMachine, kSet), w.settings);
    EXPECT_EQ(Snapshot(kMachine, kOld), w.legacy);
    EXPECT_EQ(Snapshot(kMachine, kInst), w.machine_installer);
    EXPECT_EQ(Snapshot(kUser, kInst), w.user_installer);
    EXPECT_EQ(memory::OpenHandles(), 0);
  }
}

// The legacy key is writable but the settings key cannot be created: the
// moves keep their source values.
TEST(SettingsFailures, UnwritableSettingsKeyKeepsLegacyValues) {
  const World& w = kWorlds[1];
  for (const Procedure& p : kProcedures) {
    SCOPED_TRACE(p.label);
    Arrange(w);
    memory::DenyWrite(kMachine, "SOFTWARE\\Corvane\\NLX");
    p.run();
    EXPECT_EQ(Snapshot(kMachine, kOld), w.legacy);
    EXPECT_FALSE(memory::HasKey(kMachine, kSet));
    EXPECT_EQ(memory::OpenHandles(), 0);
  }
}

}  // namespace
