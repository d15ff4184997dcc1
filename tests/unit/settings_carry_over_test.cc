#include <gtest/gtest.h>

#include "settings/settings.h"
#include "settings_test_support.h"

namespace {

using namespace settings_test;
using Values = std::map<std::string, Data>;

const std::string kGina = "GinaInstallOption";
const std::string kSilent = "SilentLeapOption";
const std::string kXR = "XRStatus";
const std::string kWMode = "wModeSelect";

const std::string k49(49, 'a');
const std::string k50(50, 'b');

Data Raw(unsigned long type, const std::string& bytes) { return {type, bytes}; }

struct CarryCase {
  const char* label;
  KeyState settings_before, legacy_before, settings_after, legacy_after;
};

const CarryCase kCombined[] = {
    {"neither key", std::nullopt, std::nullopt,
     Values{{kGina, Sz("0")}, {kXR, Sz("0")}}, std::nullopt},
    {"legacy only", std::nullopt,
     Values{{kGina, Sz("1")}, {kSilent, Sz("1")}, {kWMode, Dword(12)}},
     Values{{kGina, Sz("1")},
            {kSilent, Sz("1")},
            {kXR, Sz("0")},
            {kWMode, Dword(12)}},
     Values{}},
    {"settings gina wins", Values{{kGina, Sz("0")}}, Values{{kGina, Sz("1")}},
     Values{{kGina, Sz("0")}, {kXR, Sz("0")}}, Values{{kGina, Sz("1")}}},
    {"legacy silent leap wins", Values{{kSilent, Sz("0")}},
     Values{{kSilent, Sz("1")}},
     Values{{kSilent, Sz("1")}, {kGina, Sz("0")}, {kXR, Sz("0")}}, Values{}},
    {"settings complete", Values{{kGina, Sz("1")}, {kXR, Sz("1")}},
     std::nullopt, Values{{kGina, Sz("1")}, {kXR, Sz("1")}}, std::nullopt},
    {"legacy wmode wins", Values{{kWMode, Dword(4)}},
     Values{{kWMode, Dword(13)}},
     Values{{kWMode, Dword(13)}, {kGina, Sz("0")}, {kXR, Sz("0")}}, Values{}},
};

TEST(CarryOverSettings, CombinedEffectAndSecondRun) {
  for (const CarryCase& c : kCombined) {
    SCOPED_TRACE(c.label);
    memory::Reset();
    Arrange(kMachine, kSet, c.settings_before);
    Arrange(kMachine, kOld, c.legacy_before);
    for (int run = 1; run <= 2; ++run) {
      SCOPED_TRACE(run);
      settings::CarryOverSettings();
      EXPECT_EQ(Snapshot(kMachine, kSet), c.settings_after);
      EXPECT_EQ(Snapshot(kMachine, kOld), c.legacy_after);  // never created
      EXPECT_EQ(memory::OpenHandles(), 0);
    }
  }
}

// Settings key missing, one legacy GinaInstallOption: what the carry-over
// step and its update variant leave.
struct LegacyGinaCase {
  const char* label;
  Data legacy;
  bool ensure_moves;         // EnsureGinaInstallOption moves it
  std::optional<Data> moved;  // what arrives when moved; nullopt: unreadable
};

const LegacyGinaCase kLegacyGina[] = {
    {"one", Sz("1"), false, Sz("1")},
    {"one as expand_sz", Raw(platform::kRegExpandSz, std::string("1\0", 2)),
     false, Sz("1")},
    {"zero", Sz("0"), true, Sz("0")},
    {"leading zero", Sz("01"), true, Sz("01")},
    {"trailing blank", Sz("1 "), true, Sz("1 ")},
    {"49 characters", Sz(k49), true, Sz(k49)},
    {"50 characters", Sz(k50), false, std::nullopt},
    {"50 bytes, no terminator", Raw(platform::kRegSz, k50), true,
     Sz(k50.substr(0, 49))},
};

TEST(EnsureGinaInstallOption, AgainstUpdateVariantWithLegacyValue) {
  for (const LegacyGinaCase& c : kLegacyGina) {
    for (const bool update : {false, true}) {
      SCOPED_TRACE(std::string(c.label) + (update ? " / update" : ""));
      memory::Reset();
      Put(kMachine, kOld, kGina, c.legacy);
      update ? settings::EnsureGinaInstallOptionForUpdate()
             : settings::EnsureGinaInstallOption();
      const bool moves = c.moved && (update || c.ensure_moves);
      if (moves) {
        EXPECT_EQ(Get(kMachine, kSet, kGina), c.moved);
        EXPECT_EQ(Get(kMachine, kOld, kGina), std::nullopt);
      } else if (!c.moved) {  // unreadable: default, legacy untouched
        EXPECT_EQ(Get(kMachine, kSet, kGina), Sz("0"));
        EXPECT_EQ(Get(kMachine, kOld, kGina), c.legacy);
      } else {  // a legacy "1" left in place, nothing written
        EXPECT_FALSE(memory::HasKey(kMachine, kSet));
        EXPECT_EQ(Get(kMachine, kOld, kGina), c.legacy);
      }
      EXPECT_EQ(memory::OpenHandles(), 0);
    }
  }
}

// A readable settings value is written back as REG_SZ with its own length;
// an unreadable one counts as missing.
struct SettingsGinaCase {
  const char* label;
  Data before;
  Data after;
};

const SettingsGinaCase kSettingsGina[] = {
    {"one", Sz("1"), Sz("1")},
    {"expand_sz zero", Raw(platform::kRegExpandSz, std::string("0\0", 2)),
     Sz("0")},
    {"zero without terminator", Raw(platform::kRegSz, "0"), Sz("0")},
    {"text after the first zero", Raw(platform::kRegSz, std::string("0\0x", 3)),
     Sz("0")},
    {"49 characters", Sz(k49), Sz(k49)},
    {"50 bytes, no terminator", Raw(platform::kRegSz, k50),
     Sz(k50.substr(0, 49))},
    {"50 characters", Sz(k50), Sz("0")},
};

TEST(EnsureGinaInstallOption, SettingsValueNormalisedOrDefaulted) {
  for (const SettingsGinaCase& c : kSettingsGina) {
    for (const bool update : {false, true}) {
      SCOPED_TRACE(std::string(c.label) + (update ? " / update" : ""));
      memory::Reset();
      Put(kMachine, kSet, kGina, c.before);
      update ? settings::EnsureGinaInstallOptionForUpdate()
             : settings::EnsureGinaInstallOption();
      EXPECT_EQ(Snapshot(kMachine, kSet), KeyState(Values{{kGina, c.after}}));
      EXPECT_FALSE(memory::HasKey(kMachine, kOld));
      EXPECT_EQ(memory::OpenHandles(), 0);
    }
  }
}

TEST(EnsureGinaInstallOption, SettingsOneIsNotWrittenAgain) {
  memory::Reset();
  Put(kMachine, kSet, kGina, Sz("1"));
  Put(kMachine, kOld, kGina, Sz("0"));
  settings::EnsureGinaInstallOption();
  EXPECT_TRUE(memory::RegistryWrites().empty());
}

TEST(MoveGinaInstallOption, MovesOnlyWhenSettingsHasNoReadableValue) {
  struct Case {
    const char* label;
    std::optional<Data> settings_before;
    bool moves;
  } const cases[] = {
      {"settings missing", std::nullopt, true},
      {"settings zero", Sz("0"), false},
      {"settings too long", Sz(k50), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    memory::Reset();
    if (c.settings_before) Put(kMachine, kSet, kGina, *c.settings_before);
    Put(kMachine, kOld, kGina, Sz("1"));
    settings::MoveGinaInstallOption();
    EXPECT_EQ(Get(kMachine, kSet, kGina),
              c.moves ? Sz("1") : *c.settings_before);
    EXPECT_EQ(Get(kMachine, kOld, kGina),
              c.moves ? std::nullopt : std::optional<Data>(Sz("1")));
  }
}

TEST(MoveWModeSelect, FourBytesAsDwordWhateverTheStoredType) {
  struct Case {
    const char* label;
    Data legacy;
    std::optional<Data> arrives;  // nullopt: unreadable, nothing moves
  } const cases[] = {
      {"dword 12", Dword(12), Dword(12)},
      {"two bytes", Raw(platform::kRegBinary, "\x0C\x01"),
       Raw(platform::kRegDword, std::string("\x0C\x01\0\0", 4))},
      {"text", Sz("12"), Raw(platform::kRegDword, std::string("12\0\0", 4))},
      {"five bytes", Raw(platform::kRegBinary, "12345"), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    memory::Reset();
    Put(kMachine, kSet, kWMode, Dword(4));
    Put(kMachine, kOld, kWMode, c.legacy);
    settings::MoveWModeSelect();
    EXPECT_EQ(Get(kMachine, kSet, kWMode), c.arrives.value_or(Dword(4)));
    EXPECT_EQ(Get(kMachine, kOld, kWMode),
              c.arrives ? std::nullopt : std::optional<Data>(c.legacy));
  }
}

TEST(EnsureXRStatus, ReadableValueUntouchedElseDefault) {
  struct Case {
    const char* label;
    std::optional<Data> before;
    bool writes_default;
  } const cases[] = {
      {"one", Sz("1"), false},
      {"zero", Sz("0"), false},
      {"other text", Sz("enabled"), false},
      {"49 characters", Sz(k49), false},
      {"missing", std::nullopt, true},
      {"50 characters", Sz(k50), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    memory::Reset();
    memory::PutKey(kMachine, kSet);
    if (c.before) Put(kMachine, kSet, "xrSTATUS", *c.before);
    settings::EnsureXRStatus();
    if (c.writes_default) {
      const auto writes = memory::RegistryWrites();
      ASSERT_EQ(writes.size(), 1u);
      EXPECT_EQ(writes[0], "set HKLM\\" + kSet + ":XRStatus");
      EXPECT_EQ(Get(kMachine, kSet, kXR), Sz("0"));
    } else {
      EXPECT_TRUE(memory::RegistryWrites().empty());
    }
    EXPECT_EQ(memory::ValueNames(kMachine, kSet).size(), 1u);
    EXPECT_EQ(memory::OpenHandles(), 0);
  }
}

}  // namespace
