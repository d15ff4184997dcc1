// The main sequence from the command-line tail to the end of the run.
#include "launcher/launcher.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/memory_testing.h"
#include "settings/layout.h"

namespace {

using platform::Root;

const std::string kStaging = "C:\\WINDOWS\\system32\\SilentSetup";

class LauncherMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    memory::Reset();
    memory::SetCommandLine("\"C:\\Pkg\\launcher.exe\" -gina /S /I1");
    memory::PutFile("C:\\Pkg\\data3.cab\\setup.iss", "program");
    memory::PutFile("C:\\Pkg\\data3.cab\\SI1XP.iss", "SI1XP");
  }
};

TEST_F(LauncherMainTest, TypicalRunOnXPWaitsForTheSetup) {
  // The setup removes the marker key while the launcher sleeps.
  memory::SetSleepHook([](unsigned long) {
    memory::RemoveKey(Root::kLocalMachine, launcher::kMarkerKeyPath);
  });
  EXPECT_EQ(0, launcher::LauncherMain("-gina /S /I1"));
  EXPECT_EQ("program", memory::FileContents(kStaging + "\\setup.exe"));
  EXPECT_EQ("SI1XP", memory::FileContents(kStaging + "\\setup.iss"));
  ASSERT_EQ(1u, memory::Starts().size());
  EXPECT_EQ("\"" + kStaging + "\\setup.exe\" /s", memory::Starts()[0].command);
  auto gina = memory::GetValue(Root::kLocalMachine, settings::kSettingsKey,
                             settings::kGinaInstallOption);
  ASSERT_TRUE(gina.has_value());
  EXPECT_EQ(std::string("1", 2), gina->data);
  EXPECT_EQ(1, memory::SleepCount());
  EXPECT_EQ(0, memory::OpenHandles());
}

// Nothing would ever remove the marker key: the launcher must not wait.
TEST_F(LauncherMainTest, NoSetupStartedReturnsAtOnce) {
  const struct {
    const char* name;
    unsigned long version_word;
    bool start_succeeds;
  } cases[] = {
      {"family other", 0x0ECE0205, true},
      {"start fails", 0x0A280105, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    memory::SetVersion(c.version_word);
    memory::SetStartSucceeds(c.start_succeeds);
    EXPECT_EQ(0, launcher::LauncherMain("-gina /S /I1"));
    EXPECT_EQ(0, memory::SleepCount());
    EXPECT_TRUE(memory::HasKey(Root::kLocalMachine, launcher::kMarkerKeyPath));
    EXPECT_TRUE(memory::HasFile(kStaging + "\\setup.exe"));  // staged anyway
  }
}

}  // namespace
