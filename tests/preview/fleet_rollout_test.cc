// A rollout over a fleet: machine folders found below parent folders and
// named apart, a tail per family, the warnings an administrator must see,
// the columns that say what changes and why, and the same as JSON lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "launcher/staging.h"
#include "tests/preview/test_machine.h"

#include "preview/exports/windows_version.h"
#include "preview/fleet/fleet.h"
#include "preview/fleet/fleet_folders.h"
#include "preview/fleet/machine_folder.h"
#include "preview/fleet/tails.h"
#include "preview/output/escape.h"
#include "preview/output/fleet_table.h"

namespace {

namespace fs = std::filesystem;
using preview_test::Cp1252;
using preview_test::Write;

constexpr const char* kXp = "Microsoft Windows XP [Version 5.1.2600]\r\n";
constexpr const char* k98 = "\r\nWindows 98 [Version 4.10.1998]\r\n";
constexpr const char* kNt4 = "\r\nWindows NT Version 4.0  \r\n";
constexpr const char* kAdapters =
    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
    "{4D36E972-E325-11CE-BFC1-08002BE10318}]\r\n";
constexpr const char* kLegacy =
    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation "
    "Program]\r\n\"GinaInstallOption\"=\"1\"\r\n\"wModeSelect\"=dword:0000000d\r\n";

// A folder of its own below the temporary folder, emptied.
fs::path Scratch(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("launcher-preview-rollout-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

preview::FleetRow Row(const fs::path& folder, const std::string& tail,
                      std::map<launcher::Family, std::string> by_family = {},
                      std::optional<std::string> package = std::nullopt) {
  preview::FleetSetup setup;
  setup.tails.all = tail;
  setup.tails.by_family = std::move(by_family);
  setup.base.package_dir = package;
  return preview::PlanFleetMachine(folder.string(), folder.filename().string(), setup, Cp1252());
}

std::vector<std::string> Kinds(const preview::FleetRow& row) {
  std::vector<std::string> kinds;
  for (const preview::Warning& w : row.warnings) kinds.push_back(w.kind);
  return kinds;
}

TEST(MachineNames, FolderNamesAndParentsWhereTheyClash) {
  const fs::path cwd = fs::current_path();
  const struct {
    std::vector<std::string> folders;
    std::vector<std::string> names;
  } cases[] = {
      {{"a/PC1", "a/PC2"}, {"PC1", "PC2"}},
      {{"siteA/PC042", "siteB/PC042", "siteA/PC1"}, {"siteA/PC042", "siteB/PC042", "PC1"}},
      // Folder names clash without regard to case, as on Windows.
      {{"siteA/pc042", "siteB/PC042"}, {"siteA/pc042", "siteB/PC042"}},
      // Further up while the parents clash too.
      {{"x/site/PC7", "y/site/PC7", "z/PC8"}, {"x/site/PC7", "y/site/PC7", "PC8"}},
      {{"a/PC1/", "b/PC1/."}, {"a/PC1", "b/PC1"}},
      {{"."}, {cwd.filename().string()}},
      {{"sub/.."}, {cwd.filename().string()}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folders.front());
    EXPECT_EQ(c.names, preview::MachineNames(c.folders));
  }
}

TEST(Tails, OnePerFamilyTheRestTakeTheDefault) {
  preview::Tails tails;
  tails.all = "-gina /S /I1";
  std::string error;
  const struct {
    const char* argument;
    bool good;
    const char* error;
  } arguments[] = {
      {"9x=/S /I1", true, ""},
      {"XP=-gina /S /I1 /wbs", true, ""},
      {"other=", true, ""},
      {"9x=/S", false, "twice"},
      {"nt4=/S", false, "FAMILY=TAIL"},
      {"/S /I1", false, "FAMILY=TAIL"},
  };
  for (const auto& a : arguments) {
    error.clear();
    EXPECT_EQ(a.good, preview::AddTailFor(a.argument, &tails, &error)) << a.argument;
    EXPECT_NE(std::string::npos, error.find(a.error)) << error;
  }
  EXPECT_EQ("/S /I1", tails.For(launcher::Family::kWindows9x));
  EXPECT_EQ("-gina /S /I1", tails.For(launcher::Family::kWindows2000));
  EXPECT_EQ("-gina /S /I1 /wbs", tails.For(launcher::Family::kWindowsXP));
  EXPECT_EQ("", tails.For(launcher::Family::kOther));
  EXPECT_EQ("C:\\Pkg\\launcher.exe /S", preview::CommandLineFor("/S"));
  EXPECT_EQ("\"C:\\Disk 1\\launcher.exe\"", preview::CommandLineFor("", "C:\\Disk 1\\launcher.exe"));
}

TEST(FleetRollout, EachFamilyGetsItsTail) {
  const fs::path dir = Scratch("tails");
  Write(dir / "w98" / "ver.txt", k98);
  Write(dir / "wxp" / "ver.txt", kXp);
  Write(dir / "wxp" / "adapters.reg", kAdapters);
  const std::map<launcher::Family, std::string> nine_x = {
      {launcher::Family::kWindows9x, "/S /I1"}};
  const struct {
    const char* machine;
    const char* tail;
    int option;
    const char* setup;
    const char* response;
  } cases[] = {
      {"w98", "/S /I1", 3, "silent", "data3.cab\\SI1.iss"},
      {"wxp", "-gina /S /I1", 22, "silent", "data3.cab\\SI1XP.iss"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.machine);
    const preview::FleetRow row = Row(dir / c.machine, "-gina /S /I1", nine_x);
    ASSERT_FALSE(row.failed) << row.error;
    EXPECT_EQ(c.tail, row.tail);
    EXPECT_EQ(c.option, row.option);
    EXPECT_EQ(c.setup, row.setup);
    EXPECT_EQ(c.response, row.response_file);
    EXPECT_TRUE(row.warnings.empty()) << preview::FleetLine(row);
  }
  // Without the 9x tail the 98 machine gets an interactive setup, and says so.
  const preview::FleetRow one_tail = Row(dir / "w98", "-gina /S /I1");
  EXPECT_EQ("interactive", one_tail.setup);
  EXPECT_EQ(std::vector<std::string>{preview::warning::kInteractive}, Kinds(one_tail));
  fs::remove_all(dir);
}

TEST(FleetRollout, EveryWarning) {
  const fs::path dir = Scratch("warnings");
  const std::string marker =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\setup install]\r\n";
  const std::string user =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\VERDO Installer\\Setting]\r\n";
  // The whole package but its response files.
  fs::create_directories(dir / "package" / "data3.cab");
  for (const launcher::PackageFile& file : launcher::kPackageFiles) {
    std::string name = file.source_name;
    for (char& ch : name) ch = ch == '\\' ? '/' : ch;
    Write(dir / "package" / name, "");
  }
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    const char* tail;
    bool use_package;
    std::vector<std::string> kinds;
    const char* text;  // in the first warning
  } cases[] = {
      {"clean", {{"ver.txt", kXp}, {"adapters.reg", kAdapters}}, "-gina /S /I1", false, {}, ""},
      {"typo", {{"ver.txt", kXp}, {"adapters.reg", kAdapters}}, "/S /I1 -gina", false,
       {preview::warning::kNoOption, preview::warning::kInteractive}, "\"/S /I1 -gina\""},
      {"nt4", {{"ver.txt", kNt4}}, "/S /I1", false, {preview::warning::kNoSetup},
       "no family"},
      {"no-iss", {{"ver.txt", kXp}, {"adapters.reg", kAdapters}}, "/S /I1", true,
       {preview::warning::kResponseMissing}, "data3.cab\\SI1XP.iss"},
      {"marker", {{"ver.txt", kXp}, {"adapters.reg", kAdapters}, {"marker.reg", marker}},
       "/S /I1", false, {preview::warning::kMarkerLeft}, "earlier run"},
      {"foreign", {{"ver.txt", kXp}, {"adapters.reg", kAdapters}, {"corvane.reg", user}},
       "/S /I1", false, {preview::warning::kForeignKeys}, "corvane.reg holds 1 key outside"},
      {"copies",
       {{"ver.txt", kXp}, {"adapters.reg", kAdapters}, {"corvane.reg", kLegacy},
        {"Copy of corvane.reg", kLegacy}},
       "/S /I1", false, {preview::warning::kSeveralExports},
       "Copy of corvane.reg, corvane.reg"},
      {"no-adapters", {{"ver.txt", kXp}}, "/S /I1", false, {preview::warning::kNoAdapters},
       "adapters.reg"},
      {"98-needs-none", {{"ver.txt", k98}}, "/S /I1", false, {}, ""},
      {"other-roots",
       {{"ver.txt", kXp},
        {"all.reg", std::string(kAdapters) +
                        "\r\n[HKEY_CLASSES_ROOT\\.txt]\r\n@=\"txtfile\"\r\n\r\n"
                        "[HKEY_USERS\\.DEFAULT]\r\n"}},
       "/S /I1", false, {preview::warning::kOtherRoots}, "all.reg: 2 keys of other roots"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& [file, text] : c.files) Write(dir / c.name / file, text);
    const preview::FleetRow row =
        Row(dir / c.name, c.tail, {},
            c.use_package ? std::optional<std::string>((dir / "package").string()) : std::nullopt);
    ASSERT_FALSE(row.failed) << row.error;
    EXPECT_EQ(c.kinds, Kinds(row));
    if (!row.warnings.empty()) {
      EXPECT_NE(std::string::npos, row.warnings[0].text.find(c.text)) << row.warnings[0].text;
    }
  }
  // A silent setup without setup.iss is still silent; it has its warning.
  const preview::FleetRow no_iss =
      Row(dir / "no-iss", "/S /I1", {}, (dir / "package").string());
  EXPECT_EQ("silent", no_iss.setup);
  EXPECT_FALSE(no_iss.response_file_staged);
  EXPECT_EQ("none", Row(dir / "nt4", "/S /I1").setup);
  EXPECT_TRUE(Row(dir / "marker", "/S /I1").marker_left);
  fs::remove_all(dir);
}

// Each setting before and after, and why it is as it is; "(none)" for an
// absent value, so that an empty text shows as empty.
TEST(FleetRollout, SettingsBeforeAfterAndWhy) {
  const fs::path dir = Scratch("settings");
  const std::string settings_key =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings]\r\n";
  const struct {
    const char* name;
    const char* version;
    std::string corvane;
    const char* tail;
    // GinaInstallOption, SilentLeapOption, XRStatus, wModeSelect: before, after, why.
    std::vector<std::string> cells;
  } cases[] = {
      {"fresh-xp", kXp, "", "-gina /S /I1",
       {"(none)", "1", "option", "(none)", "(none)", "kept", "(none)", "0", "default", "(none)",
        "(none)", "kept"}},
      {"legacy-xp", kXp, kLegacy, "/S /I1",
       {"(none)", "1", "carried", "(none)", "(none)", "kept", "(none)", "0", "default",
        "(none)", "13", "carried"}},
      // The option writes even what was there already.
      {"same-xp", kXp, settings_key + "\"GinaInstallOption\"=\"1\"\r\n\"XRStatus\"=\"\"\r\n",
       "-gina /S /I1",
       {"1", "1", "option", "(none)", "(none)", "kept", "", "", "kept", "(none)", "(none)",
        "kept"}},
      {"mode-xp", kXp, settings_key + "\"wModeSelect\"=dword:00000004\r\n", "-wm=12",
       {"(none)", "0", "default", "(none)", "(none)", "kept", "(none)", "0", "default", "4",
        "12", "option"}},
      // Stored as a number, written back as its text.
      {"dword-xp", kXp, settings_key + "\"GinaInstallOption\"=dword:00000000\r\n", "/S /I1",
       {"0", "", "rewritten", "(none)", "(none)", "kept", "(none)", "0", "default", "(none)",
        "(none)", "kept"}},
      {"legacy-98", k98, kLegacy, "/S /I1",
       {"(none)", "(none)", "kept", "(none)", "(none)", "kept", "(none)", "(none)", "kept",
        "(none)", "(none)", "kept"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Write(dir / c.name / "ver.txt", c.version);
    Write(dir / c.name / "adapters.reg", kAdapters);
    if (!c.corvane.empty()) Write(dir / c.name / "corvane.reg", c.corvane);
    const preview::FleetRow row = Row(dir / c.name, c.tail);
    ASSERT_FALSE(row.failed) << row.error;
    // The CSV's own cells, by the header's column names.
    const std::string header = preview::FleetHeader();
    const std::string line = preview::FleetLine(row);
    std::vector<std::string> names, cells;
    for (size_t from = 0, end; from <= header.size(); from = end + 1) {
      end = std::min(header.find(',', from), header.size());
      names.push_back(header.substr(from, end - from));
    }
    for (size_t from = 0, end; from <= line.size(); from = end + 1) {
      end = std::min(line.find(',', from), line.size());
      cells.push_back(line.substr(from, end - from));
    }
    ASSERT_EQ(names.size(), cells.size()) << line;
    std::vector<std::string> shown;
    for (const char* setting : preview::kRowSettings) {
      for (const std::string& column :
           {std::string(setting) + "_before", std::string(setting), std::string(setting) + "_why"}) {
        const auto at = std::find(names.begin(), names.end(), column);
        ASSERT_NE(names.end(), at) << column;
        shown.push_back(cells[at - names.begin()]);
      }
    }
    EXPECT_EQ(c.cells, shown);
  }
  fs::remove_all(dir);
}

TEST(FleetRollout, JsonLinesHaveTheCsvColumns) {
  const fs::path dir = Scratch("json");
  Write(dir / "pc" / "ver.txt", kXp);
  Write(dir / "pc" / "corvane.reg", kLegacy);
  Write(dir / "bad" / "ver.txt", "\xFF\xFEgarbage\x01\r\n");
  const preview::FleetRow good = Row(dir / "pc", "-gina /S /I1");
  const preview::FleetRow bad = Row(dir / "bad", "-gina /S /I1");
  ASSERT_FALSE(good.failed);
  ASSERT_TRUE(bad.failed);
  EXPECT_EQ("ver.txt", bad.error_kind);

  std::vector<std::string> columns;
  const std::string header = preview::FleetHeader();
  for (size_t from = 0, end; from <= header.size(); from = end + 1) {
    end = std::min(header.find(',', from), header.size());
    columns.push_back(header.substr(from, end - from));
  }
  for (const preview::FleetRow* row : {&good, &bad}) {
    const nlohmann::ordered_json json = preview::FleetJson(*row);
    std::vector<std::string> keys;
    for (const auto& item : json.items()) keys.push_back(item.key());
    EXPECT_EQ(columns, keys);
    // One line each, and nothing that is not printable.
    const std::string text = preview::DumpJson(json);
    EXPECT_EQ(std::string::npos, text.find('\n'));
    EXPECT_EQ(text, preview::EscapeNotation(text));
  }
  const nlohmann::ordered_json json = preview::FleetJson(good);
  EXPECT_EQ(22, json["option"]);
  EXPECT_EQ(true, json["setup_starts"]);
  EXPECT_EQ(false, json["marker_left"]);
  EXPECT_TRUE(json["GinaInstallOption_before"].is_null());
  EXPECT_EQ("1", json["GinaInstallOption"]);
  EXPECT_EQ("13", json["wModeSelect"]);
  EXPECT_TRUE(json["error"].is_null());
  EXPECT_TRUE(json["warnings"].is_array());
  const nlohmann::ordered_json failed = preview::FleetJson(bad);
  EXPECT_TRUE(failed["family"].is_null());
  EXPECT_TRUE(failed["error"].is_string());
  // The CSV row of a bad ver.txt carries no raw byte either.
  const std::string line = preview::FleetLine(bad);
  EXPECT_EQ(line, preview::EscapeNotation(line));
  fs::remove_all(dir);
}

}  // namespace
