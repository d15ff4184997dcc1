// Exports read for a plan: only the launcher's keys and their parents' key
// lines are kept, yet a whole-registry export plans as the same export
// holding only the launcher's keys, its warnings count every key line, and
// a bad line anywhere is still reported with its line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "preview/exports/export_reader.h"
#include "preview/exports/windows_version.h"
#include "preview/fleet/fleet.h"
#include "preview/fleet/machine_folder.h"
#include "preview/machine/plan.h"
#include "preview/output/fleet_table.h"
#include "preview/output/plan_output.h"
#include "tests/preview/test_machine.h"

namespace {

namespace fs = std::filesystem;
using preview::Keep;
using preview_test::Cp1252;
using regfile::Item;

std::string Bytes(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += static_cast<char>(c);
  return out;
}

std::string Utf16(const std::u16string& text) {
  std::string out = "\xFF\xFE";
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

preview::Source Read(const std::string& content, Keep keep, const std::string& name = "x.reg") {
  preview::Source source{name, {}};
  regfile::MemoryInput input(content);
  regfile::Error error;
  EXPECT_TRUE(preview::ReadSource(input, keep, {}, &source, &error))
      << error.line << ": " << error.message;
  return source;
}

// Items as "key ROOT\path", "delete ROOT\path", "value ROOT\path:name".
std::vector<std::string> Kept(const preview::Source& source) {
  std::vector<std::string> items;
  for (const Item& item : source.file.items) {
    std::string path = item.key.root == platform::Root::kLocalMachine ? "HKLM" : "HKCU";
    path += "\\" + Bytes(item.key.path);
    switch (item.kind) {
      case Item::Kind::kKey: items.push_back("key " + path); break;
      case Item::Kind::kDeleteKey: items.push_back("delete " + path); break;
      default: items.push_back("value " + path + ":" + Bytes(item.name)); break;
    }
  }
  return items;
}

// The counts: all key lines, then those within each exported key.
std::string Counts(const preview::KeyLineCounts& counts) {
  std::string text = std::to_string(counts.all) + " /";
  for (int n : counts.within) text += " " + std::to_string(n);
  return text;
}

TEST(ExportReader, KeepsTheLaunchersKeysAndTheirParentsKeyLines) {
  const struct {
    const char* name;
    std::u16string lines;
    std::vector<std::string> kept;
    const char* counts;  // all / corvane instmach instuser adapters marker
  } cases[] = {
      {"a launcher key and below, any letter case",
       u"[HKEY_LOCAL_MACHINE\\software\\CORVANE\\NLX]\r\n\"A\"=\"1\"\r\n"
       u"[HKEY_CURRENT_USER\\Software\\VERDO Installer\\Setting]\r\n\"B\"=-\r\n",
       {"key HKLM\\software\\CORVANE\\NLX", "value HKLM\\software\\CORVANE\\NLX:A",
        "key HKCU\\Software\\VERDO Installer\\Setting", "value HKCU\\Software\\VERDO Installer\\Setting:B"},
       "2 / 1 0 1 0 0"},
      {"parents: the key line, not its values",
       u"[HKEY_LOCAL_MACHINE]\r\n@=\"r\"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"A\"=\"1\"\r\n"
       u"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class]\r\n\"B\"=dword:1\r\n",
       {"key HKLM\\", "key HKLM\\SOFTWARE", "key HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class"},
       "3 / 0 0 0 0 0"},
      {"another key stands for the parents it shares, in its letter case",
       u"[HKEY_LOCAL_MACHINE\\system\\CURRENTCONTROLSET\\Services\\Tcpip]\r\n\"A\"=\"1\"\r\n",
       {"key HKLM\\system\\CURRENTCONTROLSET"}, "1 / 0 0 0 0 0"},
      {"the same parent again with nothing between: once",
       u"[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Adobe]\r\n"
       u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Adobe\\Reader]\r\n\"A\"=\"1\"\r\n"
       u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane]\r\n\"C\"=\"1\"\r\n"
       u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft]\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zeta]\r\n",
       {"key HKLM\\SOFTWARE", "key HKLM\\SOFTWARE\\Corvane", "value HKLM\\SOFTWARE\\Corvane:C",
        "key HKLM\\SOFTWARE"},
       "6 / 1 0 0 0 0"},
      {"a name that only begins like a launcher key's is another",
       u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane2\\X]\r\n[HKEY_LOCAL_MACHINE\\SOFT]\r\n"
       u"[HKEY_CURRENT_USER\\Software\\VERDO Installer2]\r\n",
       {"key HKLM\\SOFTWARE", "key HKCU\\Software"}, "3 / 0 0 0 0 0"},
      {"keys that share no parent with the launcher's",
       u"[HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION]\r\n\"A\"=\"1\"\r\n"
       u"[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n[-HKEY_CURRENT_USER\\Printers]\r\n",
       {}, "3 / 0 0 0 0 0"},
      {"deletions: of a parent and below a launcher key kept, of another key dropped",
       u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Adobe]\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
       u"[-HKEY_LOCAL_MACHINE\\Software\\setup install]\r\n",
       {"delete HKLM\\SOFTWARE", "delete HKLM\\Software\\setup install"}, "3 / 0 0 0 0 1"},
      {"names beyond ASCII stay whole: some registry may fold them onto the launcher's",
       u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\C\u00f6rvane]\r\n\"A\"=\"1\"\r\n",
       {"key HKLM\\SOFTWARE\\C\xF6rvane", "value HKLM\\SOFTWARE\\C\xF6rvane:A"}, "1 / 0 0 0 0 0"},
      {"other roots: counted apart, never kept",
       u"[HKEY_CLASSES_ROOT\\.txt]\r\n@=\"txtfile\"\r\n[HKEY_USERS\\S-1-5-18\\Software\\Corvane]\r\n",
       {}, "0 / 0 0 0 0 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string content = Bytes(u"REGEDIT4\r\n\r\n" + c.lines);
    const preview::Source launcher = Read(content, Keep::kLauncherKeys);
    EXPECT_EQ(c.kept, Kept(launcher));
    EXPECT_EQ(c.counts, Counts(launcher.key_lines));
    // Read whole, the file keeps everything and counts the same.
    const preview::Source whole = Read(content, Keep::kEveryKey);
    regfile::File parsed;
    regfile::Error error;
    ASSERT_TRUE(regfile::Parse(content, &parsed, &error));
    EXPECT_EQ(parsed.items.size(), whole.file.items.size());
    EXPECT_EQ(c.counts, Counts(whole.key_lines));
    EXPECT_EQ(parsed.skipped_other_root_keys, launcher.file.skipped_other_root_keys);
  }
}

const char kClass[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
    "{4D36E972-E325-11CE-BFC1-08002BE10318}";

// The launcher's keys as an export of them holds them.
std::u16string LauncherKeys() {
  std::u16string text =
      u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane]\r\n"
      u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
      u"\"GinaInstallOption\"=\"1\"\r\n\"wModeSelect\"=dword:0000000c\r\n"
      u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings]\r\n"
      u"\"XRStatus\"=\"1\"\r\n\"InstallDir\"=\"C:\\\\Program Files\\\\Client\"\r\n"
      u"\r\n[HKEY_LOCAL_MACHINE\\Software\\VERDO Installer\\Setting]\r\n"
      u"\"InstallOption\"=\"Install Driver Only\"\r\n";
  for (int i = 0; i < 3; ++i) {
    const std::u16string id = i == 1 ? u"PCI\\\\VEN_8086&DEV_100E" : u"PCI\\\\VEN_FC7A&DEV_1001&SUBSYS_0001FC7A";
    std::u16string key;
    for (const char* c = kClass; *c != 0; ++c) key += static_cast<char16_t>(*c);
    text += u"\r\n[" + key + u"\\000" + static_cast<char16_t>(u'0' + i) + u"]\r\n\"ComponentId\"=\"" +
            id + u"\"\r\n";
  }
  return text + u"\r\n[HKEY_CURRENT_USER\\Software\\VERDO Installer]\r\n";
}

// Keys below top that the launcher never reads, with values of every form.
std::u16string Others(const std::u16string& top, int keys) {
  std::u16string text;
  for (int k = 0; k < keys; ++k) {
    std::u16string n;
    for (char c : std::to_string(k)) n += static_cast<char16_t>(c);
    text += u"\r\n[" + top + u"\\Vendor" + n + u"]\r\n\"Path\"=\"C:\\\\x\\\\" + n +
            u"\"\r\n\"N\"=dword:000000" + (k % 2 ? u"1f" : u"02") +
            u"\r\n\"Bin\"=hex(7):41,00,00,00,\\\r\n  00,00\r\n@=\"\"\r\n";
  }
  return text;
}

// A whole-registry export: every root, HKEY_LOCAL_MACHINE mostly other
// keys, the launcher's keys among them as regedit lists them.
std::u16string WholeRegistry(int others) {
  return u"\r\n[HKEY_LOCAL_MACHINE]\r\n\r\n[HKEY_LOCAL_MACHINE\\HARDWARE]\r\n" +
         Others(u"HKEY_LOCAL_MACHINE\\HARDWARE", others) + u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n" +
         Others(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes", others) + LauncherKeys() +
         Others(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", others) +
         Others(u"HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001", others) +
         Others(u"HKEY_CLASSES_ROOT", others) + Others(u"HKEY_CURRENT_USER\\Control Panel", others) +
         Others(u"HKEY_CURRENT_USER\\Software\\Microsoft", others) +
         Others(u"HKEY_USERS\\S-1-5-21-1004", others) + Others(u"HKEY_CURRENT_CONFIG\\System", others);
}

// What a plan says: its text, its JSON and its row without folder warnings.
std::string Said(const std::vector<preview::Source>& sources, const char* windows,
                 const char* tail) {
  preview::Machine machine;
  machine.version_word = *preview::ParseVersion(windows);
  machine.command_line = std::string("C:\\Pkg\\launcher.exe ") + tail;
  machine.sources = sources;
  const preview::Plan plan = preview::MakePlan(machine, Cp1252());
  return preview::PlanText(plan, Cp1252()) + preview::PlanJson(plan, Cp1252()).dump(1) +
         preview::FleetLine(preview::RowOfPlan(plan, "m", {}, Cp1252()));
}


TEST(ExportReader, WholeRegistryExportPlansAsItsLauncherKeysAlone) {
  const std::u16string header5 = u"Windows Registry Editor Version 5.00\r\n";
  const std::u16string header4 = u"REGEDIT4\r\n";
  const std::u16string weird_parents =
      u"\r\n[HKEY_LOCAL_MACHINE\\system\\CURRENTCONTROLSET\\Services\\Tcpip]\r\n"
      u"\r\n[HKEY_LOCAL_MACHINE\\software]\r\n";
  const struct {
    const char* name;
    std::string whole;
    std::string alone;  // the launcher's keys only; empty: compare with the whole read
    const char* windows;
    const char* tail;
    const char* shows;  // in the plan (JSON escapes backslashes): what the case is about
  } cases[] = {
      {"XP, version 5", Utf16(header5 + WholeRegistry(400)), Utf16(header5 + LauncherKeys()), "xp",
       "/S /I1 /wbs", "on adapter 0000, 0002"},
      {"2000, version 5", Utf16(header5 + WholeRegistry(400)), Utf16(header5 + LauncherKeys()),
       "2000", "-gina /S /UPDATE", "SUPDATEDA.iss"},
      {"98, REGEDIT4", Bytes(header4 + WholeRegistry(400)), Bytes(header4 + LauncherKeys()), "98",
       "/S /I1", "SI1.iss"},
      // Parents spelled otherwise before the launcher's keys: the first
      // spelling wins, so only the whole read tells.
      {"parents in other letter case first", Utf16(header5 + weird_parents + WholeRegistry(50)), "",
       "xp", "/S /UPDATE /wbs", "SYSTEM\\\\CURRENTCONTROLSET\\\\Control\\\\Class"},
      // A deletion of a parent removes the launcher's keys before it.
      {"a parent deleted between",
       Utf16(header5 + LauncherKeys() + Others(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Adobe", 20) +
             u"\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n" +
             Others(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Zeta", 20) +
             u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings]\r\n\"A\"=\"1\"\r\n"),
       "", "xp", "-gina /S /I1", "Corvane Client Installation Program (no key)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const preview::Source launcher = Read(c.whole, Keep::kLauncherKeys, "all.reg");
    const preview::Source every = Read(c.whole, Keep::kEveryKey, "all.reg");
    ASSERT_GT(every.file.items.size(), 2 * launcher.file.items.size());
    const std::string said = Said({launcher}, c.windows, c.tail);
    EXPECT_NE(std::string::npos, said.find(c.shows)) << said;
    EXPECT_EQ(Said({every}, c.windows, c.tail), said);
    if (!c.alone.empty()) {
      EXPECT_EQ(Said({Read(c.alone, Keep::kEveryKey)}, c.windows, c.tail), said);
    }
    // The warnings count the keys read past.
    for (bool nt : {false, true}) {
      std::vector<std::string> texts, every_texts;
      for (const preview::Warning& w : preview::ExportWarnings({launcher}, nt)) texts.push_back(w.text);
      for (const preview::Warning& w : preview::ExportWarnings({every}, nt)) {
        every_texts.push_back(w.text);
      }
      EXPECT_EQ(every_texts, texts);
    }
  }
}

// The warnings of a whole-registry export saved under an export's name.
TEST(ExportReader, WarningsCountEveryKeyLineOfTheFile) {
  const fs::path dir = fs::temp_directory_path() / "export_reader_warnings";
  fs::remove_all(dir);
  const std::u16string whole = u"Windows Registry Editor Version 5.00\r\n" + WholeRegistry(300);
  preview_test::Write(dir / "pc" / "ver.txt", "Microsoft Windows XP [Version 5.1.2600]\r\n");
  preview_test::Write(dir / "pc" / "corvane.reg", Utf16(whole));
  preview_test::Write(dir / "pc" / "Copy of corvane.reg", Utf16(whole));
  // Key lines of the two roots: HKLM, HARDWARE and SOFTWARE, 4 x 300 other
  // keys there and 2 x 300 under HKCU, the launcher's 8 (3 of them
  // Corvane's).
  const int all = 3 + 6 * 300 + 8;
  const struct {
    const char* kind;
    std::string text;
  } expected[] = {
      {preview::warning::kOtherRoots,
       "Copy of corvane.reg: 900 keys of other roots than HKEY_LOCAL_MACHINE and "
       "HKEY_CURRENT_USER skipped"},
      {preview::warning::kOtherRoots,
       "corvane.reg: 900 keys of other roots than HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER "
       "skipped"},
      {preview::warning::kForeignKeys, "corvane.reg holds " + std::to_string(all - 3) +
                                           " keys outside HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane"},
      {preview::warning::kSeveralExports,
       "2 files hold HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane, merged in name order: Copy of "
       "corvane.reg, corvane.reg"},
      {preview::warning::kSeveralExports,
       "2 files hold HKEY_LOCAL_MACHINE\\Software\\VERDO Installer, merged in name order: Copy "
       "of corvane.reg, corvane.reg"},
      {preview::warning::kSeveralExports,
       "2 files hold HKEY_CURRENT_USER\\Software\\VERDO Installer, merged in name order: Copy "
       "of corvane.reg, corvane.reg"},
      {preview::warning::kSeveralExports,
       "2 files hold HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
       "{4D36E972-E325-11CE-BFC1-08002BE10318}, merged in name order: Copy of corvane.reg, "
       "corvane.reg"},
  };
  for (Keep keep : {Keep::kLauncherKeys, Keep::kEveryKey}) {
    SCOPED_TRACE(keep == Keep::kLauncherKeys ? "launcher's keys" : "every key");
    preview::MachineFolder machine;
    preview::FolderError error;
    ASSERT_TRUE(preview::ReadMachineFolder((dir / "pc").string(), true, &machine, &error, {}, keep))
        << error.message;
    const std::vector<preview::Warning> warnings = preview::ExportWarnings(machine.sources, true);
    ASSERT_EQ(std::size(expected), warnings.size());
    for (size_t i = 0; i < warnings.size(); ++i) {
      EXPECT_EQ(expected[i].kind, warnings[i].kind);
      EXPECT_EQ(expected[i].text, warnings[i].text);
    }
  }
  fs::remove_all(dir);
}

TEST(ExportReader, BadLineFarBeyondTheKeptKeysIsReportedAtItsLine) {
  const fs::path dir = fs::temp_directory_path() / "export_reader_bad";
  fs::remove_all(dir);
  const std::u16string head = u"Windows Registry Editor Version 5.00\r\n" + LauncherKeys() +
                              Others(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", 2000) +
                              u"\r\n[HKEY_CLASSES_ROOT\\.txt]\r\n";
  int line = 1;
  for (char16_t c : head) line += c == u'\n';
  const struct {
    const char* name;
    std::u16string bad;
    const char* message;
  } cases[] = {
      {"bad data", u"\"x\"=dword:1234567890\r\n", "bad dword"},
      {"unknown escape", u"\"x\"=\"a\\q\"\r\n", "unknown escape \\q"},
      {"bad hex continued", u"\"x\"=hex:01,\\\r\n  zz\r\n", "bad hex byte"},
      {"unclosed key", u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zeta\r\n", "unclosed bracket"},
      {"a value after a deletion", u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Zeta]\r\n@=\"\"\r\n",
       "value outside a key"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The hex case's bad byte is on the line after its value's.
    const int at = line + (c.bad.find(u"zz") != std::u16string::npos ||
                           c.bad.find(u"[-") != std::u16string::npos);
    preview_test::Write(dir / "pc" / "all.reg", Utf16(head + c.bad + u"\r\n[HKEY_USERS\\x]\r\n"));
    for (Keep keep : {Keep::kLauncherKeys, Keep::kEveryKey}) {
      preview::MachineFolder machine;
      preview::FolderError error;
      EXPECT_FALSE(
          preview::ReadMachineFolder((dir / "pc").string(), false, &machine, &error, {}, keep));
      EXPECT_EQ((dir / "pc" / "all.reg").string() + ":" + std::to_string(at) + ": " + c.message,
                error.message);
      EXPECT_EQ(".reg file", error.kind);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
