// Version dispatch against the in-memory platform and the settings store.
#include "launcher/dispatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "launcher/options.h"
#include "launcher/staging.h"
#include "platform/memory_testing.h"
#include "platform/platform.h"
#include "settings/layout.h"

namespace {

using launcher::Family;
using launcher::State;
using platform::Root;

const std::string kStaging = "C:\\WINDOWS\\system32\\SilentSetup";
const std::string kProgram = kStaging + "\\setup.exe";
const std::string kResponse = kStaging + "\\setup.iss";

constexpr unsigned long kWord9x = 0xC0000A04;    // 98: 4.10, high bit
constexpr unsigned long kWord2000 = 0x08930005;  // 5.0
constexpr unsigned long kWordXP = 0x0A280105;    // 5.1
constexpr unsigned long kWordOther = 0x0ECE0205;  // 5.2

const char* const kResponseFiles[] = {
    "SI1", "SI2", "SI3", "SI1XP", "SI3XP", "SI4XP", "SI5XP",
    "SUPDATE", "SUPDATEDA", "SUNINSTALL", "SUNINSTALLDA",
};

// The package in C:\Pkg with every response file; each response file holds
// its own key, so the staged "\setup.iss" tells which one was chosen.
State StagedPackage(unsigned long version_word,
                    const std::string& missing = "") {
  memory::SetVersion(version_word);
  memory::PutFile("C:\\Pkg\\data3.cab\\setup.iss", "program");
  for (const char* key : kResponseFiles) {
    if (key == missing) continue;
    memory::PutFile(std::string("C:\\Pkg\\data3.cab\\") + key + ".iss", key);
  }
  State state;
  platform::ZeroFill(&state, sizeof state);
  launcher::FindSourceFolder(state, "C:\\Pkg\\launcher.exe");
  launcher::StagePackage(state);
  return state;
}

// Key of the staged response file, "" when none.
std::string StagedResponse() {
  return memory::HasFile(kResponse) ? memory::FileContents(kResponse) : "";
}

std::optional<std::string> Setting(const char* name) {
  auto value = memory::GetValue(Root::kLocalMachine, settings::kSettingsKey, name);
  if (!value) return std::nullopt;
  return std::string(value->data.c_str());  // up to the terminator
}

std::optional<uint32_t> WModeSelect() {
  auto value = memory::GetValue(Root::kLocalMachine, settings::kSettingsKey,
                              settings::kWModeSelect);
  if (!value || value->type != platform::kRegDword || value->data.size() != 4) {
    return std::nullopt;
  }
  uint32_t number = 0;
  for (int i = 3; i >= 0; --i) {
    number = number << 8 | static_cast<unsigned char>(value->data[i]);
  }
  return number;
}

int GinaWrites() {
  int count = 0;
  const std::string suffix = std::string(":") + settings::kGinaInstallOption;
  for (const std::string& line : memory::RegistryWrites()) {
    if (line.rfind("set ", 0) == 0 && line.size() >= suffix.size() &&
        line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0) {
      ++count;
    }
  }
  return count;
}

// What a row asks for, read off the option string itself rather than from
// a copy of the dispatch table.
struct Expected {
  bool gina = false, silent_leap = false, xr = false, update_step = false;
  uint32_t mode = 0;
  std::string response;  // "" for a plain start
};

Expected Expect(Family family, int option) {
  Expected e;
  const std::string text =
      option == launcher::kNoOption ? "<none>" : launcher::OptionString(option);
  auto has = [&](const char* word) { return text.find(word) != std::string::npos; };
  const bool xp = family == Family::kWindowsXP;
  if (family == Family::kWindows9x) {
    if (text == "/S /I1") e.response = "SI1";
    if (text == "/S /I2") e.response = "SI2";
    if (text == "/S /I3") e.response = "SI3";
    if (text == "/S /UPDATE") e.response = "SUPDATE";
    if (text == "/S /UNINSTALL") e.response = "SUNINSTALL";
    return e;
  }
  e.gina = has("-gina");
  e.silent_leap = has("-sl");
  e.xr = has("-XR");
  e.mode = has("-wm=4") ? 4 : has("-wm=12") ? 12 : has("-wm=13") ? 13 : 0;
  e.update_step = has("/S /UPDATE") && !e.gina;
  if (has("/S /I1")) e.response = xp ? "SI1XP" : "SI1";
  if (has("/S /I2")) e.response = "SI2";
  if (has("/S /I3")) e.response = xp ? "SI3XP" : "SI3";
  if (has("/S /I4") && xp) e.response = "SI4XP";
  if (has("/S /I5") && xp) e.response = "SI5XP";
  if (has("/S /UPDATE")) e.response = "SUPDATE";
  if (has("/S /UNINSTALL")) e.response = "SUNINSTALL";
  return e;
}

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override { memory::Reset(); }
};

TEST_F(DispatchTest, ClassifiesTheVersionWord) {
  const struct {
    unsigned long word;
    Family family;
  } cases[] = {
      {kWord9x, Family::kWindows9x},
      {0x80000000, Family::kWindows9x},
      {0xC0000005, Family::kWindows9x},  // high bit wins over 5.0
      {0xFFFFFFFF, Family::kWindows9x},
      {kWord2000, Family::kWindows2000},
      {0x00000005, Family::kWindows2000},
      {kWordXP, Family::kWindowsXP},
      {0x7FFF0105, Family::kWindowsXP},
      {0x05650004, Family::kOther},  // NT 4.0
      {kWordOther, Family::kOther},  // 5.2
      {0x00000205, Family::kOther},
      {0x1DB00106, Family::kOther},  // 6.1
      {0x7FFFFFFF, Family::kOther},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.family, launcher::ClassifyFamily(c.word)) << std::hex << c.word;
  }
}

// Every family with every option number and none: settings written, the
// response file staged and the command started.
TEST_F(DispatchTest, EveryFamilyAndOption) {
  const struct {
    const char* name;
    unsigned long word;
    Family family;
  } families[] = {
      {"9x", kWord9x, Family::kWindows9x},
      {"2000", kWord2000, Family::kWindows2000},
      {"XP", kWordXP, Family::kWindowsXP},
      {"other", kWordOther, Family::kOther},
  };
  for (const auto& f : families) {
    for (int option = launcher::kNoOption; option <= launcher::kOptionCount;
         ++option) {
      SCOPED_TRACE(std::string(f.name) + " option " + std::to_string(option));
      memory::Reset();
      State state = StagedPackage(f.word);

      const bool started = launcher::Dispatch(state, option);

      if (f.family == Family::kOther) {
        EXPECT_FALSE(started);
        EXPECT_TRUE(memory::Starts().empty());
        EXPECT_TRUE(memory::RegistryWrites().empty());
        EXPECT_EQ("", StagedResponse());
        continue;
      }
      const Expected e = Expect(f.family, option);
      EXPECT_TRUE(started);
      EXPECT_EQ(e.response, StagedResponse());
      ASSERT_EQ(1u, memory::Starts().size());
      EXPECT_EQ(kProgram, memory::Starts()[0].application);
      EXPECT_EQ("\"" + kProgram + "\"" + (e.response.empty() ? "" : " /s"),
                memory::Starts()[0].command);

      if (f.family == Family::kWindows9x) {
        EXPECT_TRUE(memory::RegistryWrites().empty());
        continue;
      }
      // The carry-over ran: its defaults are there whatever the option.
      EXPECT_EQ(e.gina ? "1" : "0", Setting(settings::kGinaInstallOption));
      EXPECT_EQ(e.xr ? "1" : "0", Setting(settings::kXRStatus));
      EXPECT_EQ(e.silent_leap ? std::optional<std::string>("1") : std::nullopt,
                Setting(settings::kSilentLeapOption));
      EXPECT_EQ(e.mode ? std::optional<uint32_t>(e.mode) : std::nullopt,
                WModeSelect());
      // Carry-over default, then the setter or the update step (which
      // writes the "0" back) on top.
      EXPECT_EQ(1 + e.gina + e.update_step, GinaWrites());
    }
  }
}

TEST_F(DispatchTest, UpdateAndUninstallFollowTheInstallType) {
  const struct {
    unsigned long word;
    int option;
    const char* full;
    const char* driver_only;
  } cases[] = {
      {kWordXP, 13, "SUPDATE", "SUPDATEDA"},
      {kWord2000, 14, "SUPDATE", "SUPDATEDA"},
      {kWordXP, 35, "SUPDATE", "SUPDATEDA"},
      {kWord9x, 13, "SUPDATE", "SUPDATEDA"},
      {kWordXP, 15, "SUNINSTALL", "SUNINSTALLDA"},
      {kWord2000, 16, "SUNINSTALL", "SUNINSTALLDA"},
      {kWord9x, 15, "SUNINSTALL", "SUNINSTALLDA"},
  };
  for (const auto& c : cases) {
    for (bool driver_only : {false, true}) {
      SCOPED_TRACE(std::to_string(c.option) + (driver_only ? " driver" : " full"));
      memory::Reset();
      memory::PutString(Root::kLocalMachine, settings::kInstallerKey,
                      settings::kInstallOption,
                      driver_only ? settings::kDriverOnly : "Full");
      State state = StagedPackage(c.word);
      EXPECT_TRUE(launcher::Dispatch(state, c.option));
      EXPECT_EQ(driver_only ? c.driver_only : c.full, StagedResponse());
    }
  }
}

TEST_F(DispatchTest, MissingResponseFileStillStartsSilently) {
  State state = StagedPackage(kWordXP, "SI1XP");
  EXPECT_TRUE(launcher::Dispatch(state, 3));
  EXPECT_FALSE(memory::HasFile(kResponse));
  ASSERT_EQ(1u, memory::Starts().size());
  EXPECT_EQ("\"" + kProgram + "\" /s", memory::Starts()[0].command);
}

TEST_F(DispatchTest, ReportsWhetherTheSetupStarted) {
  State state = StagedPackage(kWordXP);
  memory::SetStartSucceeds(false);
  EXPECT_FALSE(launcher::Dispatch(state, 3));
  EXPECT_EQ(1u, memory::Starts().size());  // attempted all the same
}

// A staging folder of 486 characters: the plain command takes 498, the
// silent one 501, more than the buffer holds.
TEST_F(DispatchTest, CommandThatDoesNotFitStartsNothing) {
  for (int option : {1, 3}) {
    SCOPED_TRACE(option);
    memory::Reset();
    State state;
    platform::ZeroFill(&state, sizeof state);
    const std::string folder = "C:\\" + std::string(483, 's');
    ASSERT_TRUE(platform::Compose(state.staging_folder, folder.c_str()));
    memory::PutFile(folder + "\\setup.exe", "program");
    const bool started = launcher::Dispatch(state, option);
    EXPECT_EQ(option == 1, started);
    EXPECT_EQ(option == 1 ? 1u : 0u, memory::Starts().size());
  }
}

}  // namespace
