// Fleets: the version from what "ver" printed, one row per machine folder
// that says what its plan says, rows of machines that fail, jobs spread
// over threads; and the collection script.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "preview/exports/exports.h"
#include "preview/exports/windows_version.h"
#include "preview/fleet/fleet.h"
#include "preview/fleet/parallel.h"
#include "preview/output/fleet_table.h"
#include "tests/preview/test_machine.h"

namespace {

namespace fs = std::filesystem;
using preview_test::Cp1252;
using preview_test::Write;

TEST(VersionFromVer, TextsOfEveryFamily) {
  // "cmd /u" writes UTF-16LE; PowerShell's redirection adds the mark.
  const auto utf16 = [](const std::string& ascii, bool mark) {
    std::string out = mark ? "\xFF\xFE" : "";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
  };
  const std::string xp = "\r\nMicrosoft Windows XP [Version 5.1.2600]\r\n";
  const struct {
    std::string text;
    unsigned long word;  // 0: not a version
    const char* family;
    const char* shown;  // for a text that is none: the excerpt in the message
  } cases[] = {
      {"\r\nWindows 95. [Version 4.00.950]\r\n", 0xC0000004, "9x", nullptr},
      {"\r\nWindows 98 [Version 4.10.1998]\r\n", 0xC0000A04, "9x", nullptr},
      {"\r\nWindows 98 [Version 4.10.2222]\r\n", 0xC0000A04, "9x", nullptr},
      {"\r\nWindows Millennium [Version 4.90.3000]\r\n", 0xC0005A04, "9x", nullptr},
      {"\r\nWindows NT Version 4.0  \r\n", 0x00000004, "other", nullptr},
      {"\r\nMicrosoft Windows 2000 [Version 5.00.2195]\r\n", 0x08930005, "2000", nullptr},
      {xp, 0x0A280105, "xp", nullptr},
      {"\r\nMicrosoft Windows [Version 5.2.3790]\r\n", 0x0ECE0205, "other", nullptr},
      {"Microsoft Windows 5.1.2600\r\n", 0x0A280105, "xp", nullptr},  // Wine's cmd
      {"Microsoft Windows 5.0.2195\n", 0x08930005, "2000", nullptr},
      {"Microsoft Windows 4.10.1998\r\n", 0xC0000A04, "9x", nullptr},
      {"\r\nMicrosoft Windows 4.10.67766446\r\n", 0xC0000A04, "9x", nullptr},  // Wine as 98
      // UTF-16LE, with the mark and without.
      {utf16(xp, true), 0x0A280105, "xp", nullptr},
      {utf16(xp, false), 0x0A280105, "xp", nullptr},
      {utf16("Microsoft Windows 5.0.2195\r\n", false), 0x08930005, "2000", nullptr},
      {utf16("\r\nMicrosoft Windows [Version 5.2.3790]", true), 0x0ECE0205, "other",
       nullptr},
      // A final Ctrl-Z from "copy /a": a byte, a UTF-16 unit, or a byte
      // after UTF-16 text.
      {"\r\nWindows 98 [Version 4.10.1998]\r\n\x1A", 0xC0000A04, "9x", nullptr},
      {"Microsoft Windows 5.1.2600\x1A", 0x0A280105, "xp", nullptr},
      {utf16(xp + "\x1A", true), 0x0A280105, "xp", nullptr},
      {utf16(xp + "\x1A", false), 0x0A280105, "xp", nullptr},
      {utf16(xp, true) + "\x1A", 0x0A280105, "xp", nullptr},
      {utf16(xp, false) + "\x1A", 0x0A280105, "xp", nullptr},
      {"Hello\r\n", 0, nullptr, "Hello"},
      {"", 0, nullptr, ""},
      {"\x1A", 0, nullptr, ""},
      {"Microsoft Windows\r\n", 0, nullptr, "Microsoft Windows"},
      {"Windows 4.50 [Version 4.50.1]\r\n", 0, nullptr, nullptr},
      {utf16("Hello\r\n", false), 0, nullptr, "Hello"},
      {utf16("Hello", true) + "\x1A", 0, nullptr, "Hello"},
      {utf16("Hello", true) + "!", 0, nullptr, "Hello!"},
      {"\xFF\xFE\x2D\x4E\x87\x65" + utf16(" Windows", false), 0, nullptr,
       "\\u4E2D\\u6587 Windows"},
      // Binary garbage: no raw byte reaches the message.
      {std::string("\x7F" "ELF\x01\x01\0\0\xC3\xA9\x1B[31mX\x80\xFF", 18), 0, nullptr,
       "\\x7FELF \\xC3\\xA9 [31mX\\x80\\xFF"},
      {std::string("\x00\x00\x00\x00\x9D\x00", 6), 0, nullptr, nullptr},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(i);
    std::string error;
    const std::optional<unsigned long> word = preview::VersionFromVer(c.text, &error);
    if (c.word == 0) {
      EXPECT_FALSE(word);
      EXPECT_NE(std::string::npos, error.find("ver.txt names")) << error;
      for (char ch : error) EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << error;
      if (c.shown) {
        EXPECT_EQ(std::string("ver.txt names no Windows version: \"") + c.shown + "\"", error);
      }
      continue;
    }
    ASSERT_TRUE(word) << error;
    EXPECT_EQ(c.word, *word);
    EXPECT_EQ(c.family, std::string(preview::FamilyName(launcher::ClassifyFamily(*word))));
  }
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
  const std::string adapters =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
      "{4D36E972-E325-11CE-BFC1-08002BE10318}]\r\n";
  Write(dir / "xp-old" / "corvane.reg", legacy);
  Write(dir / "xp-old" / "instuser.reg", driver_only);
  Write(dir / "xp-old" / "adapters.reg", adapters);
  Write(dir / "xp-old" / "ver.txt", "\r\nMicrosoft Windows XP [Version 5.1.2600]\r\n");
  Write(dir / "w98" / "CORVANE.REG", legacy);
  Write(dir / "w98" / "VER.TXT", "\r\nWindows 98 [Version 4.10.1998]\r\n");
  Write(dir / "w2k-new" / "ver.txt", "Microsoft Windows 5.0.2195\r\n");
  Write(dir / "w2k-new" / "adapters.reg", adapters);
  Write(dir / "bad" / "x.reg", "REGEDIT4\r\n\r\n[HKEY_FOO\\.DEFAULT]\r\n");
  Write(dir / "bad" / "ver.txt", "Microsoft Windows XP [Version 5.1.2600]\r\n");
  Write(dir / "no-ver" / "x.reg", "REGEDIT4\r\n");

  preview::FleetSetup setup;
  setup.tails.all = "/S /UPDATE /wbs";
  const std::string failed(26, ',');
  const struct {
    const char* machine;
    std::string line;
  } cases[] = {
      {"xp-old",
       "xp-old,xp,Windows XP,/S /UPDATE /wbs,14,data3.cab\\\\SUPDATEDA.iss,silent,true,true,true,false,"
       "(none),1,carried,(none),(none),kept,(none),0,default,(none),13,carried,driver only,,,"},
      {"w98",
       "w98,9x,Windows 98,/S /UPDATE /wbs,14,,interactive,false,true,true,false,(none),(none),kept,(none),"
       "(none),kept,(none),(none),kept,(none),(none),kept,,,"
       "the setup starts interactively: option 14 has no response file on 9x,"},
      {"w2k-new",
       "w2k-new,2000,Windows 2000,/S /UPDATE /wbs,14,data3.cab\\\\SUPDATE.iss,silent,true,true,true,false,"
       "(none),0,option,(none),(none),kept,(none),0,default,(none),(none),kept,full,,,"},
      {"bad", "bad" + failed + (dir / "bad" / "x.reg").string() + ":3: "},
      // A message with a comma is quoted, as CSV wants.
      {"no-ver", "no-ver" + failed + "\"" + (dir / "no-ver").string() +
                     ": no ver.txt, and no --windows given\""},
      {"absent", "absent" + failed + (dir / "absent").string() + ": not a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.machine);
    const preview::FleetRow row =
        preview::PlanFleetMachine((dir / c.machine).string(), c.machine, setup, Cp1252());
    // The reader's own words after the line number are its business.
    EXPECT_EQ(c.line, preview::FleetLine(row).substr(0, c.line.size()));
    EXPECT_EQ(c.line.find(".reg") != std::string::npos || c.line.find("not a folder") != std::string::npos ||
                  c.line.find("ver.txt") != std::string::npos,
              row.failed);
  }
  // --windows overrides ver.txt.
  setup.version = *preview::ParseVersion("xp");
  const preview::FleetRow as_xp =
      preview::PlanFleetMachine((dir / "w98").string(), "w98", setup, Cp1252());
  EXPECT_EQ(
      "w98,xp,Windows XP,/S /UPDATE /wbs,14,data3.cab\\\\SUPDATE.iss,silent,true,true,true,false,(none),1,"
      "carried,(none),(none),kept,(none),0,default,(none),13,carried,full,,"
      "\"no export of the network adapters' key (adapters.reg): every 2000 and XP machine has "
      "it, so its export failed or was not collected\",",
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
  // One worker is the calling thread: no thread is made where none can be.
  bool elsewhere = false;
  const std::thread::id caller = std::this_thread::get_id();
  preview::RunInParallel(
      10, 1, [&](size_t) { elsewhere = elsewhere || std::this_thread::get_id() != caller; },
      [](size_t) {});
  EXPECT_FALSE(elsewhere);
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
  // An earlier collection's files go before anything is exported.
  const size_t first_export = script.find("regedit /e");
  for (const std::string& file : {std::string(preview::kExportedKeys[0].file),
                                  std::string(preview::kExportedKeys[4].file),
                                  std::string("staged.txt")}) {
    const size_t del = script.find("if exist %1\\" + file + " del %1\\" + file + "\r\n");
    EXPECT_LT(del, first_export) << file;
  }
  // The staging folder's names, on 9x and NT, and an empty list without it.
  for (const char* system : {"SYSTEM", "system32"}) {
    const std::string stage = std::string("%windir%\\") + system + "\\SilentSetup";
    EXPECT_NE(std::string::npos, script.find("if exist " + stage + "\\nul dir /b " + stage +
                                             " > %1\\staged.txt\r\n"))
        << system;
  }
  EXPECT_NE(std::string::npos, script.find("if \"%OS%\"==\"Windows_NT\" goto stagent\r\n"));
  EXPECT_NE(std::string::npos, script.find("type nul > %1\\staged.txt\r\n"));
  std::istringstream lines(script);
  std::string line;
  while (std::getline(lines, line)) {
    const std::string command = line.substr(0, line.find(' '));
    const bool allowed = command == "@echo" || command == "rem" || command == "if" ||
                         command == "ver" || command == "regedit" || command == "goto" ||
                         command == "echo" || command == "type" ||
                         (!line.empty() && line[0] == ':');
    EXPECT_TRUE(allowed) << line;
    // Whatever is written or deleted is in the folder given.
    for (const std::string& writes : {std::string("> "), std::string("del ")}) {
      const size_t at = line.find(writes);
      if (at != std::string::npos) {
        EXPECT_EQ(0u, line.compare(at + writes.size(), 3, "%1\\")) << line;
      }
    }
    if (command == "if") {
      EXPECT_TRUE(line.find("mkdir %1\r") != std::string::npos ||
                  line.find("goto ") != std::string::npos ||
                  line.find(" del %1\\") != std::string::npos ||
                  line.find(" dir /b ") != std::string::npos)
          << line;
    }
  }
}

}  // namespace
