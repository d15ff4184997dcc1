#include "preview/fleet/fleet.h"

#include <filesystem>

#include "launcher/launcher.h"
#include "launcher/options.h"
#include "preview/exports/paths.h"
#include "preview/exports/unicode.h"
#include "preview/exports/windows_version.h"
#include "preview/fleet/verify.h"
#include "preview/machine/run_facts.h"
#include "settings/layout.h"

namespace preview {

namespace fs = std::filesystem;

std::optional<std::string> Setting(const KeyIndex& keys, const char* name,
                                   const CodePage& code_page) {
  const memory::StoredValue* value = FindValue(
      keys, IdOf(platform::Root::kLocalMachine, memory::StoredName(settings::kSettingsKey)),
      memory::StoredName(name));
  if (value == nullptr) return std::nullopt;
  const std::string bytes = memory::ProgramData(*value);
  if (value->type == 4 && bytes.size() == 4) {
    unsigned long n = 0;
    for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>(bytes[i]);
    return std::to_string(n);
  }
  return Utf8FromAnsi(bytes.substr(0, bytes.find('\0')), code_page);
}

std::optional<std::string> Setting(const Image& image, const char* name,
                                   const CodePage& code_page) {
  return Setting(KeyIndex(image), name, code_page);
}

FleetRow RowOfPlan(const Plan& plan, const std::string& machine,
                   std::vector<Warning> folder_warnings, const CodePage& code_page) {
  const memory::UseMachine use = UseMachineOf(plan);
  FleetRow row;
  row.machine = machine;
  row.family = FamilyName(plan.family);
  row.windows = DescribeVersion(plan.version_word);
  row.tail = Utf8FromAnsi(plan.tail, code_page);
  row.option = plan.option == launcher::kNoOption ? 0 : plan.option;
  row.response_file = plan.response_file ? Utf8FromAnsi(*plan.response_file, code_page) : "";
  row.setup_starts = plan.setup_started;
  row.setup = !plan.setup_started ? "none" : plan.silent ? "silent" : "interactive";
  row.response_file_staged = plan.response_staged;
  row.waits = plan.waits;
  const KeyIndex before(plan.before), after(plan.after);
  row.marker_left =
      before.count(IdOf(platform::Root::kLocalMachine,
                        memory::StoredName(launcher::kMarkerKeyPath))) != 0;
  for (size_t i = 0; i < kRowSettingCount; ++i) {
    SettingCells& cells = row.settings[i];
    cells.before = Setting(before, kRowSettings[i], code_page);
    cells.after = Setting(after, kRowSettings[i], code_page);
    cells.why = WhyValue(plan.journal, platform::Root::kLocalMachine, settings::kSettingsKey,
                         kRowSettings[i], cells.before != cells.after);
  }
  if (plan.full_install) row.install_type = *plan.full_install ? "full" : "driver only";
  for (const std::string& name : plan.adapters_tuned) {
    row.adapters_tuned.push_back(Utf8FromAnsi(name, code_page));
  }

  std::vector<Warning>& w = row.warnings;
  if (plan.option == launcher::kNoOption) {
    w.push_back({warning::kNoOption, "the tail \"" + row.tail + "\" matches no option"});
  }
  if (row.setup == "none") {
    w.push_back({warning::kNoSetup,
                 plan.family == launcher::Family::kOther
                     ? "no setup starts: the launcher knows no family for this Windows"
                     : "no setup starts: the setup program is not in the package"});
  } else if (row.setup == "interactive") {
    w.push_back({warning::kInteractive,
                 row.option > 0 ? "the setup starts interactively: option " +
                                      std::to_string(row.option) + " has no response file on " +
                                      row.family
                                : std::string("the setup starts interactively, as no option "
                                              "matched")});
  } else if (!plan.response_staged) {
    w.push_back({warning::kResponseMissing,
                 "the setup starts with /s but no setup.iss is staged: " +
                     (row.response_file.empty() ? std::string("the response file")
                                                : row.response_file) +
                     " is missing from the package"});
  }
  if (row.marker_left) {
    w.push_back({warning::kMarkerLeft,
                 "the marker key HKEY_LOCAL_MACHINE\\" + std::string(launcher::kMarkerKeyPath) +
                     " is left from an earlier run (its setup did not finish, or its "
                     "launcher was stopped)"});
  }
  for (Warning& f : folder_warnings) w.push_back(std::move(f));
  return row;
}

bool PlanFolder(const std::string& folder, const FleetSetup& setup, const CodePage& code_page,
                FolderPlan* planned, FolderError* error, Keep keep) {
  std::error_code code;
  if (fs::is_directory(PathOf(folder), code) && !IsMachineFolder(folder)) {
    *error = {folder + (HoldsMachineFolders(folder)
                            ? ": is a folder of machine folders, not one machine's"
                            : ": holds no ver.txt, no .reg file and no machine folder"),
              "folder"};
    return false;
  }
  MachineFolder read;
  if (!ReadMachineFolder(folder, !setup.version.has_value(), &read, error,
                         code_page.LeadByteRanges(), keep)) {
    return false;
  }
  Machine machine = setup.base;
  machine.version_word = setup.version ? *setup.version : *read.version;
  const launcher::Family family = launcher::ClassifyFamily(machine.version_word);
  if (!setup.whole_command_line) {
    machine.command_line = CommandLineFor(setup.tails.For(family), setup.program);
  }
  machine.sources = std::move(read.sources);
  planned->warnings = ExportWarnings(
      machine.sources,
      family == launcher::Family::kWindows2000 || family == launcher::Family::kWindowsXP);
  if (!ReadStagedList(folder, &planned->staged_before, error)) return false;
  planned->plan = MakePlan(machine, code_page);
  return true;
}

FleetRow PlanFleetMachine(const std::string& folder, const std::string& name,
                          const FleetSetup& setup, const CodePage& code_page,
                          const std::string& below) {
  FolderPlan planned;
  FolderError error;
  if (!PlanFolder(folder, setup, code_page, &planned, &error)) {
    FleetRow row;
    row.machine = name;
    row.folder = folder;
    row.failed = true;
    row.error = error.message;
    row.error_kind = error.kind;
    return row;
  }
  FleetRow row = RowOfPlan(planned.plan, name, std::move(planned.warnings), code_page);
  row.folder = folder;
  if (!setup.after_root) return row;
  const AfterFolder after = FindAfterFolder(*setup.after_root, below, name);
  if (after.warning) row.warnings.push_back(*after.warning);
  if (!after.path) {
    row.verdict = verdict::kNotCollected;
    return row;
  }
  Collected collected;
  if (!ReadCollected(*after.path, &collected, &error, code_page.LeadByteRanges())) {
    row.verdict = verdict::kUnreadable;
    row.differences.push_back({error.message, "", ""});
    return row;
  }
  const Verification verification =
      Verify(planned.plan, collected, code_page, planned.staged_before);
  row.verdict = verification.verdict;
  if (!verification.note.empty()) row.differences.push_back({verification.note, "", ""});
  for (const Difference& d : verification.differences) row.differences.push_back(d);
  return row;
}
}  // namespace preview
