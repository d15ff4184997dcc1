// After the rollout: a machine's folder collected before the run is planned,
// and the one collected after it is judged against the plan, on what the
// launcher is responsible for only.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "adapter/write_block_size.h"
#include "preview/fleet/fleet.h"
#include "preview/fleet/verify.h"
#include "preview/machine/changes.h"
#include "preview/output/fleet_table.h"
#include "preview/output/verify_text.h"
#include "tests/preview/test_machine.h"

namespace {

namespace fs = std::filesystem;
using preview_test::Cp1252;
using preview_test::Write;
using preview::Difference;

constexpr const char* kXp = "Microsoft Windows XP [Version 5.1.2600]\r\n";
constexpr const char* k98 = "\r\nWindows 98 [Version 4.10.1998]\r\n";
constexpr const char* kNt4 = "\r\nWindows NT Version 4.0  \r\n";
const std::string kClass =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
    "{4D36E972-E325-11CE-BFC1-08002BE10318}";
const std::string kSettings = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings";

std::string Adapter(const std::string& number, const std::string& extra = "") {
  std::string id;
  for (const char* c = adapter::kHardwareIds[0]; *c != 0; ++c) {
    if (*c == '\\') id += '\\';
    id += *c;
  }
  return "[" + kClass + "\\" + number + "]\r\n\"ComponentId\"=\"" + id + "\"\r\n" + extra +
         "\r\n";
}

std::string Reg4(const std::string& body) { return "REGEDIT4\r\n\r\n" + body; }

// A machine, planned from its before-folder, and an after-folder made from
// the plan's own after-state, as regedit would export it, so that each case
// only adds what the real machine would differ by.
struct Rollout {
  fs::path dir;
  preview::FolderPlan planned;

  std::string ver;

  Rollout(const std::string& name, const char* ver_text, const std::string& tail,
          const std::string& before_reg)
      : ver(ver_text) {
    dir = fs::temp_directory_path() / ("launcher-preview-verify-" + name);
    fs::remove_all(dir);
    Write(dir / "before" / "ver.txt", ver_text);
    if (!before_reg.empty()) Write(dir / "before" / "corvane.reg", Reg4(before_reg));
    preview::FleetSetup setup;
    setup.tails.all = tail;
    preview::FolderError error;
    EXPECT_TRUE(preview::PlanFolder((dir / "before").string(), setup, Cp1252(), &planned, &error))
        << error.message;
  }
  ~Rollout() { fs::remove_all(dir); }

  // The after-folder: the planned state in the given form, staged.txt as
  // planned unless told otherwise, then the case's own changes.
  void After(regfile::Version version, bool staged, const std::string& changes,
             const std::vector<std::string>& drop_staged = {}) {
    const fs::path after = dir / "after";
    fs::remove_all(after);
    Write(after / "ver.txt", ver);
    const memory::UseMachine use = preview::UseMachineOf(planned.plan);
    const auto items = preview::StateItems(planned.plan.after);
    Write(after / "all.reg", regfile::Write(version,
                                            version == regfile::Version::k4
                                                ? regfile::Encoding::kBytes
                                                : regfile::Encoding::kUtf16,
                                            items));
    if (!changes.empty()) Write(after / "zz.reg", Reg4(changes));
    if (staged) {
      std::string names;
      for (const preview::StagedFile& file : planned.plan.staged) {
        if (std::find(drop_staged.begin(), drop_staged.end(), file.name) == drop_staged.end()) {
          names += file.name + "\r\n";
        }
      }
      Write(after / "staged.txt", names);
    }
  }

  preview::Verification Check() {
    preview::Collected collected;
    preview::FolderError error;
    EXPECT_TRUE(preview::ReadCollected((dir / "after").string(), &collected, &error))
        << error.message;
    return preview::Verify(planned.plan, collected, Cp1252(), planned.staged_before);
  }
};

TEST(Verify, EachVerdictAndEachKindOfDifference) {
  const std::string legacy =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
      "\"wModeSelect\"=dword:0000000d\r\n\r\n";
  const std::string marker = "[HKEY_LOCAL_MACHINE\\Software\\setup install]\r\n";
  // Every NT machine has the adapters' class key.
  const std::string nt = legacy + "[" + kClass + "]\r\n\r\n";
  const struct {
    const char* name;
    const char* ver;
    const char* tail;
    std::string before;
    regfile::Version version;
    bool staged;
    std::string changes;
    std::vector<std::string> drop_staged;
    const char* verdict;
    std::vector<std::string> what;  // the differences, by what they name
    std::vector<std::string> others;  // changed by others: key\name
  } cases[] = {
      {"as-planned-5", kXp, "/S /I1 /wbs", legacy + Adapter("0000"),
       regfile::Version::k5, true, "", {}, preview::verdict::kAsPlanned, {}, {}},
      {"as-planned-4", kXp, "-gina /S /I1", legacy, regfile::Version::k4, true, "", {},
       preview::verdict::kAsPlanned, {}, {}},
      {"as-planned-98", k98, "/S /I1", "", regfile::Version::k4, true, "", {},
       preview::verdict::kAsPlanned, {}, {}},
      // The setup writes its own settings: listed, not judged.
      {"setup-adds", kXp, "-gina /S /I1", legacy, regfile::Version::k5, true,
       "[" + kSettings + "]\r\n\"InstallDir\"=\"C:\\\\Client\"\r\n", {},
       preview::verdict::kAsPlanned, {}, {kSettings + "\\InstallDir"}},
      {"marker-left", kXp, "-gina /S /I1", legacy, regfile::Version::k5, true, marker, {},
       preview::verdict::kNotFinished, {"marker key"}, {}},
      {"by-hand", kXp, "-gina /S /I1", legacy, regfile::Version::k5, true,
       "[" + kSettings + "]\r\n\"GinaInstallOption\"=\"0\"\r\n", {},
       preview::verdict::kDiffers, {kSettings + "\\GinaInstallOption"}, {}},
      {"value-gone", kXp, "-gina /S /I1", legacy, regfile::Version::k4, true,
       "[" + kSettings + "]\r\n\"wModeSelect\"=-\r\n", {}, preview::verdict::kDiffers,
       {kSettings + "\\wModeSelect"}, {}},
      {"staged-deleted", kXp, "-gina /S /I1", legacy, regfile::Version::k5, true, "",
       {"setup.iss"}, preview::verdict::kDiffers, {"staged file setup.iss"}, {}},
      // Without staged.txt the staged files are not judged.
      {"no-staged-txt", kXp, "-gina /S /I1", legacy, regfile::Version::k5, false, "", {},
       preview::verdict::kAsPlanned, {}, {}},
      {"wbs-removed", kXp, "/S /I1 /wbs", legacy + Adapter("0000"),
       regfile::Version::k5, true, "[" + kClass + "\\0000]\r\n\"writeBlockSize\"=-\r\n", {},
       preview::verdict::kDiffers, {kClass + "\\0000\\writeBlockSize"}, {}},
      // An adapter the setup installed during the run is tuned too ...
      {"setup-adapter-tuned", kXp, "/S /I1 /wbs", nt, regfile::Version::k5, true,
       Adapter("0007", "\"writeBlockSize\"=\"1\"\r\n"), {}, preview::verdict::kAsPlanned, {},
       {kClass + "\\0007", kClass + "\\0007\\ComponentId", kClass + "\\0007\\writeBlockSize"}},
      // ... or it differs, found by the launcher's own adapter code.
      {"setup-adapter-untuned", kXp, "/S /I1 /wbs", nt, regfile::Version::k5, true,
       Adapter("0007"), {}, preview::verdict::kDiffers, {kClass + "\\0007\\writeBlockSize"},
       {kClass + "\\0007", kClass + "\\0007\\ComponentId"}},
      // Without /wbs an untuned adapter is none of the launcher's business.
      {"adapter-no-wbs", kXp, "-gina /S /I1", nt, regfile::Version::k5, true,
       Adapter("0007"), {}, preview::verdict::kAsPlanned, {},
       {kClass + "\\0007", kClass + "\\0007\\ComponentId"}},
      // No setup starts: the launcher's marker key stays, and nothing is
      // installed.
      {"no-setup-marker-stays", kNt4, "/S /I1", "", regfile::Version::k5, true, "", {},
       preview::verdict::kNoSetup, {}, {}},
      // The setup writes the key's default value: named @, never as a key.
      {"setup-adds-default", kXp, "-gina /S /I1", legacy, regfile::Version::k5, true,
       "[" + kSettings + "]\r\n@=\"x\"\r\n", {}, preview::verdict::kAsPlanned, {},
       {kSettings + "\\@"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rollout rollout(c.name, c.ver, c.tail, c.before);
    rollout.After(c.version, c.staged, c.changes, c.drop_staged);
    const preview::Verification v = rollout.Check();
    EXPECT_EQ(c.verdict, v.verdict) << preview::VerificationText(v);
    std::vector<std::string> what;
    for (const Difference& d : v.differences) {
      what.push_back(d.what.compare(0, 10, "marker key") == 0 ? "marker key" : d.what);
    }
    EXPECT_EQ(c.what, what) << preview::VerificationText(v);
    std::vector<std::string> others;
    for (const preview::OtherChange& o : v.changed_by_others) {
      others.push_back(o.key + (o.name.empty() ? "" : "\\" + o.name));
    }
    EXPECT_EQ(c.others, others) << preview::VerificationText(v);
  }
}

// Plans of several families are made first and verified afterwards, in any
// order: each verification has a machine of its own for what was found, and
// the thread's current machine stays as it was.
TEST(Verify, PlansOfSeveralFamiliesVerifiedAfterAllAreMade) {
  const std::string legacy =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
      "\"wModeSelect\"=dword:0000000d\r\n\"GinaInstallOption\"=\"B\xFCro\"\r\n\r\n";
  const std::string nt = legacy + "[" + kClass + "]\r\n\r\n";
  const std::string by_hand = "[" + kSettings + "]\r\n\"XRStatus\"=\"\xC4\"\r\n";
  const struct {
    const char* name;
    const char* ver;
    const char* tail;
    std::string before;
    std::string changes;
    const char* verdict;
  } cases[] = {
      {"together-98", k98, "/S /I1", legacy, "", preview::verdict::kAsPlanned},
      {"together-xp", kXp, "-gina -sl -XR /S /I3 /wbs", nt + Adapter("0000"), "",
       preview::verdict::kAsPlanned},
      {"together-xp-by-hand", kXp, "-gina -sl -XR /S /I3", nt, by_hand,
       preview::verdict::kDiffers},
      {"together-98-by-hand", k98, "-gina /S /I1", legacy, by_hand, preview::verdict::kAsPlanned},
      {"together-nt4", kNt4, "/S /I1", legacy, "", preview::verdict::kNoSetup},
  };
  memory::Reset();
  memory::PutKey(platform::Root::kLocalMachine, "SOFTWARE\\Mine");
  memory::Machine* const current = &memory::CurrentMachine();
  std::vector<std::unique_ptr<Rollout>> rollouts;
  for (const auto& c : cases) {
    rollouts.push_back(std::make_unique<Rollout>(c.name, c.ver, c.tail, c.before));
  }
  for (size_t i = 0; i < rollouts.size(); ++i) {
    rollouts[i]->After(regfile::Version::k4, true, cases[i].changes);
  }
  for (size_t i = rollouts.size(); i-- > 0;) {
    SCOPED_TRACE(cases[i].name);
    const preview::Verification v = rollouts[i]->Check();
    EXPECT_EQ(cases[i].verdict, v.verdict) << preview::VerificationText(v);
    EXPECT_EQ(current, &memory::CurrentMachine());
    EXPECT_TRUE(memory::HasKey(platform::Root::kLocalMachine, "SOFTWARE\\Mine"));
  }
}

TEST(Verify, NotRunWhenNothingPlannedIsFound) {
  const struct {
    const char* name;
    bool staged_txt;  // an empty staged.txt: the folder is absent
  } cases[] = {{"registry-only", false}, {"registry-and-staging", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rollout rollout(c.name, kXp, "-gina /S /I1",
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation "
                    "Program]\r\n\"wModeSelect\"=dword:0000000d\r\n");
    // Collected again, but nothing ran: the before-state.
    fs::copy(rollout.dir / "before", rollout.dir / "after");
    if (c.staged_txt) Write(rollout.dir / "after" / "staged.txt", "");
    const preview::Verification v = rollout.Check();
    EXPECT_EQ(preview::verdict::kNotRun, v.verdict) << preview::VerificationText(v);
    EXPECT_FALSE(v.differences.empty());
  }
}

// Every value the run writes is judged by what the run leaves, whatever it
// was before: a value the machine held already and that is gone or changed
// afterwards differs.
TEST(Verify, JudgesWhatTheRunWritesWhateverItWasBefore) {
  const std::string settings = "[" + kSettings + "]\r\n";
  const std::string legacy_only =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
      "\"wModeSelect\"=dword:0000000d\r\n\r\n";
  const struct {
    const char* name;
    const char* tail;
    std::string before;
    std::string changes;
    const char* verdict;
    std::vector<std::string> what;
  } cases[] = {
      {"gina-was-1-deleted", "-gina /S /I1", settings + "\"GinaInstallOption\"=\"1\"\r\n",
       settings + "\"GinaInstallOption\"=-\r\n", preview::verdict::kDiffers,
       {kSettings + "\\GinaInstallOption"}},
      {"gina-was-1-now-0", "-gina /S /I1", settings + "\"GinaInstallOption\"=\"1\"\r\n",
       settings + "\"GinaInstallOption\"=\"0\"\r\n", preview::verdict::kDiffers,
       {kSettings + "\\GinaInstallOption"}},
      {"gina-was-1-kept", "-gina /S /I1", settings + "\"GinaInstallOption\"=\"1\"\r\n", "",
       preview::verdict::kAsPlanned, {}},
      {"wm4-was-4-deleted", "-wm=4", settings + "\"wModeSelect\"=dword:00000004\r\n",
       settings + "\"wModeSelect\"=-\r\n", preview::verdict::kDiffers,
       {kSettings + "\\wModeSelect"}},
      // A carried value: deleted from the legacy key by the run, found back.
      {"carried-back", "", legacy_only,
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
       "\"wModeSelect\"=dword:0000000d\r\n",
       preview::verdict::kDiffers,
       {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program\\wModeSelect"}},
      // No adapters' key before: the wait still runs the fix, so an adapter
      // the setup installed must be tuned.
      {"wbs-no-class-key-before", "/S /I1 /wbs", legacy_only, Adapter("0007"),
       preview::verdict::kDiffers, {kClass + "\\0007\\writeBlockSize"}},
      {"wbs-no-class-key-before-tuned", "/S /I1 /wbs", legacy_only,
       Adapter("0007", "\"writeBlockSize\"=\"1\"\r\n"), preview::verdict::kAsPlanned, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rollout rollout(c.name, kXp, c.tail, c.before);
    rollout.After(regfile::Version::k5, true, c.changes);
    const preview::Verification v = rollout.Check();
    EXPECT_EQ(c.verdict, v.verdict) << preview::VerificationText(v);
    std::vector<std::string> what;
    for (const Difference& d : v.differences) what.push_back(d.what);
    EXPECT_EQ(c.what, what) << preview::VerificationText(v);
  }
}

// Folders that are no collection, or that cannot show whether the launcher
// ran, get a verdict that says so, never "not run" or "as planned".
TEST(Verify, CollectionsJudgedForWhatTheyAre) {
  const std::string nt = "[" + kClass + "]\r\n\r\n";
  enum class After { kEmpty, kVerOnly, kBefore, kBeforeStaged, kOtherVer, kRun };
  const struct {
    const char* name;
    const char* ver;
    const char* tail;
    std::string before;
    const char* staged_before;  // nullptr: none
    After after;
    const char* verdict;
  } cases[] = {
      {"empty", kXp, "-gina /S /I1", nt, nullptr, After::kEmpty, preview::verdict::kIncomplete},
      {"ver-only-xp", kXp, "-gina /S /I1", nt, nullptr, After::kVerOnly,
       preview::verdict::kIncomplete},
      {"ver-only-98", k98, "/S /I1", "", nullptr, After::kVerOnly, preview::verdict::kCannotTell},
      {"98-never-run", k98, "/S /I1", "", nullptr, After::kBefore, preview::verdict::kCannotTell},
      {"98-never-run-staged", k98, "/S /I1", "", "", After::kBeforeStaged,
       preview::verdict::kNotRun},
      // Everything it stages was staged before already.
      {"98-staged-before", k98, "/S /I1", "",
       "layout.bin\r\ndata1.cab\r\ndata2.cab\r\nikernel.ex_\r\ndata1.hdr\r\nsetup.ini\r\n"
       "setup.inx\r\nsetup.exe\r\nsetup.iss\r\nCorvaneAdminConfig.dat\r\n",
       After::kRun, preview::verdict::kCannotTell},
      {"98-run", k98, "/S /I1", "", "", After::kRun, preview::verdict::kAsPlanned},
      {"other-windows", kXp, "-gina /S /I1", nt, nullptr, After::kOtherVer,
       preview::verdict::kOtherWindows},
      {"nt4-never-run", kNt4, "/S /I1", "", nullptr, After::kBefore, preview::verdict::kNotRun},
      {"nt4-run", kNt4, "/S /I1", "", nullptr, After::kRun, preview::verdict::kNoSetup},
      {"xp-never-run", kXp, "-gina /S /I1", nt, nullptr, After::kBefore, preview::verdict::kNotRun},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rollout rollout(c.name, c.ver, c.tail, c.before);
    if (c.staged_before != nullptr) {
      Write(rollout.dir / "before" / "staged.txt", c.staged_before);
      preview::FleetSetup setup;
      setup.tails.all = c.tail;
      preview::FolderError error;
      ASSERT_TRUE(preview::PlanFolder((rollout.dir / "before").string(), setup, Cp1252(),
                                      &rollout.planned, &error));
    }
    const fs::path after = rollout.dir / "after";
    switch (c.after) {
      case After::kEmpty: fs::create_directories(after); break;
      case After::kVerOnly: Write(after / "ver.txt", c.ver); break;
      case After::kBefore:
      case After::kBeforeStaged:
        fs::copy(rollout.dir / "before", after);
        fs::remove(after / "staged.txt");
        if (c.after == After::kBeforeStaged) Write(after / "staged.txt", "");
        break;
      case After::kOtherVer:
        rollout.After(regfile::Version::k5, true, "");
        Write(after / "ver.txt", "Microsoft Windows 5.0.2195\r\n");
        break;
      case After::kRun: rollout.After(regfile::Version::k5, true, ""); break;
    }
    const preview::Verification v = rollout.Check();
    EXPECT_EQ(c.verdict, v.verdict) << preview::VerificationText(v);
    if (preview::NotJudged(v.verdict) || v.verdict == std::string(preview::verdict::kCannotTell)) {
      EXPECT_FALSE(v.note.empty());
    }
  }
}

TEST(Verify, JsonAndText) {
  preview::Verification v;
  v.verdict = preview::verdict::kDiffers;
  v.differences.push_back({"staged file setup.exe", "present", "missing"});
  v.changed_by_others.push_back({"HKEY_LOCAL_MACHINE\\SOFTWARE\\X", "", "key created"});
  const nlohmann::ordered_json json = preview::VerificationJson(v);
  EXPECT_EQ(
      R"({"verdict":"differs","differences":[{"what":"staged file setup.exe","planned":"present","found":"missing"}],"changed_by_others":[{"key":"HKEY_LOCAL_MACHINE\\SOFTWARE\\X","name":null,"found":"key created"}]})",
      json.dump());
  const std::string text = preview::VerificationText(v);
  EXPECT_EQ(0u, text.find("Verdict: differs\n"));
  EXPECT_NE(std::string::npos, text.find("staged file setup.exe"));
}

// What others changed, by name: a key's default value is "@", a key's own
// change has none (null in JSON); the text escapes names, not the notation.
TEST(Verify, OtherChangesNamed) {
  Rollout rollout("named", kXp, "-gina /S /I1", "");
  const std::string other = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Other";
  rollout.After(regfile::Version::k5, true,
                "[" + kSettings + "]\r\n@=\"by hand\"\r\n\"a\\\\x0Ab\"=\"C:\\\\Dir\"\r\n\r\n[" +
                    other + "]\r\n");
  const preview::Verification v = rollout.Check();
  const auto shown = [](const std::string& key) {
    std::string text;
    for (char c : key) text += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return text;
  };
  const struct {
    std::string key;
    nlohmann::ordered_json name;
    std::string found;
    std::string line;  // in the text
  } expected[] = {
      {kSettings, "@", "\"by hand\"", "  " + shown(kSettings) + "\\\\@: \"by hand\""},
      {kSettings, "a\\x0Ab", "\"C:\\\\Dir\"",
       "  " + shown(kSettings) + "\\\\a\\\\x0Ab: \"C:\\\\Dir\""},
      {other, nullptr, "key created", "  " + shown(other) + ": key created"},
  };
  const nlohmann::ordered_json json = preview::VerificationJson(v);
  const std::string text = preview::VerificationText(v);
  ASSERT_EQ(std::size(expected), json["changed_by_others"].size()) << text;
  for (size_t i = 0; i < std::size(expected); ++i) {
    const auto& e = expected[i];
    SCOPED_TRACE(e.line);
    const nlohmann::ordered_json& item = json["changed_by_others"][i];
    EXPECT_EQ(e.key, item["key"]);
    EXPECT_EQ(e.name, item["name"]);
    EXPECT_EQ(e.found, item["found"]);
    EXPECT_NE(std::string::npos, text.find("\n" + e.line + "\n")) << text;
  }
}

TEST(StagedNames, DirOutputInEitherEncoding) {
  const struct {
    std::string content;
    std::vector<std::string> names;
  } cases[] = {
      {"", {}},
      {"setup.exe\r\nsetup.iss\r\n", {"setup.exe", "setup.iss"}},
      {"setup.exe\nlayout.bin", {"setup.exe", "layout.bin"}},
      {"\r\n\r\nsetup.exe  \r\n\x1A", {"setup.exe"}},
      {std::string("\xFF\xFEs\0e\0\r\0\n\0x\0", 12), {"se", "x"}},
      {std::string("a\0b\0\r\0\n\0", 8), {"ab"}},  // cmd /u writes no mark
  };
  for (const auto& c : cases) EXPECT_EQ(c.names, preview::StagedNames(c.content));
}

// fleet --after-root: each machine's after-folder by its name in the fleet.
TEST(Verify, FleetRowsGetVerdicts) {
  Rollout rollout("fleet", kXp, "-gina /S /I1", "");
  rollout.After(regfile::Version::k5, true, "");
  const fs::path root = rollout.dir / "root";
  fs::create_directories(root);
  fs::copy(rollout.dir / "after", root / "before");  // the machine is named "before"
  preview::FleetSetup setup;
  setup.tails.all = "-gina /S /I1";
  setup.after_root = root.string();
  preview::FleetRow row =
      preview::PlanFleetMachine((rollout.dir / "before").string(), "before", setup, Cp1252());
  ASSERT_TRUE(row.verdict);
  EXPECT_EQ(preview::verdict::kAsPlanned, *row.verdict);
  EXPECT_NE(std::string::npos, preview::FleetHeader(true).find(",verdict,differences,error"));
  row = preview::PlanFleetMachine((rollout.dir / "before").string(), "elsewhere", setup, Cp1252());
  EXPECT_EQ(preview::verdict::kNotCollected, row.verdict.value_or(""));
}

}  // namespace
