// The main sequence from the command-line tail to the end of the run.
#include "launcher/launcher.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fake_platform.h"
#include "settings/layout.h"

namespace {

using platform::Root;

const std::string kStaging = "C:\\WINDOWS\\system32\\SilentSetup";

class LauncherMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    fake::SetCommandLine("\"C:\\Pkg\\launcher.exe\" -gina /S /I1");
    fake::PutFile("C:\\Pkg\\data3.cab\\setup.iss", "program");
    fake::PutFile("C:\\Pkg\\data3.cab\\SI1XP.iss", "SI1XP");
  }
};

TEST_F(LauncherMainTest, TypicalRunOnXPWaitsForTheSetup) {
  // The setup removes the marker key while the launcher sleeps.
  fake::SetSleepHook([](unsigned long) {
    fake::RemoveKey(Root::kLocalMachine, launcher::kMarkerKeyPath);
  });
  EXPECT_EQ(0, launcher::LauncherMain("-gina /S /I1"));
  EXPECT_EQ("program", fake::FileContents(kStaging + "\\setup.exe"));
  EXPECT_EQ("SI1XP", fake::FileContents(kStaging + "\\setup.iss"));
  ASSERT_EQ(1u, fake::Starts().size());
  EXPECT_EQ("\"" + kStaging + "\\setup.exe\" /s", fake::Starts()[0].command);
  auto gina = fake::GetValue(Root::kLocalMachine, settings::kSettingsKey,
                             settings::kGinaInstallOption);
  ASSERT_TRUE(gina.has_value());
  EXPECT_EQ(std::string("1", 2), gina->data);
  EXPECT_EQ(1, fake::SleepCount());
  EXPECT_EQ(0, fake::OpenHandles());
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
    fake::SetVersion(c.version_word);
    fake::SetStartSucceeds(c.start_succeeds);
    EXPECT_EQ(0, launcher::LauncherMain("-gina /S /I1"));
    EXPECT_EQ(0, fake::SleepCount());
    EXPECT_TRUE(fake::HasKey(Root::kLocalMachine, launcher::kMarkerKeyPath));
    EXPECT_TRUE(fake::HasFile(kStaging + "\\setup.exe"));  // staged anyway
  }
}

}  // namespace
