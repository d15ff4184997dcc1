// A launcher started from a network share, as login scripts start it
// (\\SERVER\NETLOGON\wlan\launcher.exe -gina /S /I1): the package beside it
// is found and staged, quoted or not, in folders with blanks, at a share's
// root; --program puts the tails' command line on the share (the fleet's
// through the command line in command_line_test.sh).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "launcher/options.h"
#include "launcher/staging.h"
#include "preview/command/commands.h"
#include "preview/machine/plan.h"
#include "tests/preview/test_machine.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;
using preview_test::Cp1252;
using preview_test::Write;

constexpr int kNone = launcher::kNoOption;

// A folder of its own below the temporary folder, emptied.
fs::path Scratch(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("launcher-preview-share-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// The whole sample package in dir, but the names left out.
void WritePackage(const fs::path& dir, const std::vector<std::string>& left_out = {}) {
  std::vector<std::string> names;
  for (const launcher::PackageFile& file : launcher::kPackageFiles) names.push_back(file.source_name);
  names.push_back("data3.cab\\SI1XP.iss");
  names.push_back("data3.cab\\SI1.iss");
  for (std::string name : names) {
    if (std::find(left_out.begin(), left_out.end(), name) != left_out.end()) continue;
    for (char& c : name) c = c == '\\' ? '/' : c;
    Write(dir / name, name);
  }
}

TEST(SharePaths, ThePackageBesideTheLauncherIsStaged) {
  const fs::path package = Scratch("package");
  WritePackage(package, {"data3.cab\\SI1XP.iss"});
  const struct {
    const char* label;
    const char* command_line;
    const char* current_dir;
    bool use_package;  // the host folder without SI1XP.iss
    const char* folder;
    int option;
    bool response_staged;
  } cases[] = {
      {"unquoted, as a login script writes it",
       "\\\\SRV\\NETLOGON\\wlan\\launcher.exe -gina /S /I1", "C:\\", false,
       "\\\\SRV\\NETLOGON\\wlan", 22, true},
      {"quoted", "\"\\\\SRV\\NETLOGON\\wlan\\launcher.exe\" -gina /S /I1", "C:\\", false,
       "\\\\SRV\\NETLOGON\\wlan", 22, true},
      {"quoted, folders with blanks",
       "\"\\\\SRV\\NETLOGON\\Wireless LAN\\Disk 1\\launcher.exe\" /S /I1", "C:\\", false,
       "\\\\SRV\\NETLOGON\\Wireless LAN\\Disk 1", 3, true},
      // Windows starts the launcher of "Wireless LAN", whose tail then
      // starts within the path: no option, an interactive setup.
      {"unquoted, a folder with blanks",
       "\\\\SRV\\NETLOGON\\Wireless LAN\\launcher.exe /S /I1", "C:\\", false,
       "\\\\SRV\\NETLOGON\\Wireless LAN", kNone, false},
      {"at the share's root", "\\\\SRV\\WLAN$\\launcher.exe /S /I1", "C:\\", false,
       "\\\\SRV\\WLAN$", 3, true},
      {"at the share's root, quoted, in other letter cases",
       "\"\\\\srv\\wlan$\\LAUNCHER.EXE\" /S /I1", "C:\\", false, "\\\\srv\\wlan$", 3, true},
      {"bare name, started in a folder on the share", "launcher.exe /S /I1",
       "\\\\SRV\\NETLOGON\\wlan", false, "\\\\SRV\\NETLOGON\\wlan", 3, true},
      {"a mapped drive", "N:\\wlan\\launcher.exe /S /I1", "C:\\", false, "N:\\wlan", 3, true},
      {"--package stands for the share's folder",
       "\"\\\\SRV\\NETLOGON\\Wireless LAN\\launcher.exe\" /S /I1", "C:\\", true,
       "\\\\SRV\\NETLOGON\\Wireless LAN", 3, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    preview::Machine machine;
    machine.version_word = 0x0A280105;  // XP
    machine.command_line = c.command_line;
    machine.current_dir = c.current_dir;
    if (c.use_package) machine.package_dir = package.string();
    const preview::Plan plan = preview::MakePlan(machine, Cp1252());
    EXPECT_EQ(c.folder, plan.package_folder);
    EXPECT_EQ(c.option, plan.option);
    EXPECT_TRUE(plan.missing.empty()) << plan.missing.front();
    EXPECT_TRUE(plan.setup_started);
    EXPECT_EQ(c.response_staged, plan.response_staged);
    // Every package file came from the share this run.
    EXPECT_EQ(launcher::kPackageFileCount + (c.response_staged ? 1 : 0), plan.staged.size());
    for (const preview::StagedFile& file : plan.staged) EXPECT_NE("", file.source) << file.name;
  }
  fs::remove_all(package);
}

// What plan --json says of the command line and the package, for the ways
// of naming the program.
TEST(SharePaths, ProgramStartsTheTailsCommandLine) {
  const fs::path dir = Scratch("program");
  Write(dir / "pc98" / "ver.txt", "\r\nWindows 98 [Version 4.10.1998]\r\n");
  const std::string wlan = "\\\\SRV\\NETLOGON\\wlan\\launcher.exe";
  const std::string blanks = "\\\\SRV\\NETLOGON\\Wireless LAN\\launcher.exe";
  const struct {
    const char* label;
    std::optional<std::string> program;
    std::optional<std::string> tail;
    std::vector<std::string> tail_for;
    std::optional<std::string> command_line;
    std::string current_dir;
    bool folder;  // plan the 98 machine folder, else --windows xp
    std::string expected_line;
    std::string package_folder;
  } cases[] = {
      {"tail", wlan, "-gina /S /I1", {}, std::nullopt, "C:\\Pkg", false,
       wlan + " -gina /S /I1", "\\\\SRV\\NETLOGON\\wlan"},
      {"tail, blanks in the path: quoted", blanks, "/S /I1", {}, std::nullopt, "C:\\Pkg", false,
       "\"" + blanks + "\" /S /I1", "\\\\SRV\\NETLOGON\\Wireless LAN"},
      {"tail of the family", wlan, "-gina /S /I1", {"xp=/S /I1 /wbs"}, std::nullopt, "C:\\Pkg",
       false, wlan + " /S /I1 /wbs", "\\\\SRV\\NETLOGON\\wlan"},
      {"machine folder, tail of its family", wlan, "-gina /S /I1", {"9x=/S /I1"}, std::nullopt,
       "C:\\Pkg", true, wlan + " /S /I1", "\\\\SRV\\NETLOGON\\wlan"},
      {"no tail: the path alone", wlan, std::nullopt, {}, std::nullopt, "C:\\Pkg", false, wlan,
       "\\\\SRV\\NETLOGON\\wlan"},
      {"whole command line, bare name, started on the share", wlan, std::nullopt, {},
       "launcher /S /I1", "\\\\SRV\\NETLOGON\\wlan", false, "launcher /S /I1",
       "\\\\SRV\\NETLOGON\\wlan"},
      {"no program", std::nullopt, "/S /I1", {}, std::nullopt, "C:\\Pkg", false,
       "C:\\Pkg\\launcher.exe /S /I1", "C:\\Pkg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    preview::PlanOptions options;
    options.program = c.program;
    options.tail = c.tail;
    options.tail_for = c.tail_for;
    options.command_line = c.command_line;
    options.current_dir = c.current_dir;
    options.json = true;
    if (c.folder) {
      options.reg_files = {(dir / "pc98").string()};
    } else {
      options.windows = "xp";
    }
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = preview::RunPlan(options);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(0, status) << err;
    const json plan = json::parse(out);
    EXPECT_EQ(c.expected_line, plan["command_line"]);
    EXPECT_EQ(c.package_folder, plan["package_folder"]);
    EXPECT_TRUE(plan["missing"].empty()) << plan["missing"].dump();
    EXPECT_FALSE(plan["setup_command"].is_null());
  }
  fs::remove_all(dir);
}

}  // namespace
