// Plans at the sizes administrators met: a key of 20,000 values changed in
// the middle, 40,000 [-key] lines, a settings key with 20,000 other values.
// Only results are checked, never time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "preview/exports/export_reader.h"
#include "preview/exports/windows_version.h"
#include "preview/fleet/fleet.h"
#include "preview/machine/changes.h"
#include "preview/machine/plan.h"
#include "preview/output/fleet_table.h"
#include "preview/output/plan_output.h"
#include "tests/preview/test_machine.h"

namespace {

using memory::StoredKey;
using memory::StoredValue;
using preview::Change;
using preview_test::Cp1252;
using platform::Root;

constexpr int kMany = 20000;

std::string Name(const char* prefix, int n) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%05d", prefix, n);
  return text;
}

std::u16string U(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string Describe(const Change& change) {
  static const char* const kOps[] = {"create", "set", "delete", "remove"};
  std::string text = std::string(kOps[static_cast<int>(change.op)]) + " ";
  for (char16_t c : change.path + u":" + change.value.name) text += static_cast<char>(c);
  return text + " " + std::to_string(change.value.type) + " " + change.value.data;
}

const struct {
  const char* name;
  launcher::Family family;
} kFamilies[] = {{"9x (bytes)", launcher::Family::kWindows9x},
                 {"XP (UTF-16)", launcher::Family::kWindowsXP}};

TEST(PreviewScale, DiffOfAKeyWithTwentyThousandValuesChangedAmongThem) {
  for (const auto& f : kFamilies) {
    SCOPED_TRACE(f.name);
    preview::UseFamilyRegistry(f.family, Cp1252());
    StoredKey before{Root::kLocalMachine, u"SOFTWARE\\Big", {}};
    StoredKey after{Root::kLocalMachine, u"software\\BIG", {}};
    std::vector<std::string> deleted, set;
    for (int i = 0; i < kMany; ++i) {
      before.values.push_back({U(Name("Value", i)), 1, Name("d", i)});
      switch (i % 7) {
        case 0:  // deleted
          deleted.push_back("delete software\\BIG:" + Name("Value", i) + " 0 ");
          break;
        case 1:  // new data
          after.values.push_back({U(Name("Value", i)), 1, Name("new", i)});
          break;
        case 2:  // another type, the same bytes
          after.values.push_back({U(Name("Value", i)), 2, Name("d", i)});
          break;
        case 3:  // only the spelling: no change
          after.values.push_back({U(Name("VALUE", i)), 1, Name("d", i)});
          break;
        case 4:  // another spelling and new data: set as the after-state spells it
          after.values.push_back({U(Name("vALUE", i)), 1, Name("new", i)});
          break;
        default:
          after.values.push_back({U(Name("Value", i)), 1, Name("d", i)});
          break;
      }
      if (i % 40 == 0) after.values.push_back({U(Name("Added", i)), 4, "\x01\x02\x03\x04"});
    }
    // The after-state lists them in another order: sets follow it.
    std::reverse(after.values.begin(), after.values.end());
    for (const StoredValue& value : after.values) {
      const std::string name(value.name.begin(), value.name.end());
      const int i = std::stoi(name.substr(5));
      const bool added = name.compare(0, 5, "Added") == 0;
      if (added || i % 7 == 1 || i % 7 == 2 || i % 7 == 4) {
        set.push_back("set software\\BIG:" + name + " " + std::to_string(value.type) + " " +
                      value.data);
      }
    }
    const StoredKey gone{Root::kLocalMachine, u"SOFTWARE\\Big\\Gone", {{u"x", 1, "y"}}};
    const StoredKey made{Root::kCurrentUser, u"Software\\Made", {{u"m", 4, "1234"}}};
    // Keys in order (HKEY_LOCAL_MACHINE first), spelled as after the run;
    // per key its deletions in the before-state's order, then its sets in
    // the after-state's; removed keys last, spelled as before.
    std::vector<std::string> expected = deleted;
    expected.insert(expected.end(), set.begin(), set.end());
    expected.push_back("create Software\\Made: 0 ");
    expected.push_back("set Software\\Made:m 4 1234");
    expected.push_back("remove SOFTWARE\\Big\\Gone: 0 ");

    std::vector<std::string> changes;
    for (const Change& change : preview::Diff({before, gone}, {after, made})) {
      changes.push_back(Describe(change));
    }
    ASSERT_EQ(expected.size(), changes.size());
    for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(expected[i], changes[i]) << i;
  }
}

preview::Source Reg4(const std::string& body, const char* name = "corvane.reg") {
  preview::Source source{name, {}};
  const std::string text = "REGEDIT4\r\n" + body;
  regfile::MemoryInput input(text);
  regfile::Error error;
  EXPECT_TRUE(preview::ReadSource(input, preview::Keep::kLauncherKeys, {}, &source, &error))
      << error.line << ": " << error.message;
  return source;
}

// 400 groups of 100 keys, then 40,000 [-key] lines: every other key, every
// tenth group whole (names that only begin like a group's stay), and keys
// that were never there.
TEST(PreviewScale, FortyThousandKeyDeletions) {
  const std::string top = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\P\\";
  std::ostringstream body;
  std::set<std::string> expected;  // stored paths of the keys still named
  const auto group = [](int g) { return Name("G", g); };
  for (int g = 0; g < 400; ++g) {
    for (int k = 0; k < 100; ++k) {
      const std::string key = group(g) + "\\" + Name("K", k);
      body << "\r\n[" << top << key << "]\r\n\"N\"=\"" << k << "\"\r\n";
      if (k % 2 == 1 && g % 10 != 3) expected.insert("SOFTWARE\\Corvane\\P\\" + key);
    }
    // Names sorted just before and after those below the group.
    for (const char* near : {" B", "-x", "0", "]", "_x", "~"}) {
      body << "\r\n[" << top << group(g) << near << "]\r\n";
      expected.insert("SOFTWARE\\Corvane\\P\\" + group(g) + near);
    }
  }
  int deletions = 0;
  for (int g = 0; g < 400; ++g) {
    for (int k = 0; k < 100; k += 2, ++deletions) {
      body << "\r\n[-" << top << group(g) << "\\" << Name("k", k) << "]\r\n";
    }
    if (g % 10 == 3) {
      body << "\r\n[-" << top << group(g) << "]\r\n";
      ++deletions;
    }
    for (int n = 0; n < 50; ++n, ++deletions) {
      body << "\r\n[-" << top << group(g) << "\\" << Name("Never", n) << "]\r\n";
    }
  }
  ASSERT_GE(deletions, 40000);
  const std::vector<preview::Source> sources = {Reg4(body.str())};
  for (const auto& f : kFamilies) {
    SCOPED_TRACE(f.name);
    preview::UseFamilyRegistry(f.family, Cp1252());
    preview::StoreStandardKeys();
    const std::set<preview::KeyId> listed = preview::LoadSources(sources, Cp1252());
    std::set<preview::KeyId> want;
    for (const std::string& path : expected) want.insert(preview::IdOf(Root::kLocalMachine, U(path)));
    ASSERT_EQ(want.size(), listed.size());
    EXPECT_TRUE(want == listed);
    // The registry holds what is named and their parents, nothing else.
    const std::string p = "SOFTWARE\\Corvane\\P\\";
    size_t below = 0;
    for (const StoredKey& key : memory::SavedRegistry()) {
      const std::string path(key.path.begin(), key.path.end());
      if (path.compare(0, p.size(), p) != 0) continue;
      ++below;
      // Else a group itself, made as the parent of its keys.
      EXPECT_TRUE(expected.count(path) != 0 || path.size() == p.size() + group(0).size()) << path;
    }
    EXPECT_EQ(expected.size() + 360, below);  // and the 360 groups not removed
  }
}

// The text of a settings key (HKEY_LOCAL_MACHINE, REGEDIT4) with the
// client's values and, between them, `extra` others.
std::string SettingsKey(int extra) {
  std::string body =
      "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings]\r\n"
      "\"GinaInstallOption\"=\"0\"\r\n";
  for (int i = 0; i < extra; ++i) {
    body += "\"" + Name("Extra", i) + "\"=" +
            (i % 2 ? "dword:0000" + Name("", i % 10000).substr(1) : "\"text " + std::to_string(i) + "\"") +
            "\r\n";
  }
  return body +
         "\"wModeSelect\"=dword:00000004\r\n"
         "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
         "\"SilentLeapOption\"=\"1\"\r\n\"XRstatus\"=\"1\"\r\n";
}

TEST(PreviewScale, SettingsKeyWithTwentyThousandOtherValuesPlansAsWithout) {
  const struct {
    const char* windows;
    const char* tail;
    bool writes;  // settings change (not on 9x)
  } cases[] = {{"xp", "-gina -sl -XR /S /I1", true}, {"2000", "-wm=12 /S /I3", true},
               {"xp", "/S /UPDATE", true}, {"98", "/S /I1", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.windows) + " " + c.tail);
    std::string text[2], json[2], line[2];
    size_t changes[2];
    for (int big = 0; big < 2; ++big) {
      preview::Machine machine;
      machine.version_word = *preview::ParseVersion(c.windows);
      machine.command_line = std::string("C:\\Pkg\\launcher.exe ") + c.tail;
      machine.sources = {Reg4(SettingsKey(big ? kMany : 0))};
      const preview::Plan plan = preview::MakePlan(machine, Cp1252());
      text[big] = preview::PlanText(plan, Cp1252());
      json[big] = preview::PlanJson(plan, Cp1252()).dump();
      line[big] = preview::FleetLine(preview::RowOfPlan(plan, "m", {}, Cp1252()));
      changes[big] = plan.changes.size();
    }
    EXPECT_EQ(json[0], json[1]);
    EXPECT_EQ(line[0], line[1]);
    EXPECT_EQ(changes[0], changes[1]);
    EXPECT_EQ(c.writes, changes[0] > 0);
    // The text differs by the other values' rows only, in the key's order,
    // each the same before and after.
    std::istringstream lines(text[1]);
    std::string without, row;
    int next = 0;
    while (std::getline(lines, row)) {
      if (row.find("Extra") == std::string::npos) {
        without += row + "\n";
        continue;
      }
      ASSERT_EQ(0u, row.find("    " + Name("Extra", next))) << row;
      // Columns of 22 and 30 after the indent, as the table sets them.
      std::string was = row.substr(26, 30);
      was.erase(was.find_last_not_of(' ') + 1);
      EXPECT_EQ(was, row.substr(56)) << row;
      ++next;
    }
    EXPECT_EQ(kMany, next);
    EXPECT_EQ(text[0], without);
  }
}

}  // namespace
