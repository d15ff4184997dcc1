// Fleets: the version from what "ver" printed, one row per machine folder
// that says what its plan says, rows of machines that fail, jobs spread
// over threads; and the collection script.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "preview/exports.h"
#include "preview/fleet.h"
#include "preview/parallel.h"
#include "preview/windows_version.h"

namespace {

namespace fs = std::filesystem;

TEST(VersionFromVer, TextsOfEveryFamily) {
  const struct {
    const char* text;
    unsigned long word;  // 0: not a version
    const char* family;
  } cases[] = {
      {"\r\nWindows 95. [Version 4.00.950]\r\n", 0xC0000004, "9x"},
      {"\r\nWindows 98 [Version 4.10.1998]\r\n", 0xC0000A04, "9x"},
      {"\r\nWindows 98 [Version 4.10.2222]\r\n", 0xC0000A04, "9x"},
      {"\r\nWindows Millennium [Version 4.90.3000]\r\n", 0xC0005A04, "9x"},
      {"\r\nWindows NT Version 4.0  \r\n", 0x00000004, "other"},
      {"\r\nMicrosoft Windows 2000 [Version 5.00.2195]\r\n", 0x08930005, "2000"},
      {"\r\nMicrosoft Windows XP [Version 5.1.2600]\r\n", 0x0A280105, "xp"},
      {"\r\nMicrosoft Windows [Version 5.2.3790]\r\n", 0x0ECE0205, "other"},
      {"Microsoft Windows 5.1.2600\r\n", 0x0A280105, "xp"},  // Wine's cmd
      {"Microsoft Windows 5.0.2195\n", 0x08930005, "2000"},
      {"Microsoft Windows 4.10.1998\r\n", 0xC0000A04, "9x"},
      {"\r\nMicrosoft Windows 4.10.67766446\r\n", 0xC0000A04, "9x"},  // Wine as 98
      {"Hello\r\n", 0, nullptr},
      {"", 0, nullptr},
      {"Microsoft Windows\r\n", 0, nullptr},
      {"Windows 4.50 [Version 4.50.1]\r\n", 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const std::optional<unsigned long> word = preview::VersionFromVer(c.text, &error);
    if (c.word == 0) {
      EXPECT_FALSE(word);
      EXPECT_NE(std::string::npos, error.find("ver.txt names")) << error;
      EXPECT_EQ(std::string::npos, error.find_first_of("\r\n"));
      continue;
    }
    ASSERT_TRUE(word) << error;
    EXPECT_EQ(c.word, *word);
    EXPECT_EQ(c.family, std::string(preview::FamilyName(launcher::ClassifyFamily(*word))));
  }
}

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

const preview::CodePage& Cp1252() {
  static std::string error;
  static const std::unique_ptr<preview::CodePage> page = preview::CodePage::Open(1252, &error);
  return *page;
}

TEST(Fleet, RowsSayWhatThePlanSays) {
  const fs::path dir = fs::temp_directory_path() / "launcher-preview-fleet-test";
  fs::remove_all(dir);
  const std::string legacy =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation "
      "Program]\r\n\"GinaInstallOption\"=\"1\"\r\n\"wModeSelect\"=dword:0000000d\r\n";
  const std::string driver_only =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\VERDO Installer\\Setting]\r\n"
      "\"InstallOption\"=\"Install Driver Only\"\r\n";
  Write(dir / "xp-old" / "corvane.reg", legacy);
  Write(dir / "xp-old" / "instuser.reg", driver_only);
  Write(dir / "xp-old" / "ver.txt", "\r\nMicrosoft Windows XP [Version 5.1.2600]\r\n");
  Write(dir / "w98" / "CORVANE.REG", legacy);
  Write(dir / "w98" / "VER.TXT", "\r\nWindows 98 [Version 4.10.1998]\r\n");
  Write(dir / "w2k-new" / "ver.txt", "Microsoft Windows 5.0.2195\r\n");
  Write(dir / "bad" / "x.reg", "REGEDIT4\r\n\r\n[HKEY_USERS\\.DEFAULT]\r\n");
  Write(dir / "bad" / "ver.txt", "Microsoft Windows XP [Version 5.1.2600]\r\n");
  Write(dir / "no-ver" / "x.reg", "REGEDIT4\r\n");

  preview::Machine base;
  base.command_line = "C:\\Pkg\\launcher.exe /S /UPDATE /wbs";
  const struct {
    const char* machine;
    std::string line;
  } cases[] = {
      {"xp-old", "xp-old,xp,14,data3.cab\\SUPDATEDA.iss,true,true,1,,0,13,driver only,,"},
      {"w98", "w98,9x,14,,true,true,,,,,,,"},
      {"w2k-new", "w2k-new,2000,14,data3.cab\\SUPDATE.iss,true,true,0,,0,,full,,"},
      {"bad", "bad,,,,,,,,,,,," + (dir / "bad" / "x.reg").string() +
                  ":3: unsupported root HKEY_USERS (only HKEY_LOCAL_MACHINE and "
                  "HKEY_CURRENT_USER)"},
      // A message with a comma is quoted, as CSV wants.
      {"no-ver", "no-ver,,,,,,,,,,,,\"" + (dir / "no-ver").string() +
                     ": no ver.txt, and no --windows given\""},
      {"absent", "absent,,,,,,,,,,,," + (dir / "absent").string() + ": not a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.machine);
    const preview::FleetRow row =
        preview::PlanFleetMachine((dir / c.machine).string(), base, std::nullopt, Cp1252());
    EXPECT_EQ(c.line, preview::FleetLine(row));
    EXPECT_EQ(c.line.find("not a folder") != std::string::npos ||
                  c.line.find("ver.txt") != std::string::npos ||
                  c.line.find("HKEY_USERS") != std::string::npos,
              row.failed);
  }
  // --windows overrides ver.txt.
  const preview::FleetRow as_xp = preview::PlanFleetMachine(
      (dir / "w98").string(), base, *preview::ParseVersion("xp"), Cp1252());
  EXPECT_EQ("w98,xp,14,data3.cab\\SUPDATE.iss,true,true,1,,0,13,full,,",
            preview::FleetLine(as_xp));
  fs::remove_all(dir);
}

TEST(Fleet, EveryJobRunsOnceWhateverTheThreads) {
  for (unsigned workers : {1u, 2u, 7u, 64u}) {
    SCOPED_TRACE(workers);
    std::vector<std::atomic<int>> runs(1000);
    size_t last = 0;
    preview::RunInParallel(
        runs.size(), workers, [&](size_t i) { runs[i].fetch_add(1); },
        [&](size_t done) { last = done; });
    for (const auto& r : runs) EXPECT_EQ(1, r.load());
    EXPECT_EQ(runs.size(), last);
  }
}

// The batch file runs on command.com and cmd alike: CR LF only, the keys
// of the exports and no command but those that make the folder and write
// into it.
TEST(CollectScript, ExportsEveryKeyAndWritesNothingElse) {
  const std::string script = preview::CollectScript();
  for (size_t i = 0; i < script.size(); ++i) {
    if (script[i] == '\n') {
      EXPECT_EQ('\r', script[i - 1]) << i;
    }
    if (script[i] == '\r') {
      EXPECT_EQ('\n', script[i + 1]) << i;
    }
  }
  for (const preview::ExportedKey& key : preview::kExportedKeys) {
    EXPECT_NE(std::string::npos, script.find(std::string("regedit /e %1\\") + key.file + " \"" +
                                             regfile::RootName(key.root) + "\\" + key.path +
                                             "\"\r\n"))
        << key.path;
  }
  std::istringstream lines(script);
  std::string line;
  while (std::getline(lines, line)) {
    const std::string command = line.substr(0, line.find(' '));
    const bool allowed = command == "@echo" || command == "rem" || command == "if" ||
                         command == "ver" || command == "regedit" || command == "goto" ||
                         command == "echo" || (!line.empty() && line[0] == ':');
    EXPECT_TRUE(allowed) << line;
    if (command == "if") {
      EXPECT_TRUE(line.find("mkdir %1\r") != std::string::npos ||
                  line.find("goto ") != std::string::npos)
          << line;
    }
  }
}

}  // namespace
