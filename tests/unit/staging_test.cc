// Package staging against the in-memory platform.
#include "launcher/staging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "platform/memory_testing.h"
#include "platform/platform.h"

namespace {

using launcher::State;

const char kStaging[] = "C:\\WINDOWS\\system32\\SilentSetup";

// Source name -> staged name, as the package lies beside the launcher.
const std::vector<std::pair<std::string, std::string>> kPackage = {
    {"layout.bin", "layout.bin"},   {"data1.cab", "data1.cab"},
    {"data2.cab", "data2.cab"},     {"ikernel.ex_", "ikernel.ex_"},
    {"data1.hdr", "data1.hdr"},     {"setup.ini", "setup.ini"},
    {"setup.inx", "setup.inx"},
    {"CorvaneAdminConfig.dat", "CorvaneAdminConfig.dat"},
    {"data3.cab\\setup.iss", "setup.exe"},
};

// Each file's contents name where it came from.
void PutPackage(const std::string& folder, const std::string& tag = "") {
  for (const auto& file : kPackage) {
    memory::PutFile(folder + "\\" + file.first, tag + folder + "|" + file.first);
  }
}

State Stage(const std::string& command_line) {
  memory::SetCommandLine(command_line);
  State state;
  platform::ZeroFill(&state, sizeof state);
  launcher::FindSourceFolder(state, platform::FullCommandLine());
  launcher::StagePackage(state);
  return state;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  for (auto& name : names) {
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> AllStagedNames() {
  std::vector<std::string> names;
  for (const auto& file : kPackage) names.push_back(file.second);
  return Sorted(names);
}

class StagingTest : public ::testing::Test {
 protected:
  void SetUp() override { memory::Reset(); }
};

TEST_F(StagingTest, SourceFolderFromTheFullCommandLine) {
  const std::string long_folder = "C:\\" + std::string(496, 'f');  // 499
  struct Case {
    const char* name;
    std::string line;
    std::string folder;
    std::string separator;
    bool unfit;
  };
  const Case cases[] = {
      {"quoted with blanks", "\"C:\\Pkg\\Disk 1\\launch.exe\" /S /I1",
       "C:\\Pkg\\Disk 1", "\\", false},
      {"unquoted", "C:\\Pkg\\launch.exe -gina", "C:\\Pkg", "\\", false},
      {"bare name", "launch.exe /S /I1", "", "", false},
      {"backslash in the arguments", "C:\\Pkg\\launch.exe /S \\I1",
       "C:\\Pkg\\launch.exe /S ", "\\", false},
      // A quote anywhere before the split drops the first character, even
      // when the program path was not quoted.
      {"quote in the arguments", "C:\\Pkg\\launch.exe \"a\\b\"",
       ":\\Pkg\\launch.exe \"a", "\\", false},
      {"network path", "\\\\srv\\share\\launch.exe", "\\\\srv\\share", "\\",
       false},
      {"folder of 499 characters", long_folder + "\\launch.exe", long_folder,
       "\\", false},
      // The quote counts: the text before the backslash must fit.
      {"quoted, 499 after the quote", "\"" + long_folder + "\\launch.exe\"",
       "", "", true},
      {"folder of 500 characters", long_folder + "x\\launch.exe", "", "",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    State state;
    platform::ZeroFill(&state, sizeof state);
    launcher::FindSourceFolder(state, c.line.c_str());
    EXPECT_EQ(c.folder, state.source_folder);
    EXPECT_EQ(c.separator, state.separator);
    EXPECT_EQ(c.unfit, state.source_unfit);
  }
}

TEST_F(StagingTest, StagesTheNineFilesFromTheLaunchersFolder) {
  struct Case {
    const char* name;
    const char* current_directory;
    const char* package_folder;
    const char* line;
  };
  const Case cases[] = {
      {"quoted with blanks", "C:\\", "C:\\Pkg\\Disk 1",
       "\"C:\\Pkg\\Disk 1\\launcher.exe\" /S /I1"},
      {"unquoted", "C:\\", "C:\\Pkg", "C:\\Pkg\\launcher.exe -gina"},
      {"bare name: current directory", "D:\\Here", "D:\\Here",
       "launcher.exe /S /I1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    memory::Reset();
    memory::SetCurrentDirectory(c.current_directory);
    PutPackage(c.package_folder);
    Stage(c.line);
    EXPECT_EQ(AllStagedNames(), Sorted(memory::FilesIn(kStaging)));
    EXPECT_EQ(std::string(c.package_folder) + "|data3.cab\\setup.iss",
              memory::FileContents(std::string(kStaging) + "\\setup.exe"));
    EXPECT_EQ(std::string(c.package_folder) + "|layout.bin",
              memory::FileContents(std::string(kStaging) + "\\layout.bin"));
  }
}

TEST_F(StagingTest, SecondRunReplacesReadOnlyFilesAndDropsOldResponse) {
  PutPackage("C:\\Pkg");
  Stage("C:\\Pkg\\launcher.exe");
  // The first run's files made read-only (and hidden), plus its response.
  for (const auto& file : kPackage) {
    const std::string staged = std::string(kStaging) + "\\" + file.second;
    memory::PutFile(staged, "old", platform::kFileAttributeReadOnly | 0x2);
  }
  memory::PutFile(std::string(kStaging) + "\\setup.iss", "old response",
                platform::kFileAttributeReadOnly);

  PutPackage("C:\\Pkg", "new:");
  Stage("C:\\Pkg\\launcher.exe");

  EXPECT_EQ(AllStagedNames(), Sorted(memory::FilesIn(kStaging)));
  for (const auto& file : kPackage) {
    EXPECT_EQ("new:C:\\Pkg|" + file.first,
              memory::FileContents(std::string(kStaging) + "\\" + file.second));
  }
}

TEST_F(StagingTest, PackageWithoutSetupProgramStagesNoSetupExe) {
  memory::PutFile(std::string(kStaging) + "\\setup.exe", "from an older run");
  for (const auto& file : kPackage) {
    if (file.second != "setup.exe") memory::PutFile("C:\\Pkg\\" + file.first, "x");
  }
  Stage("C:\\Pkg\\launcher.exe");
  EXPECT_FALSE(memory::HasFile(std::string(kStaging) + "\\setup.exe"));
  EXPECT_EQ(8u, memory::FilesIn(kStaging).size());
}

TEST_F(StagingTest, UnfitFolderCopiesNothingFromElsewhere) {
  // The package also lies in the current directory: a folder that did not
  // fit must not fall back to it.
  memory::SetCurrentDirectory("C:\\");
  PutPackage("C:");
  const std::string folder = "C:\\" + std::string(600, 'a');
  memory::PutFile(std::string(kStaging) + "\\setup.iss", "stale");

  State state = Stage("\"" + folder + "\\launcher.exe\" /S /I1");

  EXPECT_TRUE(state.source_unfit);
  EXPECT_STREQ("", state.source_folder);
  EXPECT_TRUE(memory::FilesIn(kStaging).empty());  // deletes still ran
  EXPECT_FALSE(launcher::StagedCopy(state, "layout.bin", "\\layout.bin"));
}

TEST_F(StagingTest, LongestCommandLine) {
  PutPackage("C:\\Pkg");
  struct Case {
    const char* name;
    std::string line;
    size_t staged;
  };
  const std::string program = "C:\\Pkg\\launcher.exe ";
  const Case cases[] = {
      {"arguments without a backslash",
       program + std::string(32767 - program.size(), 'x'), kPackage.size()},
      {"backslash at the very end",
       program + std::string(32766 - program.size(), 'x') + "\\", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(32767u, c.line.size());
    memory::PutFile(std::string(kStaging) + "\\layout.bin", "stale");
    Stage(c.line);
    EXPECT_EQ(c.staged, memory::FilesIn(kStaging).size());
  }
}

TEST_F(StagingTest, StagingFolderThatDoesNotFitStagesNothing) {
  memory::SetCurrentDirectory("C:\\");
  PutPackage("C:\\Pkg");
  memory::SetSystemDirectory("C:\\" + std::string(490, 's'));
  State state = Stage("C:\\Pkg\\launcher.exe");
  EXPECT_STREQ("", state.staging_folder);
  EXPECT_FALSE(memory::HasFile("C:\\layout.bin"));
  EXPECT_FALSE(memory::HasFile("C:\\setup.exe"));
}

}  // namespace
