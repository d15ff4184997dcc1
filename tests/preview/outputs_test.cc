// Values from the field in a plan's outputs: escaped in its text, the real
// text in its JSON; and a key's default value named "@".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preview/exports/windows_version.h"
#include "preview/machine/changes.h"
#include "preview/machine/plan.h"
#include "preview/output/plan_output.h"
#include "tests/preview/test_machine.h"

namespace {

using json = nlohmann::ordered_json;
using preview_test::Cp1252;

// The plan of an XP machine whose installer key under HKEY_CURRENT_USER
// holds InstallOption (REGEDIT4 text, code page 1252), for an uninstall
// option, which reads it and moves it to HKEY_LOCAL_MACHINE.
preview::Plan PlanWithInstallOption(const std::string& quoted) {
  preview::Source source{"instuser.reg", {}};
  regfile::Error error;
  EXPECT_TRUE(regfile::Parse("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\VERDO Installer\\"
                             "Setting]\r\n\"InstallOption\"=\"" + quoted + "\"\r\n",
                             &source.file, &error))
      << error.message;
  preview::Machine machine;
  machine.version_word = *preview::ParseVersion("xp");
  machine.command_line = "C:\\Pkg\\launcher.exe /S /UNINSTALL";
  machine.sources = {source};
  return preview::MakePlan(machine, Cp1252());
}

TEST(PlanOutputs, FieldValuesEscapedInTextRealInJson) {
  const struct {
    std::string quoted;  // as the .reg file holds it
    std::string shown;   // in the plan's text, after "reads InstallOption = "
    std::string data;    // in its JSON
  } cases[] = {
      {"=HYPERLINK(\\\"http://x\\\",\\\"y\\\")", "\"=HYPERLINK(\\\"http://x\\\",\\\"y\\\")\"",
       "=HYPERLINK(\"http://x\",\"y\")"},
      // regedit's backslash stays single; 0x81 of code page 1252 is the C1
      // control U+0081, its 0x85 the ellipsis U+2026.
      {"a\\\\x0Ab\x81\x85", "\"a\\\\x0Ab\\u0081\xE2\x80\xA6\"", "a\\x0Ab\xC2\x81\xE2\x80\xA6"},
      {"tab\there", "\"tab\\x09here\"", "tab\there"},
      {"B\xFCro", "\"B\xC3\xBCro\"", "B\xC3\xBCro"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    const preview::Plan plan = PlanWithInstallOption(c.quoted);
    const std::string text = preview::PlanText(plan, Cp1252());
    EXPECT_NE(std::string::npos, text.find("\n      reads InstallOption = " + c.shown + "\n"))
        << text;
    std::vector<std::string> data;
    const json planned = preview::PlanJson(plan, Cp1252());
    for (const json& change : planned["changes"]) {
      if (change["name"] == "InstallOption" && change["op"] == "set_value") {
        data.push_back(change["data"].get<std::string>());
      }
    }
    EXPECT_EQ(std::vector<std::string>{c.data}, data);
  }
}

TEST(ChangesJson, DefaultValueIsAtAKeyHasNoName) {
  preview::UseFamilyRegistry(launcher::Family::kWindowsXP, Cp1252());
  const std::u16string key = memory::StoredName("SOFTWARE\\Corvane\\Other");
  const auto value = [](const char* name, const std::string& data) {
    return memory::StoredValue{memory::StoredName(name), 1,
                               memory::StoredData(1, data + std::string(1, '\0'))};
  };
  using Op = preview::Change::Op;
  const struct {
    preview::Change change;
    json name;
  } cases[] = {
      {{Op::kSetValue, platform::Root::kLocalMachine, key, value("", "v")}, "@"},
      {{Op::kDeleteValue, platform::Root::kLocalMachine, key, value("", "")}, "@"},
      {{Op::kSetValue, platform::Root::kLocalMachine, key, value("Name", "v")}, "Name"},
      {{Op::kCreateKey, platform::Root::kLocalMachine, key, {}}, nullptr},
      {{Op::kDeleteKey, platform::Root::kLocalMachine, key, {}}, nullptr},
  };
  for (const auto& c : cases) {
    const json changes = preview::ChangesJson({c.change}, Cp1252());
    ASSERT_EQ(1u, changes.size());
    EXPECT_EQ(c.name, changes[0]["name"]) << changes[0].dump();
  }
}

}  // namespace
