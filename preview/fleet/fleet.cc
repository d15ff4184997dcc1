#include "preview/fleet/fleet.h"

#include <filesystem>

#include "launcher/launcher.h"
#include "launcher/options.h"
#include "preview/output/display.h"
#include "preview/output/escape.h"
#include "preview/exports/paths.h"
#include "preview/machine/run_facts.h"
#include "preview/fleet/verify.h"
#include "preview/exports/windows_version.h"
#include "settings/layout.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

constexpr const char* kNone = "(none)";

std::string Joined(const std::vector<std::string>& parts, const char* between) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : between) + parts[i];
  return text;
}

std::vector<std::string> WarningTexts(const std::vector<Warning>& warnings) {
  std::vector<std::string> texts;
  for (const Warning& w : warnings) texts.push_back(w.text);
  return texts;
}

// The columns; the kind says how a cell is written in CSV and JSON.
enum class Kind { kText, kOptionalText, kBool, kNumber, kList };
struct Column {
  std::string name;
  Kind kind;
};

std::vector<Column> Columns(bool with_verdicts, bool with_kit) {
  std::vector<Column> columns = {
      {"machine", Kind::kText},         {"family", Kind::kText},
      {"windows", Kind::kText},
      {"tail", Kind::kText},            {"option", Kind::kNumber},
      {"response_file", Kind::kOptionalText}, {"setup", Kind::kText},
      {"response_file_staged", Kind::kBool},  {"setup_starts", Kind::kBool},
      {"waits", Kind::kBool},           {"marker_left", Kind::kBool}};
  for (const char* name : kRowSettings) {
    columns.push_back({std::string(name) + "_before", Kind::kOptionalText});
    columns.push_back({name, Kind::kOptionalText});
    columns.push_back({std::string(name) + "_why", Kind::kText});
  }
  columns.push_back({"install_type", Kind::kOptionalText});
  columns.push_back({"adapters_tuned", Kind::kList});
  columns.push_back({"warnings", Kind::kList});
  if (with_verdicts) {
    columns.push_back({"verdict", Kind::kOptionalText});
    columns.push_back({"differences", Kind::kList});
  }
  if (with_kit) {
    columns.push_back({"release", Kind::kOptionalText});
    columns.push_back({"not_released", Kind::kOptionalText});
    columns.push_back({"kit_log", Kind::kOptionalText});
  }
  columns.push_back({"error", Kind::kOptionalText});
  return columns;
}

// A cell's value: text (nullopt for none) or a list.
struct Cell {
  std::optional<std::string> text;
  std::vector<std::string> list;
};

Cell CellOf(const FleetRow& row, const std::string& column) {
  const auto text = [](const std::string& t) { return Cell{t, {}}; };
  const auto flag = [](bool b) { return Cell{b ? "true" : "false", {}}; };
  if (column == "machine") return text(row.machine);
  if (column == "error") return row.failed ? text(row.error) : Cell{};
  if (column == "release") return Cell{row.release, {}};
  if (column == "not_released") return Cell{row.not_released, {}};
  if (column == "kit_log") return Cell{row.kit_log, {}};
  if (row.failed) return Cell{};
  if (column == "family") return text(row.family);
  if (column == "windows") return text(row.windows);
  if (column == "tail") return text(row.tail);
  if (column == "option") return row.option > 0 ? text(std::to_string(row.option)) : Cell{};
  if (column == "response_file") {
    return row.response_file.empty() ? Cell{} : text(row.response_file);
  }
  if (column == "setup") return text(row.setup);
  if (column == "response_file_staged") return flag(row.response_file_staged);
  if (column == "setup_starts") return flag(row.setup_starts);
  if (column == "waits") return flag(row.waits);
  if (column == "marker_left") return flag(row.marker_left);
  for (size_t i = 0; i < kRowSettingCount; ++i) {
    const std::string name = kRowSettings[i];
    if (column == name + "_before") return Cell{row.settings[i].before, {}};
    if (column == name) return Cell{row.settings[i].after, {}};
    if (column == name + "_why") return text(row.settings[i].why);
  }
  if (column == "install_type") {
    return row.install_type.empty() ? Cell{} : text(row.install_type);
  }
  if (column == "adapters_tuned") return Cell{std::nullopt, row.adapters_tuned};
  if (column == "warnings") return Cell{std::nullopt, WarningTexts(row.warnings)};
  if (column == "verdict") return Cell{row.verdict, {}};
  if (column == "differences") {
    Cell cell;
    for (const Difference& d : row.differences) cell.list.push_back(DifferenceText(d));
    return cell;
  }
  return Cell{};
}

// Settings columns tell an absent value from an empty text; the others
// leave a cell with nothing to say empty.
bool ShowsNone(const std::string& column) {
  for (const char* name : kRowSettings) {
    if (column == name || column == std::string(name) + "_before") return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> Setting(const KeyIndex& keys, const char* name,
                                   const CodePage& code_page) {
  const memory::StoredValue* value =
      keys.Value(IdOf(platform::Root::kLocalMachine, memory::StoredName(settings::kSettingsKey)),
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

std::string FleetHeader(bool with_verdicts, bool with_kit) {
  std::vector<std::string> names;
  for (const Column& column : Columns(with_verdicts, with_kit)) names.push_back(column.name);
  return Joined(names, ",");
}

std::string FleetLine(const FleetRow& row, bool with_verdicts, bool with_kit) {
  std::string line;
  bool first = true;
  for (const Column& column : Columns(with_verdicts, with_kit)) {
    const Cell cell = CellOf(row, column.name);
    std::string text;
    if (column.kind == Kind::kList) {
      std::vector<std::string> items;
      if (column.name == "differences") {  // regedit's notation in them is escaped already
        for (const Difference& d : row.differences) items.push_back(ShownDifference(d));
      } else {
        for (const std::string& item : cell.list) items.push_back(EscapeText(item));
      }
      text = Joined(items, column.name == "adapters_tuned" ? " " : "; ");
    } else if (cell.text) {
      text = EscapeText(*cell.text);
    } else if (!row.failed && ShowsNone(column.name)) {
      text = kNone;
    }
    line += (first ? "" : ",") + CsvCell(text);
    first = false;
  }
  return line;
}

nlohmann::ordered_json FleetJson(const FleetRow& row, bool with_verdicts, bool with_kit) {
  nlohmann::ordered_json out;
  for (const Column& column : Columns(with_verdicts, with_kit)) {
    const Cell cell = CellOf(row, column.name);
    nlohmann::ordered_json value = nullptr;
    if (column.kind == Kind::kList) {
      if (!row.failed) {
        value = nlohmann::ordered_json::array();
        for (const std::string& item : cell.list) value.push_back(item);
      }
    } else if (cell.text) {
      if (column.kind == Kind::kBool) {
        value = *cell.text == "true";
      } else if (column.kind == Kind::kNumber) {
        value = std::stoi(*cell.text);
      } else {
        value = *cell.text;
      }
    }
    out[column.name] = value;
  }
  return out;
}

FleetRow RowOfPlan(const Plan& plan, const std::string& machine,
                   std::vector<Warning> folder_warnings, const CodePage& code_page) {
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
