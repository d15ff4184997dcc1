// The preview proven against the real launcher: for every case the
// end-to-end runner recorded under Wine, plan from the registry exports made
// before the run and compare the plan's after-state (its --after file),
// staged files and setup command with what the real run left. Cases on 9x
// are planned a second time from REGEDIT4 files, as a 9x machine exports.
// On the field cases the collection script's folder is planned alone and
// from parent folders with a tail per family, and the Windows build's fleet
// CSV of one of them must be the host's; the folder the script collected
// after the run must verify as planned, and the designed failures made on
// one of them must get their verdicts, naming what was changed.
//
//   preview_check <records folder> [--demo]
//
// Prints "ok N" or "not ok N - <differences>" per case and exits 1 when any
// case disagrees. With --demo it prints, for each demo case, the plan, then
// the real run's report, then whether they agree.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "launcher/dispatch.h"
#include "preview/exports/ascii.h"
#include "preview/exports/exports.h"
#include "preview/exports/unicode.h"
#include "preview/exports/windows_version.h"
#include "preview/fleet/fleet.h"
#include "preview/fleet/verify.h"
#include "preview/machine/changes.h"
#include "preview/machine/plan.h"
#include "preview/output/fleet_table.h"
#include "preview/output/plan_output.h"
#include "preview/output/verify_text.h"
#include "tests/e2e/records.h"

namespace {

namespace fs = std::filesystem;
using preview::Image;
using preview::KeyId;

struct Record {
  std::multimap<std::string, std::string> fields;
  std::string One(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? "" : it->second;
  }
  std::vector<std::string> All(const std::string& key) const {
    std::vector<std::string> values;
    for (auto [it, end] = fields.equal_range(key); it != end; ++it) values.push_back(it->second);
    return values;
  }
};

Record ReadRecord(const fs::path& path) {
  Record record;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    record.fields.emplace(line.substr(0, equals), line.substr(equals + 1));
  }
  return record;
}


std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool LoadFolder(const fs::path& folder, std::vector<preview::Source>* sources,
                std::string* error) {
  if (!fs::is_directory(folder)) return true;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (preview::AsciiLower(entry.path().extension().string()) == ".reg") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    preview::Source source{file.string(), {}};
    regfile::Error parse_error;
    if (!regfile::Parse(ReadAll(file), &source.file, &parse_error)) {
      *error = file.string() + ":" + std::to_string(parse_error.line) + ": " +
               parse_error.message;
      return false;
    }
    sources->push_back(std::move(source));
  }
  return true;
}

// The entry of folder named name without regard to ASCII case, as Wine
// finds it; "" when there is none.
std::string EntryNamed(const fs::path& folder, const std::string& name) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (preview::AsciiLower(entry.path().filename().string()) == preview::AsciiLower(name)) {
      return entry.path().filename().string();
    }
  }
  return "";
}

// A Windows path of the prefix's drive C:, or of a share Wine maps in its
// dosdevices/unc/<server>/<share> beside drive_c, as a path of this machine,
// where Wine keeps names in UTF-8. Converted before the separators are
// turned, as a trail byte may be 0x5C.
std::string HostPath(const std::string& windows, const std::string& drive_c,
                     const preview::CodePage* code_page = nullptr) {
  static std::string error;
  static const std::unique_ptr<preview::CodePage> cp1252 = preview::CodePage::Open(1252, &error);
  std::string top = drive_c;
  std::string path = windows.size() >= 3 ? windows.substr(3) : "";
  if (windows.compare(0, 2, "\\\\") == 0) {
    const size_t server_end = windows.find('\\', 2);
    const size_t share_end = std::min(windows.find('\\', server_end + 1), windows.size());
    const fs::path unc = fs::path(drive_c).parent_path() / "dosdevices" / "unc";
    const std::string server = EntryNamed(unc, windows.substr(2, server_end - 2));
    const std::string share =
        EntryNamed(unc / server, windows.substr(server_end + 1, share_end - server_end - 1));
    top = (unc / server / share).string();
    path = windows.substr(std::min(share_end + 1, windows.size()));
  }
  std::string rest = preview::Utf8FromAnsi(path, code_page ? *code_page : *cp1252);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return top + "/" + rest;
}

// The code page a record was run under: its codepage field, else 1252.
int CodePageOf(const Record& record) {
  const std::string number = record.One("codepage");
  return number.empty() ? 1252 : std::atoi(number.c_str());
}

// Wine's version names as the preview's --windows takes them.
const char* WindowsName(const std::string& version) {
  static const char* const kNames[][2] = {
      {"win95", "95"}, {"win98", "98"}, {"winme", "me"}, {"nt40", "nt4"}, {"win2k", "2000"},
      {"winxp", "xp"}, {"win2003", "2003"}, {"vista", "vista"}, {"win7", "7"}};
  for (const auto& name : kNames) {
    if (version == name[0]) return name[1];
  }
  return "7";
}

bool AtOrBelow(const KeyId& key, const KeyId& top) {
  return key == top || preview::Below(key, top);
}

// The exported keys: these five and what lies below them.
std::vector<KeyId> ExportRoots() {
  std::vector<KeyId> ids;
  for (const preview::ExportedKey& key : preview::kExportedKeys) {
    ids.push_back(preview::IdOf(key.root, memory::StoredName(key.path)));
  }
  return ids;
}

// The keys of image within the exported trees, less what the setup made.
Image Exported(const Image& image, const std::vector<KeyId>& left_out) {
  Image kept;
  const std::vector<KeyId> roots = ExportRoots();
  for (const memory::StoredKey& key : image) {
    const KeyId id = preview::IdOf(key.root, key.path);
    bool in = false;
    for (const KeyId& root : roots) in = in || AtOrBelow(id, root);
    for (const KeyId& out : left_out) in = in && !AtOrBelow(id, out);
    if (in) kept.push_back(key);
  }
  return kept;
}

// A registry of the plan's kind (9x or NT) holding the files.
Image Loaded(bool nine_x, const std::vector<preview::Source>& files,
             const preview::CodePage& code_page) {
  memory::Reset();
  memory::UseTextStorage(nine_x ? memory::TextStorage::kAnsi : memory::TextStorage::kUtf16,
                         &code_page);
  preview::StoreStandardKeys();
  (void)preview::LoadSources(files, code_page);
  return memory::SavedRegistry();
}

std::string Describe(const std::vector<preview::Change>& changes,
                     const preview::CodePage& code_page) {
  std::string text;
  for (const auto& item : preview::ChangesJson(changes, code_page)) {
    text += " [" + item["op"].get<std::string>() + " " + item["key"].get<std::string>();
    if (!item["name"].is_null()) text += ":" + item["name"].get<std::string>();
    if (!item["hex"].is_null()) text += "=" + item["hex"].get<std::string>();
    text += "]";
  }
  return text;
}

preview::Plan Plan(const Record& record, const std::vector<preview::Source>& before,
                   const std::string& drive_c, const preview::CodePage& code_page) {
  preview::Machine machine;
  machine.version_word = *preview::ParseVersion(WindowsName(record.One("version")));
  machine.command_line = record.One("command_line");
  machine.system_dir = record.One("system_dir");
  machine.current_dir = record.One("current_dir");
  machine.package_dir = HostPath(record.One("package"), drive_c, &code_page);
  if (!record.One("program").empty()) machine.program = record.One("program");
  machine.sources = before;
  return preview::MakePlan(machine, code_page);
}

// The line starts with the program's path, unquoted, and a blank or tab
// after it or nothing.
bool StartsUnquoted(const std::string& line, const std::string& program) {
  return !program.empty() && line.compare(0, program.size(), program) == 0 &&
         (line.size() == program.size() || line[program.size()] == ' ' ||
          line[program.size()] == '\t');
}

// What a plan predicts, as the preview's outputs give it.
struct Outcome {
  bool nine_x = false;
  std::string after_file;           // the --after file
  std::vector<std::string> staged;  // names in the staging folder
  std::string command = "<none>";   // the setup started
  std::string iss = "<none>";       // the response file beside it
};

Outcome FromPlan(const preview::Plan& plan) {
  const memory::UseMachine use = preview::UseMachineOf(plan);
  Outcome outcome;
  outcome.nine_x = plan.family == launcher::Family::kWindows9x;
  outcome.after_file = regfile::Write(
      regfile::Version::k4, regfile::Encoding::kBytes,
      preview::StateItems(preview::KeysToShow(plan.before, plan.after, plan.listed)));
  for (const preview::StagedFile& file : plan.staged) outcome.staged.push_back(file.name);
  if (plan.setup_started) outcome.command = *plan.setup_command;
  if (plan.response_file && plan.response_staged) {
    outcome.iss = plan.response_file->substr(plan.response_file->rfind('\\') + 1);
  }
  return outcome;
}

std::vector<std::string> Compare(const Outcome& plan, const Record& record,
                                 const std::vector<preview::Source>& after,
                                 const preview::CodePage& code_page) {
  std::vector<std::string> differences;
  // The after-state as the --after file gives it, read back.
  preview::Source predicted{"--after", {}};
  regfile::Error error;
  if (!regfile::Parse(plan.after_file, &predicted.file, &error)) {
    return {"the --after file does not read back: " + error.message};
  }
  // Keys compared in the storage form of the registry Loaded made.
  const Image real_state = Loaded(plan.nine_x, after, code_page);
  std::vector<KeyId> setup_made;
  for (const std::string& key : record.All("setup_created")) {
    setup_made.push_back(preview::IdOf(platform::Root::kLocalMachine, memory::StoredName(key)));
  }
  const Image real = Exported(real_state, setup_made);
  const Image expected = Exported(Loaded(plan.nine_x, {predicted}, code_page), setup_made);
  const std::vector<preview::Change> difference = preview::Diff(real, expected);
  if (!difference.empty()) {
    differences.push_back("after-state differs; from the real run to the plan:" +
                          Describe(difference, code_page));
  }

  std::vector<std::string> staged_real, staged_plan;
  for (const std::string& name : record.All("staged")) staged_real.push_back(preview::AsciiLower(name));
  for (const std::string& name : plan.staged) staged_plan.push_back(preview::AsciiLower(name));
  std::sort(staged_real.begin(), staged_real.end());
  std::sort(staged_plan.begin(), staged_plan.end());
  if (staged_real != staged_plan) {
    std::string real_list, plan_list;
    for (const auto& n : staged_real) real_list += " " + n;
    for (const auto& n : staged_plan) plan_list += " " + n;
    differences.push_back("staged files: real {" + real_list + " }, plan {" + plan_list + " }");
  }

  const std::vector<std::string> setups = record.All("setup");
  const std::string real_command = setups.empty() ? "<none>" : setups[0];
  if (setups.size() > 1 || real_command != plan.command) {
    differences.push_back("setup command: real [" + real_command + "] x" +
                          std::to_string(setups.size()) + ", plan [" + plan.command + "]");
  }
  // The fake setup names the response file it found beside it.
  const std::vector<std::string> seen = record.All("setup_iss");
  if (!seen.empty() && plan.command != "<none>") {
    const std::string real_iss = seen[0].substr(0, seen[0].find(':'));
    if (preview::AsciiLower(real_iss) != preview::AsciiLower(plan.iss)) {
      differences.push_back("setup.iss: real " + real_iss + ", plan " + plan.iss);
    }
  }
  return differences;
}

std::vector<std::string> Compare(const preview::Plan& plan, const Record& record,
                                 const std::vector<preview::Source>& after,
                                 const preview::CodePage& code_page) {
  return Compare(FromPlan(plan), record, after, code_page);
}

// A setting as messages show it: an absent one apart from an empty text.
std::string Shown(const std::optional<std::string>& value) {
  return value ? "\"" + *value + "\"" : "(none)";
}

// The fields of a fleet row the run decides, against the plan from the same
// files and the real run's after-state.
std::vector<std::string> RowDifferences(const preview::FleetRow& row, const preview::Plan& plan,
                                        const Image& real, const preview::CodePage& code_page) {
  if (row.failed) return {"fleet row " + row.machine + " failed: " + row.error};
  std::vector<std::string> differences;
  const auto check = [&](const std::string& field, const std::string& in_row,
                         const std::string& expected) {
    if (in_row != expected) {
      differences.push_back("fleet row " + row.machine + ": " + field + " " + in_row +
                            ", plan and real run " + expected);
    }
  };
  const auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
  const nlohmann::ordered_json json = preview::PlanJson(plan, code_page);
  check("family", row.family, preview::FamilyName(plan.family));
  check("option", std::to_string(row.option), std::to_string(plan.option));
  check("response_file", row.response_file, plan.response_file.value_or(""));
  check("setup_starts", flag(row.setup_starts), flag(plan.setup_started));
  check("waits", flag(row.waits), flag(plan.waits));
  for (size_t i = 0; i < preview::kRowSettingCount; ++i) {
    check(preview::kRowSettings[i], Shown(row.settings[i].after),
          Shown(preview::Setting(real, preview::kRowSettings[i], code_page)));
  }
  check("install_type", row.install_type,
        json["install_type"].is_null() ? "" : json["install_type"].get<std::string>());
  std::string tuned, adapters;
  for (const std::string& name : row.adapters_tuned) tuned += " " + name;
  for (const std::string& name : plan.adapters_tuned) adapters += " " + name;
  check("adapters_tuned", "{" + tuned + " }", "{" + adapters + " }");
  return differences;
}

// The program path and tail of a line "PROGRAM" TAIL; false for any other
// form (the runner decides alike).
bool SplitCommandLine(const std::string& line, std::string* program, std::string* tail) {
  const size_t close = line.find('"', 1);
  if (line.empty() || line[0] != '"' || close == std::string::npos) return false;
  *program = line.substr(1, close - 1);
  *tail = line.size() > close + 2 ? line.substr(close + 2) : "";
  return line == "\"" + *program + "\"" + (tail->empty() ? "" : " " + *tail);
}

// The cells of a CSV line, quotes undone.
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (quoted && line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      cells.back() += '"';
      ++i;
    } else if (line[i] == '"') {
      quoted = !quoted;
    } else if (line[i] == ',' && !quoted) {
      cells.emplace_back();
    } else {
      cells.back() += line[i];
    }
  }
  return cells;
}

// The Windows build's CSV of the same fleet against the host's lines. An
// error names its path in each system's form, so only its presence counts.
std::vector<std::string> CompareCsv(const std::string& windows,
                                    const std::vector<std::string>& host) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(windows);
  while (std::getline(in, line)) {
    // msvcrt's text mode ends its lines with CR LF.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (lines.size() != host.size()) {
    return {std::string(e2e::kFleetCsv) + ": " + std::to_string(lines.size()) +
            " lines, the host's " + std::to_string(host.size())};
  }
  std::vector<std::string> differences;
  const std::vector<std::string> columns = Cells(host[0]);
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::vector<std::string> win = Cells(lines[k]), own = Cells(host[k]);
    if (win.size() != own.size()) {
      differences.push_back(std::string(e2e::kFleetCsv) + " line " + std::to_string(k + 1) +
                            ": " + std::to_string(win.size()) + " cells, the host's " +
                            std::to_string(own.size()));
      continue;
    }
    for (size_t i = 0; i < win.size(); ++i) {
      const bool same = k > 0 && columns[i] == "error" ? win[i].empty() == own[i].empty()
                                                       : win[i] == own[i];
      if (!same) {
        differences.push_back(std::string(e2e::kFleetCsv) + " line " + std::to_string(k + 1) +
                              " " + columns[i] + ": Windows [" + win[i] + "], host [" +
                              own[i] + "]");
      }
    }
  }
  return differences;
}

// The rows of a parent folder, as the fleet command finds and names its
// machines.
std::vector<preview::FleetRow> PlanParent(const fs::path& parent,
                                          const preview::FleetSetup& setup,
                                          const preview::CodePage& code_page) {
  const preview::FleetFolders found = preview::FindMachines({parent.string()});
  std::vector<std::string> folders;
  for (const preview::FoundFolder& f : found.folders) folders.push_back(f.path);
  const std::vector<std::string> names = preview::MachineNames(folders);
  std::vector<preview::FleetRow> rows;
  for (size_t i = 0; i < folders.size(); ++i) {
    rows.push_back(preview::PlanFleetMachine(folders[i], names[i], setup, code_page,
                                             found.folders[i].below));
  }
  return rows;
}

// The runner's parent folders (records.h) planned as a fleet, each family
// with its tail: the collected folder's row against the plan and the real
// run, the other family's machine with the other tail, and the Windows
// build's CSV against the host's.
// The fleet's options for a field case: the case's tail for its own family
// only (by the collected ver.txt), OtherTail for the others, the case's
// program path, package and current folder.
bool FieldSetup(const fs::path& folder, const Record& record, const std::string& drive_c,
                preview::FleetSetup* setup, launcher::Family* family, std::string* error) {
  std::string ver_error;
  const std::optional<unsigned long> word =
      preview::VersionFromVer(ReadAll(folder / "field" / "ver.txt"), &ver_error);
  if (!word) {
    *error = "the collected " + ver_error;
    return false;
  }
  *family = launcher::ClassifyFamily(*word);
  setup->base.system_dir = record.One("system_dir");
  setup->base.current_dir = record.One("current_dir");
  setup->base.package_dir = HostPath(record.One("package"), drive_c);
  std::string tail;
  if (SplitCommandLine(record.One("command_line"), &setup->program, &tail)) {
    setup->tails.by_family[*family] = tail;
    setup->tails.all = e2e::OtherTail(tail);
  } else {
    setup->base.command_line = record.One("command_line");
    setup->whole_command_line = true;
  }
  return true;
}

std::vector<std::string> CheckFleet(const fs::path& folder, const Record& record,
                                    const preview::Plan& plan, const Image& real,
                                    const std::string& drive_c,
                                    const preview::CodePage& code_page) {
  preview::FleetSetup setup;
  launcher::Family family;
  std::string setup_error;
  if (!FieldSetup(folder, record, drive_c, &setup, &family, &setup_error)) {
    return {"fleet: " + setup_error};
  }
  // Another family's machine gets --tail, not the case's tail.
  const std::string other_tail = setup.whole_command_line ? plan.tail : setup.tails.all;

  std::vector<std::string> differences;
  for (const char* name : {e2e::kFleetFolder, e2e::kMixedFleetFolder}) {
    const fs::path parent = folder / name;
    const bool mixed = name == std::string(e2e::kMixedFleetFolder);
    int fields = 0, others = 0;
    std::vector<std::string> lines = {preview::FleetHeader()};
    for (const preview::FleetRow& row : PlanParent(parent, setup, code_page)) {
      lines.push_back(preview::FleetLine(row));
      if (row.machine == "field") {
        ++fields;
        for (const std::string& d : RowDifferences(row, plan, real, code_page)) {
          differences.push_back("from " + std::string(name) + ": " + d);
        }
      } else {
        ++others;
        if (row.failed || row.tail != other_tail || row.family == preview::FamilyName(family)) {
          differences.push_back(std::string(name) + ": the other machine's row [" +
                                preview::FleetLine(row) + "], expected another family than " +
                                preview::FamilyName(family) + " and the tail \"" + other_tail +
                                "\"");
        }
      }
    }
    if (fields != 1 || others != (mixed ? 1 : 0)) {
      differences.push_back(parent.string() + " stands for " + std::to_string(fields) +
                            " collected folder(s) and " + std::to_string(others) +
                            " other machine(s)");
    }
    if (mixed) continue;
    if (!fs::exists(folder / e2e::kFleetCsv)) {
      differences.push_back(std::string("no ") + e2e::kFleetCsv);
    } else {
      for (const std::string& d : CompareCsv(ReadAll(folder / e2e::kFleetCsv), lines)) {
        differences.push_back(d);
      }
    }
  }
  return differences;
}

// The field: the collection script's folder planned as a fleet machine, as a
// machine of a parent folder and as a plan, all against the real run; and
// the live plan against it.
std::vector<std::string> CheckField(const fs::path& folder, const Record& record,
                                    const std::vector<preview::Source>& after,
                                    const std::string& drive_c,
                                    const preview::CodePage& code_page) {
  std::vector<std::string> differences;
  std::vector<preview::Source> collected;
  std::string error;
  if (!LoadFolder(folder / "field", &collected, &error)) return {"field: " + error};

  preview::FleetSetup setup;
  setup.base.command_line = record.One("command_line");
  setup.base.system_dir = record.One("system_dir");
  setup.base.current_dir = record.One("current_dir");
  setup.base.package_dir = HostPath(record.One("package"), drive_c);
  setup.whole_command_line = true;
  const preview::FleetRow row =
      preview::PlanFleetMachine((folder / "field").string(), "field", setup, code_page);
  const preview::Plan plan = Plan(record, collected, drive_c, code_page);
  const Image real = Loaded(plan.family == launcher::Family::kWindows9x, after, code_page);
  differences = RowDifferences(row, plan, real, code_page);
  for (const std::string& d : CheckFleet(folder, record, plan, real, drive_c, code_page)) {
    differences.push_back(d);
  }
  for (const std::string& d : Compare(plan, record, after, code_page)) {
    differences.push_back("planned from the collected files: " + d);
  }

  // The live plan of the Windows build.
  nlohmann::json live;
  try {
    live = nlohmann::json::parse(ReadAll(folder / "live.json"));
  } catch (const std::exception& e) {
    return {"live.json: " + std::string(e.what())};
  }
  Outcome outcome;
  outcome.nine_x = live["family"] == "9x";
  outcome.after_file = ReadAll(folder / "live-after.reg");
  outcome.staged = live["staged"].get<std::vector<std::string>>();
  if (!live["setup_command"].is_null()) outcome.command = live["setup_command"];
  if (!live["response_file"].is_null() && live["response_file_staged"].get<bool>()) {
    const std::string name = live["response_file"];
    outcome.iss = name.substr(name.rfind('\\') + 1);
  }
  if (live["family"] != preview::FamilyName(plan.family)) {
    differences.push_back("live plan: family " + live["family"].get<std::string>());
  }
  for (const std::string& d : Compare(outcome, record, after, code_page)) {
    differences.push_back("live plan: " + d);
  }
  return differences;
}

// ---- After the rollout ---------------------------------------------------------

// What the check after the rollout showed, for the summary line.
struct VerifyTally {
  int field_cases = 0;
  int as_planned = 0;      // field cases whose after-collection passed every check
  int designed_named = 0;  // designed failures that got their verdict and differences
  bool stale_checked = false;
};

// A folder collected after the run judged against the plan from the field
// folder.
bool Judge(const fs::path& before, const fs::path& after, const preview::FleetSetup& setup,
           const preview::CodePage& code_page, preview::FolderPlan* planned,
           preview::Collected* collected, preview::Verification* verification,
           std::string* error) {
  preview::FolderError folder_error;
  if (!preview::PlanFolder(before.string(), setup, code_page, planned, &folder_error) ||
      !preview::ReadCollected(after.string(), collected, &folder_error)) {
    *error = folder_error.message;
    return false;
  }
  *verification = preview::Verify(planned->plan, *collected, code_page);
  return true;
}

std::string Said(const preview::Verification& verification) {
  std::string text = "\"" + verification.verdict + "\"";
  for (const preview::Difference& d : verification.differences) {
    text += " [" + preview::DifferenceText(d) + "]";
  }
  return text;
}

bool HasFile(const fs::path& folder, const std::string& name) {
  std::error_code code;
  for (const auto& entry : fs::directory_iterator(folder, code)) {
    if (preview::AsciiLower(entry.path().filename().string()) == preview::AsciiLower(name)) {
      return true;
    }
  }
  return false;
}

std::string Listed(std::vector<std::string> names) {
  for (std::string& name : names) name = preview::AsciiLower(name);
  std::sort(names.begin(), names.end());
  std::string text = "{";
  for (const std::string& name : names) text += " " + name;
  return text + " }";
}

// One change of a designed failure, as record.txt names it.
struct DesignedChange {
  std::string kind;
  std::string what;
};

std::map<std::string, std::vector<DesignedChange>> DesignedChanges(const Record& record) {
  std::map<std::string, std::vector<DesignedChange>> changes;
  for (const std::string& line : record.All("designed")) {
    const size_t first = line.find('|');
    const size_t second = line.find('|', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    changes[line.substr(0, first)].push_back(
        {line.substr(first + 1, second - first - 1), line.substr(second + 1)});
  }
  return changes;
}

// The verdict each designed failure (records.h) must get.
struct DesignedExpectation {
  const char* name;
  const char* verdict;
};
const DesignedExpectation kDesignedExpected[] = {
    {e2e::designed::kNotFinished, preview::verdict::kNotFinished},
    {e2e::designed::kValueChanged, preview::verdict::kDiffers},
    {e2e::designed::kStagedDeleted, preview::verdict::kDiffers},
    {e2e::designed::kBlockSizeRemoved, preview::verdict::kDiffers},
    {e2e::designed::kSetupAdded, preview::verdict::kAsPlanned},
    {e2e::designed::kNotRun, preview::verdict::kNotRun},
};

// The designed failures of the case, each judged: its verdict, and exactly
// the differences its changes name; the value another program adds listed
// as changed by others; the machine without the run missing every staged
// file; and a collection over not-finished's files as field-after.
std::vector<std::string> CheckDesigned(const fs::path& folder, const Record& record,
                                       const preview::FleetSetup& setup,
                                       const preview::Verification& field_after,
                                       const preview::CodePage& code_page, VerifyTally* tally) {
  std::vector<std::string> differences;
  const fs::path root = folder / e2e::kDesignedFolder;
  const auto changes = DesignedChanges(record);
  const auto judge = [&](const char* name, preview::Verification* verification) {
    preview::FolderPlan planned;
    preview::Collected collected;
    std::string error;
    if (changes.count(name) == 0) {
      differences.push_back(std::string("designed failure ") + name + " not made");
      return false;
    }
    if (!Judge(folder / "field", root / name, setup, code_page, &planned, &collected,
               verification, &error)) {
      differences.push_back(std::string("designed failure ") + name + ": " + error);
      return false;
    }
    return true;
  };

  for (const DesignedExpectation& expected : kDesignedExpected) {
    preview::Verification verification;
    if (!judge(expected.name, &verification)) continue;
    const std::string name = expected.name;
    bool right = verification.verdict == expected.verdict;
    std::vector<std::string> named, want, others;
    for (const preview::Difference& d : verification.differences) named.push_back(d.what);
    for (const preview::OtherChange& o : verification.changed_by_others) {
      others.push_back(o.key + "\\" + o.name);
    }
    for (const DesignedChange& change : changes.at(name)) {
      if (change.kind == "key") want.push_back("marker key " + change.what);
      if (change.kind == "value") want.push_back(change.what);
      if (change.kind == "file") want.push_back("staged file " + change.what);
    }
    if (expected.verdict == std::string(preview::verdict::kAsPlanned)) {
      // What another program added is listed, not judged.
      for (const std::string& w : want) {
        right = right && std::count_if(others.begin(), others.end(), [&](const std::string& o) {
                           return preview::AsciiLower(o) == preview::AsciiLower(w);
                         }) == 1;
      }
      right = right && !want.empty() && named.empty();
    } else if (expected.verdict == std::string(preview::verdict::kNotRun)) {
      // Every file the run staged is named missing.
      for (const std::string& staged : record.All("staged")) {
        want.push_back("staged file " + staged);
      }
      for (const std::string& w : want) {
        right = right && std::count_if(named.begin(), named.end(), [&](const std::string& n) {
                           return preview::AsciiLower(n) == preview::AsciiLower(w);
                         }) == 1;
      }
      right = right && !want.empty();
    } else {
      right = right && !want.empty() && Listed(named) == Listed(want);
    }
    if (right) {
      ++tally->designed_named;
    } else {
      differences.push_back("designed failure " + name + ": expected \"" + expected.verdict +
                            "\" naming " + Listed(want) + ", verify said " + Said(verification) +
                            (others.empty() ? "" : ", changed by others " + Listed(others)));
    }
  }

  // The script over its own earlier files: the marker key's export must go.
  preview::Verification again;
  if (judge(e2e::designed::kAgain, &again)) {
    const bool written = HasFile(root / e2e::designed::kNotFinished, "marker.reg");
    const bool stale = HasFile(root / e2e::designed::kAgain, "marker.reg");
    if (!written) {
      differences.push_back(std::string("designed failure ") + e2e::designed::kNotFinished +
                            ": no marker.reg, so no stale file could be checked");
    }
    if (stale) {
      differences.push_back(std::string("collected over ") + e2e::designed::kNotFinished +
                            ": its marker.reg stayed");
    }
    if (preview::VerificationText(again) != preview::VerificationText(field_after)) {
      differences.push_back(std::string("collected over ") + e2e::designed::kNotFinished +
                            " once every change was undone: verify said " + Said(again) +
                            ", unlike " + e2e::kFieldAfterFolder);
    }
    tally->stale_checked = written && !stale;
  }
  return differences;
}

// The check after the rollout on a field case: its field-after folder,
// judged against the plan from its field folder with per-family tails,
// must be as planned, with staged.txt listing what the runner found
// staged, and hold what the runner's own exports held at that moment; the
// adapters the setup added while the launcher waited are there and tuned.
std::vector<std::string> CheckAfter(const fs::path& folder, int number, const Record& record,
                                    const std::vector<preview::Source>& after,
                                    const std::string& drive_c,
                                    const preview::CodePage& code_page, VerifyTally* tally) {
  ++tally->field_cases;
  const fs::path collected_after = folder / e2e::kFieldAfterFolder;
  preview::FleetSetup setup;
  launcher::Family family;
  std::string error;
  if (!FieldSetup(folder, record, drive_c, &setup, &family, &error)) return {"verify: " + error};
  if (!fs::is_directory(collected_after)) {
    return {std::string("verify: no ") + e2e::kFieldAfterFolder};
  }
  preview::FolderPlan planned;
  preview::Collected collected;
  preview::Verification verification;
  if (!Judge(folder / "field", collected_after, setup, code_page, &planned, &collected,
             &verification, &error)) {
    return {"verify: " + error};
  }
  std::vector<std::string> differences;
  const std::string where = std::string("verify ") + e2e::kFieldAfterFolder + ": ";
  if (verification.verdict != preview::verdict::kAsPlanned) {
    differences.push_back(where + Said(verification));
  }
  if (!collected.staged) {
    differences.push_back(where + "no staged.txt, so the staged files were not judged");
  } else if (Listed(*collected.staged) != Listed(record.All("staged"))) {
    differences.push_back(where + "staged.txt lists " + Listed(*collected.staged) +
                          ", the runner found " + Listed(record.All("staged")));
  }

  const bool nine_x = planned.plan.family == launcher::Family::kWindows9x;
  const Image script = Exported(Loaded(nine_x, collected.sources, code_page), {});
  const Image exports = Exported(Loaded(nine_x, after, code_page), {});
  const std::vector<preview::Change> apart = preview::Diff(exports, script);
  if (!apart.empty()) {
    differences.push_back(where + "not what the after exports hold; from them to it:" +
                          Describe(apart, code_page));
  }

  // A /wbs machine with adapters: the setup adds more while the launcher
  // waits, so that verify judges adapters its plan never saw.
  if (!planned.plan.adapters_tuned.empty()) {
    std::vector<preview::Source> before;
    if (!LoadFolder(folder / "field", &before, &error)) return {"verify: " + error};
    const Image earlier = Loaded(nine_x, before, code_page);
    const Image later = Loaded(nine_x, collected.sources, code_page);
    const std::vector<std::string> added = record.All("setup_created");
    const preview::KeyIndex earlier_keys(earlier), later_keys(later);
    int tuned = 0;
    for (const std::string& path : added) {
      const KeyId id = preview::IdOf(platform::Root::kLocalMachine, memory::StoredName(path));
      if (earlier_keys.count(id) != 0 || later_keys.count(id) == 0) {
        differences.push_back(where + "the setup's adapter " + path + " is not one it added");
        continue;
      }
      if (preview::FindValue(later_keys, id, memory::StoredName("writeBlockSize")) != nullptr) {
        ++tuned;
      }
    }
    if (tuned == 0) {
      differences.push_back(where + "of the " + std::to_string(added.size()) +
                            " adapters the setup added while the launcher waited, none was tuned");
    }
  }

  if (differences.empty()) ++tally->as_planned;
  if (number == e2e::kDesignedCase) {
    for (const std::string& d :
         CheckDesigned(folder, record, setup, verification, code_page, tally)) {
      differences.push_back(d);
    }
  } else if (!record.All("designed").empty()) {
    differences.push_back("designed failures on another case than " +
                          std::to_string(e2e::kDesignedCase));
  }
  return differences;
}

// The before-state as a 9x machine's regedit /e would write it: REGEDIT4,
// each file holding the keys it held.
std::vector<preview::Source> AsRegedit4(const std::vector<preview::Source>& sources,
                                        const preview::CodePage& code_page) {
  std::vector<preview::Source> converted;
  for (const preview::Source& source : sources) {
    memory::Reset();
    memory::UseTextStorage(memory::TextStorage::kAnsi, &code_page);
    const std::set<KeyId> in_file = preview::LoadSources({source}, code_page);
    Image shown;
    for (const memory::StoredKey& key : memory::SavedRegistry()) {
      if (in_file.count(preview::IdOf(key.root, key.path)) != 0) shown.push_back(key);
    }
    preview::Source out{source.name + " (REGEDIT4)", {}};
    regfile::Error error;
    const std::string text = regfile::Write(regfile::Version::k4, regfile::Encoding::kBytes,
                                            preview::StateItems(shown));
    if (regfile::Parse(text, &out.file, &error) && out.file.version == regfile::Version::k4) {
      converted.push_back(std::move(out));
    }
  }
  return converted;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: preview_check <records folder> [--demo]\n";
    return 2;
  }
  const fs::path records = argv[1];
  const bool demo = argc > 2 && std::string(argv[2]) == "--demo";
  const std::string drive_c = ReadAll(records / "prefix_drive_c");
  std::string error;
  const std::unique_ptr<preview::CodePage> cp1252 = preview::CodePage::Open(1252, &error);
  if (!cp1252 || drive_c.empty()) {
    std::cerr << "preview_check: " << (cp1252 ? "no prefix_drive_c in the records" : error) << "\n";
    return 2;
  }
  // Other code pages as records name them.
  std::map<int, std::unique_ptr<preview::CodePage>> code_pages;

  std::vector<std::pair<int, fs::path>> cases;
  for (const auto& entry : fs::directory_iterator(records)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_directory() || !fs::exists(entry.path() / "record.txt")) continue;
    const bool is_demo = name.compare(0, 5, "demo-") == 0;
    if (is_demo != demo) continue;
    cases.emplace_back(std::atoi(name.c_str() + (is_demo ? 5 : 0)), entry.path());
  }
  std::sort(cases.begin(), cases.end());

  int agreed = 0, disagreed = 0, field_cases = 0;
  VerifyTally tally;
  for (const auto& [number, folder] : cases) {
    const Record record = ReadRecord(folder / "record.txt");
    const int code_page_number = CodePageOf(record);
    if (code_page_number != 1252 && code_pages.count(code_page_number) == 0) {
      code_pages[code_page_number] = preview::CodePage::Open(code_page_number, &error);
      if (!code_pages[code_page_number]) {
        std::cerr << "preview_check: code page " << code_page_number << ": " << error << "\n";
        return 2;
      }
    }
    const preview::CodePage* code_page =
        code_page_number == 1252 ? cp1252.get() : code_pages[code_page_number].get();
    const std::string own_c = ReadAll(folder / "prefix_drive_c");
    const std::string& drive_c_of_case = own_c.empty() ? drive_c : own_c;
    std::vector<preview::Source> before, after;
    std::string load_error;
    std::vector<std::string> differences;
    if (!LoadFolder(folder / "before", &before, &load_error) ||
        !LoadFolder(folder / "after", &after, &load_error)) {
      differences.push_back("cannot read the exports: " + load_error);
    }
    preview::Plan plan;
    if (differences.empty()) {
      plan = Plan(record, before, drive_c_of_case, *code_page);
      if (demo) {
        std::cout << "\n=== demo " << number << ": " << record.One("note") << "\n"
                  << "--- the plan: launcher-preview plan --windows "
                  << WindowsName(record.One("version")) << " --command-line '"
                  << record.One("command_line") << "' --system-dir '"
                  << record.One("system_dir") << "' --package '"
                  << HostPath(record.One("package"), drive_c_of_case, code_page) << "'";
        for (const preview::Source& source : before) {
          std::cout << " " << fs::path(source.name).filename().string();
        }
        std::cout << "\n\n" << preview::PlanText(plan, *code_page);
      }
      differences = Compare(plan, record, after, *code_page);
      if (StartsUnquoted(record.One("command_line"), record.One("program"))) {
        // Windows finds that program in the line itself and hands the line
        // over as given (the runner names it only as Wine would quote it).
        Record without = record;
        without.fields.erase("program");
        for (const std::string& d :
             Compare(Plan(without, before, drive_c_of_case, *code_page), record, after, *code_page)) {
          differences.push_back("planned without the program's name: " + d);
        }
      }
      if (fs::is_directory(folder / "field")) {
        for (const std::string& d : CheckField(folder, record, after, drive_c_of_case, *code_page)) {
          differences.push_back(d);
        }
        for (const std::string& d :
             CheckAfter(folder, number, record, after, drive_c_of_case, *code_page, &tally)) {
          differences.push_back(d);
        }
        ++field_cases;
      }
      if (plan.family == launcher::Family::kWindows9x) {
        // The same machine exported as 9x exports it.
        const std::vector<preview::Source> regedit4 = AsRegedit4(before, *code_page);
        if (regedit4.size() != before.size()) {
          differences.push_back("the before-state does not convert to REGEDIT4");
        } else {
          const preview::Plan again = Plan(record, regedit4, drive_c_of_case, *code_page);
          for (const std::string& d : Compare(again, record, after, *code_page)) {
            differences.push_back("from REGEDIT4 files: " + d);
          }
        }
      }
    }
    if (demo) {
      // The runner's report, without its own heading.
      std::string report = ReadAll(folder / "report.txt");
      const size_t heading = report.find("=== demo");
      if (heading != std::string::npos) report.erase(0, report.find('\n', heading) + 1);
      std::cout << "\n--- the real run under Wine\n" << report;
      std::cout << "\n--- " << (differences.empty() ? "the plan and the real run agree"
                                                    : "the plan and the real run DISAGREE:")
                << "\n";
      for (const std::string& d : differences) std::cout << "    " << d << "\n";
    } else if (differences.empty()) {
      std::cout << "ok " << number << " - " << record.One("version") << " \""
                << record.One("note") << "\"\n";
    } else {
      std::cout << "not ok " << number << " -";
      for (const std::string& d : differences) std::cout << " " << d << ";";
      std::cout << "\n";
    }
    (differences.empty() ? agreed : disagreed)++;
  }
  std::cout << "preview: " << agreed << " agree, " << disagreed << " disagree";
  if (field_cases > 0) {
    std::cout << "; " << field_cases
              << " of them also collected by the script, planned as a fleet (from their "
                 "parent folder with per-family tails, by both builds) and live";
  }
  std::cout << "\n";
  if (tally.field_cases > 0) {
    std::cout << "verify: " << tally.as_planned << " of " << tally.field_cases
              << " field cases as planned after the run, staged files judged; "
              << tally.designed_named << " designed failures named";
    if (tally.stale_checked) std::cout << "; a collection over an earlier one left no stale file";
    std::cout << "\n";
  }
  return disagreed == 0 && agreed > 0 ? 0 : 1;
}
