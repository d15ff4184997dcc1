// Plans of typical machines: what the launcher's run does there, the
// changes as a .reg file that turns the given state into the after-state,
// and bad input refused without writing anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "preview/command/commands.h"
#include "preview/exports/windows_version.h"
#include "preview/machine/changes.h"
#include "preview/machine/plan.h"
#include "preview/output/plan_output.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;
using preview::Change;
using preview::Machine;
using preview::Plan;

const char kClass[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
    "{4D36E972-E325-11CE-BFC1-08002BE10318}";

// A REGEDIT4 file's text as a source.
preview::Source Reg4(const std::string& body) {
  preview::Source source{"test.reg", {}};
  regfile::Error error;
  const std::string text = "REGEDIT4\r\n\r\n" + body;
  EXPECT_TRUE(regfile::Parse(text, &source.file, &error)) << error.line << ": " << error.message;
  return source;
}

// The same in version 5, UTF-16LE as regedit on XP writes it.
preview::Source Reg5(const std::u16string& body) {
  std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n" + body;
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  preview::Source source{"test5.reg", {}};
  regfile::Error error;
  EXPECT_TRUE(regfile::Parse(bytes, &source.file, &error)) << error.message;
  return source;
}

const preview::CodePage& Cp1252() {
  static std::string error;
  static const std::unique_ptr<preview::CodePage> page = preview::CodePage::Open(1252, &error);
  return *page;
}

Machine On(const char* windows, const std::string& tail,
           std::vector<preview::Source> sources = {}) {
  Machine machine;
  machine.version_word = *preview::ParseVersion(windows);
  machine.command_line = "C:\\Pkg\\launcher.exe" + (tail.empty() ? "" : " " + tail);
  machine.sources = std::move(sources);
  return machine;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string ChangesText(const Plan& plan) {
  const memory::UseMachine use = preview::UseMachineOf(plan);
  std::string text;
  for (const auto& item : preview::ChangesJson(plan.changes, Cp1252())) {
    text += item["op"].get<std::string>() + " " + item["key"].get<std::string>();
    if (!item["name"].is_null()) text += ":" + item["name"].get<std::string>();
    if (!item["hex"].is_null()) text += "=" + item["hex"].get<std::string>();
    text += "\n";
  }
  return text;
}

struct Expect {
  const char* family;
  int option;
  const char* response_file;  // nullptr: none
  const char* install_type;   // nullptr: not asked
  bool starts;
  bool waits;
  std::vector<std::string> adapters;
  std::string changes;
};

TEST(Plan, TypicalMachines) {
  const std::string adapters =
      std::string("[") + kClass + "\\0000]\r\n\"ComponentId\"=\"PCI\\\\VEN_FC7A&DEV_1001&SUBSYS_0002FC7A\"\r\n" +
      "[" + kClass + "\\0001]\r\n\"ComponentId\"=\"pci\\\\ven_fc7a&dev_1003&subsys_0021fc7a&REV_01\"\r\n" +
      "[" + kClass + "\\0002]\r\n\"ComponentId\"=\"PCI\\\\VEN_FC7A&DEV_1003&SUBSYS_0021FC7\"\r\n";
  const std::string legacy =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
      "\"GinaInstallOption\"=\"1\"\r\n\"wModeSelect\"=dword:0000000c\r\n";
  const struct {
    const char* label;
    Machine machine;
    Expect expect;
  } cases[] = {
      {"xp, nothing there, -gina /S /I1", On("xp", "-gina /S /I1"),
       {"xp", 22, "data3.cab\\SI1XP.iss", nullptr, true, true, {},
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\n"
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\n"
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings\n"
        "set_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings:GinaInstallOption=31,00\n"
        "set_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings:XRStatus=30,00\n"}},
      {"2000, legacy values moved, -wm=4 over them",
       On("2000", "-wm=4", {Reg4(legacy)}),
       {"2000", 26, nullptr, nullptr, true, true, {},
        "delete_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program:GinaInstallOption\n"
        "delete_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program:wModeSelect\n"
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\n"
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings\n"
        "set_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings:GinaInstallOption=31,00\n"
        "set_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings:XRStatus=30,00\n"
        "set_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings:wModeSelect=04,00,00,00\n"}},
      {"98, driver only under the user, update",
       On("98", "/s /update",
          {Reg4("[HKEY_CURRENT_USER\\Software\\VERDO Installer\\Setting]\r\n"
                "\"InstallOption\"=\"Install Driver Only\"\r\n" + legacy)}),
       {"9x", 13, "data3.cab\\SUPDATEDA.iss", "driver only", true, true, {},
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\VERDO Installer\n"
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\VERDO Installer\\Setting\n"
        "set_value HKEY_LOCAL_MACHINE\\SOFTWARE\\VERDO Installer\\Setting:InstallOption="
        "49,6e,73,74,61,6c,6c,20,44,72,69,76,65,72,20,4f,6e,6c,79,00\n"
        "delete_value HKEY_CURRENT_USER\\Software\\VERDO Installer\\Setting:InstallOption\n"}},
      {"xp /wbs: two of three adapters at the first poll",
       On("xp", "/S /UNINSTALL /wbs", {Reg4(adapters)}),
       {"xp", 16, "data3.cab\\SUNINSTALL.iss", "full", true, true, {"0000", "0001"},
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\n"
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\n"
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings\n"
        "set_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings:GinaInstallOption=30,00\n"
        "set_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings:XRStatus=30,00\n" +
            std::string("set_value ") + kClass + "\\0000:writeBlockSize=31,00\n" +
            "set_value " + kClass + "\\0001:writeBlockSize=31,00\n"}},
      {"98 /wbs starts plain and still tunes", On("98", "/S /I1 /wbs", {Reg4(adapters)}),
       {"9x", 4, nullptr, nullptr, true, true, {"0000", "0001"},
        std::string("set_value ") + kClass + "\\0000:writeBlockSize=31,00\n" +
            "set_value " + kClass + "\\0001:writeBlockSize=31,00\n"}},
      {"7: staged, nothing else, the marker key stays",
       On("7", "-gina /S /I1", {Reg4(legacy)}),
       {"other", 22, nullptr, nullptr, false, false, {},
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\setup install\n"}},
      {"xp, tail not in the table, legacy text from a version-5 file",
       On("xp", "/S /I6",
          {Reg5(u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
                u"\"SilentLeapOption\"=\"d\u00e9j\u00e0\"\r\n")}),
       {"xp", 0, nullptr, nullptr, true, true, {},
        "delete_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program:SilentLeapOption\n"
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\n"
        "create_key HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings\n"
        "set_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings:GinaInstallOption=30,00\n"
        "set_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings:SilentLeapOption=64,e9,6a,e0,00\n"
        "set_value HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings:XRStatus=30,00\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const Plan plan = preview::MakePlan(c.machine, Cp1252());
    const nlohmann::ordered_json json = preview::PlanJson(plan, Cp1252());
    EXPECT_EQ(c.expect.family, json["family"].get<std::string>());
    EXPECT_EQ(c.expect.option, json["option"].is_null() ? 0 : json["option"].get<int>());
    EXPECT_EQ(c.expect.response_file ? json::value_t::string : json::value_t::null,
              json["response_file"].type());
    if (c.expect.response_file) {
      EXPECT_EQ(c.expect.response_file, json["response_file"].get<std::string>());
    }
    EXPECT_EQ(c.expect.install_type ? std::string(c.expect.install_type) : "null",
              json["install_type"].is_null() ? "null" : json["install_type"].get<std::string>());
    EXPECT_EQ(c.expect.starts, json["setup_starts"].get<bool>());
    if (c.expect.starts) {
      EXPECT_EQ(std::string("\"C:\\WINDOWS\\") +
                    (c.expect.family == std::string("9x") ? "SYSTEM" : "system32") +
                    "\\SilentSetup\\setup.exe\"" + (c.expect.response_file ? " /s" : ""),
                json["setup_command"].get<std::string>());
    }
    EXPECT_EQ(c.expect.waits, json["waits"].get<bool>());
    EXPECT_EQ(c.expect.adapters, json["write_block_size_adapters"].get<std::vector<std::string>>());
    EXPECT_EQ(c.expect.changes, ChangesText(plan));
    // The staged files: the package, and setup.iss with a response file.
    std::vector<std::string> staged = json["staged"];
    EXPECT_EQ(c.expect.response_file ? 10u : 9u, staged.size());
  }
}

// The registry of a fresh machine of the plan's kind with the files loaded.
preview::Image Loaded(const Plan& plan, const std::vector<preview::Source>& files,
                      std::set<preview::KeyId>* keys = nullptr) {
  memory::Reset();
  memory::UseTextStorage(plan.family == launcher::Family::kWindows9x
                             ? memory::TextStorage::kAnsi
                             : memory::TextStorage::kUtf16,
                         &Cp1252());
  preview::StoreStandardKeys();
  const std::set<preview::KeyId> listed = preview::LoadSources(files, Cp1252());
  if (keys != nullptr) *keys = listed;
  return memory::SavedRegistry();
}

// Applying the changes file to the given state gives the after-state file's
// state, keys and values alike; both files read back as regedit reads them.
TEST(Plan, ChangesTurnTheGivenStateIntoTheAfterState) {
  const std::string before =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings]\r\n"
      "\"GinaInstallOption\"=hex(2):30,00\r\n\"XRstatus\"=\"1\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
      "\"GinaInstallOption\"=\"1\"\r\n\"SilentLeapOption\"=hex:31,00\r\n"
      "\"wModeSelect\"=hex:0d\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\setup install]\r\n"
      "[HKEY_CURRENT_USER\\Software\\VERDO Installer\\Setting]\r\n"
      "\"InstallOption\"=\"x\"\r\n";
  for (const char* windows : {"xp", "2000", "98"}) {
    for (const char* tail : {"/S /UPDATE", "-gina -sl -XR /S /I3", "-wm=13 /S /I1", ""}) {
      SCOPED_TRACE(std::string(windows) + " " + tail);
      const Plan plan = preview::MakePlan(On(windows, tail, {Reg4(before)}), Cp1252());
      std::string after, changes;
      {
        const memory::UseMachine use = preview::UseMachineOf(plan);
        after = regfile::Write(
            regfile::Version::k4, regfile::Encoding::kBytes,
            preview::StateItems(preview::KeysToShow(plan.before, plan.after, plan.listed)));
        changes = regfile::Write(regfile::Version::k4, regfile::Encoding::kBytes,
                                 preview::ChangeItems(plan.changes));
      }
      // The marker key the setup removed is gone: the changes remove it.
      EXPECT_NE(std::string::npos,
                Lower(changes).find("[-hkey_local_machine\\software\\setup install]"));

      // The given state with the changes applied is the after-state.
      regfile::Error error;
      preview::Source applied{"changes.reg", {}};
      ASSERT_TRUE(regfile::Parse(changes, &applied.file, &error)) << error.message;
      const preview::Image replayed = Loaded(plan, {Reg4(before), applied});
      EXPECT_TRUE(preview::Diff(plan.after, replayed).empty()) << changes;

      // The after-state file holds every key it names as the run left it.
      preview::Source written{"after.reg", {}};
      ASSERT_TRUE(regfile::Parse(after, &written.file, &error)) << error.message;
      std::set<preview::KeyId> keys;
      const preview::Image read = Loaded(plan, {written}, &keys);
      preview::Image shown;
      for (const memory::StoredKey& key : plan.after) {
        if (keys.count(preview::IdOf(key.root, key.path)) != 0) shown.push_back(key);
      }
      preview::Image read_shown;
      for (const memory::StoredKey& key : read) {
        if (keys.count(preview::IdOf(key.root, key.path)) != 0) read_shown.push_back(key);
      }
      EXPECT_FALSE(shown.empty());
      EXPECT_TRUE(preview::Diff(shown, read_shown).empty()) << after;
    }
  }
}

// --package: only what is in the folder is staged.
TEST(Plan, PackageFolderDecidesWhatIsStaged) {
  const fs::path dir = fs::temp_directory_path() / "launcher-preview-package-test";
  fs::remove_all(dir);
  fs::create_directories(dir / "DATA3.CAB");
  for (const char* name : {"Layout.bin", "data1.cab", "data1.hdr", "setup.ini", "setup.inx",
                           "ikernel.ex_", "CorvaneAdminConfig.dat"}) {
    std::ofstream(dir / name) << name;
  }
  const struct {
    const char* label;
    std::vector<std::string> extra;  // under DATA3.CAB
    bool starts;
    bool response_staged;
  } cases[] = {
      {"no setup program: nothing starts, nothing waits", {"SI1XP.iss"}, false, true},
      {"no response file: starts with /s all the same", {"Setup.ISS"}, true, false},
      {"both", {"setup.iss", "si1xp.ISS"}, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(dir / "DATA3.CAB");
    fs::create_directories(dir / "DATA3.CAB");
    for (const std::string& name : c.extra) std::ofstream(dir / "DATA3.CAB" / name) << name;
    Machine machine = On("xp", "/S /I1");
    machine.package_dir = dir.string();
    const Plan plan = preview::MakePlan(machine, Cp1252());
    EXPECT_EQ(c.starts, plan.setup_started);
    EXPECT_EQ(c.starts, plan.waits);
    EXPECT_EQ(c.response_staged, plan.response_staged);
    EXPECT_EQ((std::vector<std::string>{"data2.cab"}),
              std::vector<std::string>(plan.missing.begin(),
                                       plan.missing.end() - (c.starts ? 0 : 1)));
    // Without a setup the marker key stays: a key the run created.
    const std::string changes = Lower(ChangesText(plan));
    EXPECT_EQ(!c.starts,
              changes.find("create_key hkey_local_machine\\software\\setup install") !=
                  std::string::npos);
  }
  fs::remove_all(dir);
}

// Bad input: exit code 2, one line naming the file and line, no file written.
TEST(Plan, BadInputWritesNothing) {
  const fs::path dir = fs::temp_directory_path() / "launcher-preview-bad-input-test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string good = (dir / "good.reg").string();
  std::ofstream(good) << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n";
  const std::string bad = (dir / "bad.reg").string();
  std::ofstream(bad) << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"V\"=dword:123456789\r\n";
  const std::string root = (dir / "root.reg").string();
  std::ofstream(root) << "REGEDIT4\r\n[HKEY_NOWHERE\\.DEFAULT]\r\n";
  const struct {
    const char* label;
    std::string windows;
    std::vector<std::string> files;
    int codepage;
    std::string message;  // the start of stderr's line
  } cases[] = {
      {"unknown windows", "xp2", {good}, 1252, "launcher-preview: --windows: unknown Windows version \"xp2\""},
      {"bad dword", "xp", {good, bad}, 1252, "launcher-preview: " + bad + ":4: "},
      {"an unknown root", "2000", {root}, 1252, "launcher-preview: " + root + ":2: "},
      {"missing file", "98", {good, (dir / "none.reg").string()}, 1252,
       "launcher-preview: " + (dir / "none.reg").string() + ": cannot read"},
      {"unknown code page", "xp", {good}, 99999, "launcher-preview: --codepage: code page 99999"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    preview::PlanOptions options;
    options.windows = c.windows;
    options.reg_files = c.files;
    options.codepage = c.codepage;
    options.after = (dir / "after.reg").string();
    options.changes = (dir / "changes.reg").string();
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(2, preview::RunPlan(options));
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ("", out);
    EXPECT_EQ(0u, err.find(c.message)) << err;
    EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
    EXPECT_FALSE(fs::exists(dir / "after.reg"));
    EXPECT_FALSE(fs::exists(dir / "changes.reg"));
  }
  fs::remove_all(dir);
}

}  // namespace

namespace {

// Where the launcher lies is read as Windows reads the path, in the ANSI
// code page: a trail byte 0x5C is no separator and a trail byte never ends
// the quoted path.
TEST(PlanDoubleByte, TheProgramFolderSkipsTrailBytes) {
  std::string error;
  const std::unique_ptr<preview::CodePage> cp932 = preview::CodePage::Open(932, &error);
  ASSERT_TRUE(cp932) << error;
  const struct {
    const char* name;
    const char* command_line;
    const preview::CodePage* code_page;
    const char* folder;
  } cases[] = {
      {"quoted, trail byte 0x5C last", "\"C:\\e2e\\\x95\x5Cpkg\\\x95\x5C\" /S /I1", cp932.get(),
       "C:\\e2e\\\x95\x5Cpkg"},
      {"unquoted", "C:\\e2e\\\x95\x5Cpkg\\\x95\x5C.exe /S /I1", cp932.get(), "C:\\e2e\\\x95\x5Cpkg"},
      {"single-byte code page", "\"C:\\e2e\\\x95\x5Cpkg\\\x95\x5C\" /S /I1", &Cp1252(),
       "C:\\e2e\\\x95\x5Cpkg\\\x95"},
      {"bare name", "\x95\x5C /S /I1", cp932.get(), "C:\\Pkg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Machine machine;
    machine.version_word = 0x0A280105;
    machine.command_line = c.command_line;
    const Plan plan = preview::MakePlan(machine, *c.code_page);
    EXPECT_EQ(c.folder, plan.package_folder);
  }
}

}  // namespace
