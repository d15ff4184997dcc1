#include "preview/commands.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "launcher/options.h"
#include "preview/exports.h"
#include "preview/display.h"
#include "preview/fleet.h"
#include "preview/fleet_page.h"
#include "preview/live.h"
#include "preview/machine_folder.h"
#include "preview/option_table_format.h"
#include "preview/parallel.h"
#include "preview/plan.h"
#include "preview/plan_output.h"
#include "preview/tails.h"
#include "preview/verify.h"
#include "preview/windows_version.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

// Bad input: the message names the file and line where it can.
struct InputError {
  std::string message;
};

Source Load(const std::string& path, const CodePage& code_page, Keep keep) {
  if (fs::is_directory(path)) throw InputError{path + ": is a folder, not a .reg file"};
  regfile::FileInput input(path);
  if (!input.Opened()) throw InputError{path + ": cannot read: " + std::strerror(errno)};
  Source source{path, {}};
  regfile::Error error;
  if (!ReadSource(input, keep, code_page.LeadByteRanges(), &source, &error)) {
    throw InputError{path + (error.line > 0 ? ":" + std::to_string(error.line) : "") +
                     ": " + error.message};
  }
  return source;
}

std::string VersionHelp() {
  std::string names;
  for (const WindowsVersion& v : KnownVersions()) names += std::string(names.empty() ? "" : ", ") + v.name;
  return names + ", or a version word as GetVersion returns it (0x0A280105)";
}

// Writes files only once all are ready, each through a temporary file, so
// a failure leaves none half written. "-" is standard output, written last.
void WriteAll(const std::vector<std::pair<std::string, std::string>>& all) {
  std::vector<std::pair<std::string, std::string>> files;
  const std::string* to_stdout = nullptr;
  for (const auto& file : all) {
    if (file.first == "-") {
      to_stdout = &file.second;
    } else {
      files.push_back(file);
    }
  }
  std::vector<std::string> temporaries;
  const auto discard = [&] {
    for (const std::string& t : temporaries) fs::remove(t);
  };
  for (const auto& [path, content] : files) {
    const std::string temporary = path + ".tmp-launcher-preview";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out) out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
      const std::string reason = std::strerror(errno);
      discard();
      fs::remove(temporary);
      throw InputError{path + ": cannot write: " + reason};
    }
    temporaries.push_back(temporary);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    std::error_code error;
    fs::rename(temporaries[i], files[i].first, error);
    if (error) {
      discard();
      throw InputError{files[i].first + ": cannot write: " + error.message()};
    }
  }
  if (to_stdout != nullptr) std::cout << *to_stdout << std::flush;
}

// At most one output may be standard output; it then takes the report's
// place there.
bool OneToStdout(const std::vector<const std::optional<std::string>*>& outputs) {
  int count = 0;
  for (const auto* output : outputs) count += *output && **output == "-" ? 1 : 0;
  if (count > 1) throw InputError{"only one output can be \"-\" (standard output)"};
  return count == 1;
}

Tails TailsOf(const PlanOptions& options) {
  Tails tails;
  tails.all = options.tail.value_or("");
  for (const std::string& argument : options.tail_for) {
    std::string error;
    if (!AddTailFor(argument, &tails, &error)) throw InputError{error};
  }
  return tails;
}

void Warn(const std::string& text) {
  std::cerr << "launcher-preview: warning: " << PrintableUtf8(text) << "\n";
}

// Every tail given that matches no option: said once, before any machine.
void WarnUnmatchedTails(const PlanOptions& options, const Tails& tails) {
  if (options.command_line) return;
  std::vector<std::string> tails_given = {tails.all};
  for (const auto& [family, tail] : tails.by_family) tails_given.push_back(tail);
  std::set<std::string> said;
  for (const std::string& tail : tails_given) {
    if (said.insert(tail).second && launcher::ResolveOption(tail.c_str()) == launcher::kNoOption) {
      Warn("the tail \"" + tail + "\" matches no option of the launcher's table");
    }
  }
}

std::optional<unsigned long> WindowsOption(const PlanOptions& options) {
  if (options.windows.empty()) return std::nullopt;
  const std::optional<unsigned long> word = ParseVersion(options.windows);
  if (!word) {
    throw InputError{"--windows: unknown Windows version \"" + options.windows +
                     "\" (use " + VersionHelp() + ")"};
  }
  return word;
}

// What the options say of every machine: all but the registry and, for a
// fleet, the version.
Machine BaseMachine(const PlanOptions& options) {
  Machine machine;
  machine.command_line =
      options.command_line ? *options.command_line : CommandLineFor(options.tail.value_or(""));
  if (machine.command_line.size() > 32767) {
    throw InputError{"the command line is longer than Windows allows (32767 characters)"};
  }
  if (options.system_dir) {
    if (options.system_dir->empty()) throw InputError{"--system-dir: empty path"};
    machine.system_dir = *options.system_dir;
  }
  machine.current_dir = options.current_dir;
  machine.program = options.program;
  if (options.package) {
    if (!fs::is_directory(*options.package)) {
      throw InputError{*options.package + ": not a folder"};
    }
    machine.package_dir = *options.package;
  }
  return machine;
}

// What every machine of a fleet (or the one of plan and verify) shares.
FleetSetup SetupOf(const PlanOptions& options) {
  FleetSetup setup;
  setup.base = BaseMachine(options);
  setup.version = WindowsOption(options);
  setup.tails = TailsOf(options);
  setup.whole_command_line = options.command_line.has_value();
  return setup;
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

void AddPlanOptions(CLI::App* command, PlanOptions* options, Command which) {
  const bool fleet = which != Command::kPlan;
  CLI::Option* live = nullptr;
  if (fleet) {
    command->add_option("--windows", options->windows,
                        "Windows version, instead of each machine folder's ver.txt: " +
                            VersionHelp());
  } else {
    live = command->add_flag(
        "--live", options->live,
        "Plan for this Windows machine: its keys (read only), version and system "
        "folder (Windows build only)");
    command->add_option("--windows", options->windows,
                        "Windows version (default: a machine folder's ver.txt): " +
                            VersionHelp())
        ->excludes(live);
  }
  CLI::Option* tail = command->add_option(
      "--tail", options->tail,
      "Command-line tail (default empty) for the families --tail-for does not name; "
      "the program path is C:\\Pkg\\launcher.exe");
  CLI::Option* tail_for = command->add_option(
      "--tail-for", options->tail_for,
      "FAMILY=TAIL: the tail of one family (9x, 2000, xp or other), as a login "
      "script gives each its own; repeatable");
  tail_for->allow_extra_args(false);  // one FAMILY=TAIL each time, folders after it
  command->add_option("--command-line", options->command_line,
                      "The whole command line, program path first, exactly as the "
                      "launcher would receive it")
      ->excludes(tail)
      ->excludes(tail_for);
  command->add_option("--system-dir", options->system_dir,
                      "System folder (default C:\\WINDOWS\\SYSTEM on 9x, "
                      "C:\\WINDOWS\\system32 otherwise)");
  command->add_option("--current-dir", options->current_dir,
                      "Folder the launcher is started in; holds the package when the "
                      "program path has no folder")
      ->capture_default_str();
  command->add_option("--program", options->program,
                      "Where launcher.exe lies, when the command line does not start "
                      "with its path (the package is beside it)");
  command->add_option("--package", options->package,
                      "A folder standing for the package: only files present there are "
                      "staged (names without regard to case, data3.cab a subfolder)");
  command->add_option("--codepage", options->codepage,
                      fleet ? "ANSI code page of the machines, for text in version-5 files "
                              "(default 1252)"
                            : "ANSI code page of the machine, for text in version-5 files "
                              "(default 1252; with --live, the machine's own)");
  if (which == Command::kVerify) {
    command->add_flag("--json", options->json,
                      "Print the verdict as one JSON object: verdict, differences, "
                      "changed_by_others");
    return;
  }
  if (fleet) {
    command->add_flag("--json", options->json,
                      "One JSON object per machine and line, with the CSV's column names, "
                      "instead of CSV");
    command->add_option("--after-root", options->after_root,
                        "A folder holding each machine's folder collected after the "
                        "rollout, by machine name: adds the verdict columns");
    command->add_option("--html", options->html,
                        "Write the fleet at a glance as one self-contained HTML page");
    return;
  }
  command->add_option("--after", options->after,
                      "Write the registry state after the run as a REGEDIT4 file (- for "
                      "standard output)");
  command->add_option("--changes", options->changes,
                      "Write the changes of the run as a REGEDIT4 file regedit can apply "
                      "(- for standard output)");
  command->add_flag("--json", options->json, "Print the plan as one JSON object");
}

int RunPlan(const PlanOptions& options) {
  try {
    std::string error;
    const std::unique_ptr<CodePage> code_page = CodePage::Open(
        options.codepage.value_or(options.live ? LiveCodePage() : 1252), &error);
    if (!code_page) throw InputError{"--codepage: " + error};
    const bool file_to_stdout = OneToStdout({&options.after, &options.changes});
    const FleetSetup setup = SetupOf(options);

    // One machine folder, or .reg files.
    std::optional<std::string> folder;
    for (const std::string& path : options.reg_files) {
      if (!fs::is_directory(path)) continue;
      if (options.reg_files.size() > 1) {
        throw InputError{path + ": is a folder; give one machine folder, or .reg files"};
      }
      if (!IsMachineFolder(path)) {
        throw InputError{path + ": holds no ver.txt and no .reg file"};
      }
      folder = path;
    }
    if (options.live && !options.reg_files.empty()) {
      throw InputError{"--live reads this machine's registry: give no .reg files"};
    }
    // The after-state shows every key of the files; a plan alone needs
    // only the launcher's.
    const Keep keep = options.after ? Keep::kEveryKey : Keep::kLauncherKeys;
    Plan plan;
    std::vector<Warning> warnings;
    if (folder) {
      FolderPlan planned;
      FolderError folder_error;
      if (!PlanFolder(*folder, setup, *code_page, &planned, &folder_error, keep)) {
        throw InputError{folder_error.message};
      }
      plan = std::move(planned.plan);
      warnings = std::move(planned.warnings);
    } else {
      Machine machine = setup.base;
      if (options.live) {
        const std::optional<std::string> failure = ReadLiveMachine(&machine);
        if (failure) throw InputError{"--live: " + *failure};
      } else if (setup.version) {
        machine.version_word = *setup.version;
      } else {
        throw InputError{"--windows is required with .reg files (or a machine folder with "
                         "ver.txt, or --live on Windows)"};
      }
      if (!setup.whole_command_line) {
        machine.command_line =
            CommandLineFor(setup.tails.For(launcher::ClassifyFamily(machine.version_word)));
      }
      for (const std::string& path : options.reg_files) {
        machine.sources.push_back(Load(path, *code_page, keep));
      }
      warnings = OtherRootWarnings(machine.sources);
      plan = MakePlan(machine, *code_page);
    }
    const FleetRow row = RowOfPlan(plan, "", std::move(warnings), *code_page);

    std::vector<std::pair<std::string, std::string>> files;
    if (options.after) {
      files.emplace_back(*options.after,
                         regfile::Write(regfile::Version::k4, regfile::Encoding::kBytes,
                                        StateItems(KeysToShow(plan.before, plan.after,
                                                              plan.listed))));
    }
    if (options.changes) {
      files.emplace_back(*options.changes,
                         regfile::Write(regfile::Version::k4, regfile::Encoding::kBytes,
                                        ChangeItems(plan.changes)));
    }
    std::string report;
    if (options.json) {
      nlohmann::ordered_json json = PlanJson(plan, *code_page);
      json["warnings"] = nlohmann::ordered_json::array();
      for (const Warning& w : row.warnings) {
        json["warnings"].push_back({{"kind", w.kind}, {"text", PrintableUtf8(w.text)}});
      }
      report = json.dump(2) + "\n";
    } else {
      report = PlanText(plan, *code_page);
    }
    WriteAll(files);
    for (const Warning& w : row.warnings) Warn(w.text);
    if (!file_to_stdout) std::cout << report;
    return 0;
  } catch (const InputError& error) {
    std::cerr << "launcher-preview: " << PrintableUtf8(error.message) << "\n";
    return 2;
  }
}

namespace {

// What the terminal shows at the end: how many were planned and failed,
// every failure, and each kind of warning with how many machines have it.
void Summary(const std::vector<FleetRow>& rows) {
  size_t failed = 0;
  std::map<std::string, std::vector<std::string>> warned;  // kind -> machines
  for (const FleetRow& row : rows) {
    if (row.failed) {
      ++failed;
      continue;
    }
    std::set<std::string> kinds;
    for (const Warning& w : row.warnings) kinds.insert(w.kind);
    for (const std::string& kind : kinds) warned[kind].push_back(row.machine);
  }
  std::string text = "fleet: " + std::to_string(rows.size()) + " machine" +
                     (rows.size() == 1 ? "" : "s") + ", " +
                     std::to_string(rows.size() - failed) + " planned, " +
                     std::to_string(failed) + " failed\n";
  constexpr size_t kShown = 20;
  size_t shown = 0;
  for (const FleetRow& row : rows) {
    if (!row.failed) continue;
    if (shown++ == kShown) {
      text += "  ... and " + std::to_string(failed - kShown) + " more failed (see the error column)\n";
      break;
    }
    text += "  failed: " + row.machine + ": " + PrintableUtf8(row.error) + "\n";
  }
  std::map<std::string, size_t> verdicts;
  for (const FleetRow& row : rows) {
    if (!row.failed && row.verdict) ++verdicts[*row.verdict];
  }
  for (const auto& [verdict, count] : verdicts) {
    text += "  verdict: " + verdict + ": " + std::to_string(count) + " machine" +
            (count == 1 ? "" : "s") + "\n";
  }
  for (const auto& [kind, machines] : warned) {
    std::string some;
    for (size_t i = 0; i < machines.size() && i < 5; ++i) {
      some += (i == 0 ? "" : ", ") + machines[i];
    }
    if (machines.size() > 5) some += ", ...";
    text += "  warning: " + kind + ": " + std::to_string(machines.size()) + " machine" +
            (machines.size() == 1 ? "" : "s") + " (" + some + ")\n";
  }
  std::cerr << text;
}

// The folders and tails of a fleet, in words, for its page.
std::string Described(const std::vector<std::string>& arguments, const PlanOptions& options,
                      const FleetSetup& setup) {
  std::string text;
  for (const std::string& a : arguments) text += (text.empty() ? "" : " ") + a;
  if (options.command_line) {
    text += "; command line " + *options.command_line;
  } else {
    for (const auto& [family, tail] : setup.tails.by_family) {
      text += "; " + std::string(FamilyName(family)) + " tail \"" + tail + "\"";
    }
    text += std::string("; ") + (setup.tails.by_family.empty() ? "" : "other families' ") +
            "tail \"" + setup.tails.all + "\"";
  }
  if (options.after_root) text += "; after the rollout: " + *options.after_root;
  return text;
}

}  // namespace

int RunFleet(const PlanOptions& options, const std::vector<std::string>& arguments) {
  std::vector<FleetRow> rows;
  bool page_to_stdout = false;
  try {
    std::string error;
    const std::unique_ptr<CodePage> code_page =
        CodePage::Open(options.codepage.value_or(1252), &error);
    if (!code_page) throw InputError{"--codepage: " + error};
    page_to_stdout = OneToStdout({&options.html});
    FleetSetup setup = SetupOf(options);
    setup.after_root = options.after_root;
    if (options.after_root && !fs::is_directory(*options.after_root)) {
      throw InputError{*options.after_root + ": not a folder"};
    }
    if (arguments.empty()) throw InputError{"fleet: no machine folder given"};
    const std::vector<std::string> folders = ExpandFolders(arguments);
    const std::vector<std::string> names = MachineNames(folders);
    WarnUnmatchedTails(options, setup.tails);
    rows.resize(folders.size());
    const bool show = StderrIsTerminal();
    const auto begin = std::chrono::steady_clock::now();
    RunInParallel(
        folders.size(), Cores(),
        [&](size_t i) { rows[i] = PlanFleetMachine(folders[i], names[i], setup, *code_page); },
        [&](size_t done) {
          if (!show) return;
          const double seconds =
              std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
          const double rate = seconds > 0 ? done / seconds : 0;
          const double left = rate > 0 ? (folders.size() - done) / rate : 0;
          std::fprintf(stderr, "\rfleet: %zu of %zu machines, %.0f a second, %.0f s left   ",
                       done, folders.size(), rate, left);
          if (done == folders.size()) std::fprintf(stderr, "\n");
        });
    std::vector<std::pair<std::string, std::string>> files;
    if (options.html) {
      FleetPageInfo info;
      info.title = "Fleet plan";
      info.generated_from = Described(arguments, options, setup);
      files.emplace_back(*options.html, FleetPage(rows, info));
    }
    const bool verdicts = options.after_root.has_value();
    std::string out;
    if (options.json) {
      for (const FleetRow& row : rows) out += FleetJson(row, verdicts).dump() + "\n";
    } else {
      out = FleetHeader(verdicts) + "\n";
      for (const FleetRow& row : rows) out += FleetLine(row, verdicts) + "\n";
    }
    WriteAll(files);
    if (!page_to_stdout) std::cout << out;
  } catch (const InputError& error) {
    std::cerr << "launcher-preview: " << PrintableUtf8(error.message) << "\n";
    return 2;
  }
  Summary(rows);
  for (const FleetRow& row : rows) {
    if (row.failed) return 1;
  }
  return 0;
}

int RunVerify(const PlanOptions& options, const std::string& before, const std::string& after) {
  try {
    std::string error;
    const std::unique_ptr<CodePage> code_page =
        CodePage::Open(options.codepage.value_or(1252), &error);
    if (!code_page) throw InputError{"--codepage: " + error};
    const FleetSetup setup = SetupOf(options);
    for (const std::string& folder : {before, after}) {
      if (!fs::is_directory(folder)) throw InputError{folder + ": not a folder"};
    }
    FolderPlan planned;
    FolderError folder_error;
    if (!PlanFolder(before, setup, *code_page, &planned, &folder_error)) {
      throw InputError{folder_error.message};
    }
    Collected collected;
    if (!ReadCollected(after, &collected, &folder_error, code_page->LeadByteRanges())) {
      throw InputError{folder_error.message};
    }
    const Verification verification = Verify(planned.plan, collected, *code_page);
    if (options.json) {
      std::cout << VerificationJson(verification).dump(2) << "\n";
    } else {
      std::cout << VerificationText(verification);
    }
    return verification.verdict == verdict::kAsPlanned ? 0 : 1;
  } catch (const InputError& error) {
    std::cerr << "launcher-preview: " << PrintableUtf8(error.message) << "\n";
    return 2;
  }
}

int RunCollectScript() {
#ifdef _WIN32
  // The script has its CR LF already: no text-mode translation.
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::cout << CollectScript();
  return 0;
}

int RunTable(const std::string& format) {
  const TableFormat f = format == "csv"        ? TableFormat::kCsv
                        : format == "markdown" ? TableFormat::kMarkdown
                                               : TableFormat::kText;
  std::cout << OptionTable(f);
  return 0;
}

}  // namespace preview
