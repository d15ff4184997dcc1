// The launcher's run as a whole: the marker key, handles, the result, and
// inputs at the limits of what Windows can hand over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "platform/memory_testing.h"
#include "platform/platform.h"

namespace {

using platform::Root;

const std::string kMarker = launcher::kMarkerKeyPath;

class LauncherRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    memory::Reset();
    sleeps_ = 0;
    marker_while_waiting_ = false;
    memory::PutFile("C:\\Pkg\\data3.cab\\setup.iss", "program");
    // Stands in for the setup: it removes the marker key at its end. The
    // launcher must never outlast a few polls here.
    memory::SetSleepHook([this](unsigned long) {
      if (sleeps_++ == 0) {
        marker_while_waiting_ = memory::HasKey(Root::kLocalMachine, kMarker);
      }
      memory::RemoveKey(Root::kLocalMachine, kMarker);
      if (sleeps_ > 3) ADD_FAILURE() << "still waiting after the marker went";
    });
  }

  // Runs the launcher as the entry does: with the tail of the full line.
  int Run(const std::string& line) {
    memory::SetCommandLine(line);
    line_ = line;
    return launcher::LauncherMain(platform::CommandLineTail(line_.c_str()));
  }

  std::string line_;
  int sleeps_ = 0;
  bool marker_while_waiting_ = false;
};

TEST_F(LauncherRunTest, CreatesTheMarkerKeyFirstAndClosesIt) {
  EXPECT_EQ(0, Run("\"C:\\Pkg\\launcher.exe\""));
  EXPECT_TRUE(marker_while_waiting_);
  const std::vector<std::string> writes = memory::RegistryWrites();
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ("create HKLM\\Software", writes[0]);
  EXPECT_EQ("create HKLM\\Software\\setup install", writes[1]);
  EXPECT_EQ(0, memory::OpenHandles());
}

TEST_F(LauncherRunTest, MarkerKeyLeftByAnotherRunIsOpened) {
  memory::PutKey(Root::kLocalMachine, "SOFTWARE\\SETUP INSTALL");
  EXPECT_EQ(0, Run("C:\\Pkg\\launcher.exe /S /I1"));
  EXPECT_TRUE(marker_while_waiting_);
  EXPECT_EQ(0, memory::OpenHandles());
}

// Without write rights under HKEY_LOCAL_MACHINE nothing is written, the
// marker key is missing and the wait ends at its first poll.
TEST_F(LauncherRunTest, WithoutMachineWriteRightsStillEnds) {
  memory::DenyWrite(Root::kLocalMachine, "");
  EXPECT_EQ(0, Run("C:\\Pkg\\launcher.exe -gina /S /I1"));
  EXPECT_FALSE(memory::HasKey(Root::kLocalMachine, kMarker));
  EXPECT_TRUE(memory::RegistryWrites().empty());
  EXPECT_EQ(0, memory::OpenHandles());
  EXPECT_LE(sleeps_, 1);
}

// Windows hands over at most 32,767 characters; none of them may reach past
// a 500-byte path buffer.
TEST_F(LauncherRunTest, LongestCommandLinesDoNoHarm) {
  const std::string long_folder = "C:\\" + std::string(32700, 'f');
  const struct {
    const char* label;
    std::string line;
  } cases[] = {
      {"long quoted folder",
       "\"" + long_folder + "\\launcher.exe\" /S /I1"},
      {"long unquoted folder", long_folder + "\\launcher.exe -gina"},
      {"long tail", "C:\\Pkg\\launcher.exe " + std::string(32767 - 21, 'x')},
      {"long name, no backslash", std::string(32767, 'n')},
      {"all backslashes", std::string(32767, '\\')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    SetUp();
    ASSERT_LE(c.line.size(), 32767u);
    EXPECT_EQ(0, Run(c.line));
    EXPECT_EQ(0, memory::OpenHandles());
  }
}

// Whichever single operation fails, the run ends with 0 and no open handle.
TEST_F(LauncherRunTest, AnySingleFailureStillEndsCleanly) {
  const char* const lines[] = {
      "C:\\Pkg\\launcher.exe -gina -sl -XR /S /I1",
      "C:\\Pkg\\launcher.exe /S /UPDATE /wbs",
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    SetUp();
    ASSERT_EQ(0, Run(line));
    const int calls = memory::FallibleCalls();
    for (int n = 1; n <= calls; ++n) {
      SCOPED_TRACE(n);
      SetUp();
      memory::FailCall(n);
      EXPECT_EQ(0, Run(line));
      EXPECT_EQ(0, memory::OpenHandles());
    }
  }
}

}  // namespace
