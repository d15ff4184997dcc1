#include "preview/command/commands.h"

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
#include "preview/exports/exports.h"
#include "preview/exports/unicode.h"
#include "preview/exports/paths.h"
#include "preview/output/escape.h"
#include "preview/fleet/fleet.h"
#include "preview/fleet/fleet_folders.h"
#include "preview/output/fleet_page.h"
#include "preview/machine/live.h"
#include "preview/fleet/machine_folder.h"
#include "preview/output/option_table_format.h"
#include "preview/fleet/parallel.h"
#include "preview/machine/plan.h"
#include "preview/output/plan_output.h"
#include "preview/fleet/releases.h"
#include "preview/fleet/rollout_kit.h"
#include "preview/fleet/tails.h"
#include "preview/fleet/verify.h"
#include "preview/exports/windows_version.h"
#include "preview/output/fleet_table.h"
#include "preview/output/verify_text.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

// Bad input: the message names the file and line where it can.
struct InputError {
  std::string message;
};

Source Load(const std::string& path, const CodePage& code_page, Keep keep) {
  if (fs::is_directory(PathOf(path))) throw InputError{path + ": is a folder, not a .reg file"};
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
    for (const std::string& t : temporaries) fs::remove(PathOf(t));
  };
  for (const auto& [path, content] : files) {
    const std::string temporary = path + ".tmp-launcher-preview";
    std::ofstream out(PathOf(temporary), std::ios::binary | std::ios::trunc);
    if (out) out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
      const std::string reason = std::strerror(errno);
      discard();
      fs::remove(PathOf(temporary));
      throw InputError{path + ": cannot write: " + reason};
    }
    temporaries.push_back(temporary);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    std::error_code error;
    fs::rename(PathOf(temporaries[i]), PathOf(files[i].first), error);
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
  std::cerr << "launcher-preview: warning: " << EscapeText(text) << "\n";
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
  machine.command_line = options.command_line
                             ? *options.command_line
                             : CommandLineFor(options.tail.value_or(""),
                                              options.program.value_or(kDefaultProgram));
  if (machine.command_line.size() > 32767) {
    throw InputError{"the command line is longer than Windows allows (32767 characters)"};
  }
  if (options.system_dir) {
    if (options.system_dir->empty()) throw InputError{"--system-dir: empty path"};
    machine.system_dir = *options.system_dir;
  }
  machine.current_dir = options.current_dir;
  // A whole command line need not start with the program's path; a tail's
  // command line does.
  if (options.command_line) machine.program = options.program;
  if (options.package) {
    if (!fs::is_directory(PathOf(*options.package))) {
      throw InputError{*options.package + ": not a folder"};
    }
    machine.package_dir = *options.package;
  }
  return machine;
}

// The options that are text of the machine (its command line, paths as it
// sees them) in its ANSI code page. Arguments arrive in UTF-8 (a terminal's
// text, or Windows' UTF-16 arguments converted); one that is no UTF-8 is
// taken as the machine's bytes already.
PlanOptions InMachineText(PlanOptions options, const CodePage& code_page) {
  const auto convert = [&](std::string& text) {
    if (const std::optional<std::u16string> units = Utf16FromUtf8(text)) {
      text = code_page.ToAnsi(*units);
    }
  };
  const auto convert_optional = [&](std::optional<std::string>& text) {
    if (text) convert(*text);
  };
  convert_optional(options.tail);
  for (std::string& tail : options.tail_for) convert(tail);
  convert_optional(options.command_line);
  convert_optional(options.program);
  convert_optional(options.system_dir);
  convert(options.current_dir);
  return options;
}

// What every machine of a fleet (or the one of plan and verify) shares.
FleetSetup SetupOf(const PlanOptions& options) {
  FleetSetup setup;
  setup.base = BaseMachine(options);
  setup.version = WindowsOption(options);
  setup.tails = TailsOf(options);
  if (options.program) setup.program = *options.program;
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
      "the command line is the program path (--program) and the tail");
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
                      "Where launcher.exe lies (the package is beside it; a path on a "
                      "share, \\\\SERVER\\SHARE\\..., too): the command line of --tail "
                      "and --tail-for starts with it (default C:\\Pkg\\launcher.exe); "
                      "with --command-line, the program started with that line");
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
    CLI::Option* release = command->add_option(
        "--release", options->release,
        "KITDIR: release machines into this rollout kit (REL\\<NAME>.TXT, holding the tail "
        "each plan used): those not released yet whose plan starts a silent setup with no "
        "warning");
    command->add_option("--release-machines", options->release_machines,
                        "Release these machines (names, comma-separated) anew, and only "
                        "them, whatever their plan says")
        ->delimiter(',')
        ->needs(release);
    command->add_flag("--release-all", options->release_all,
                      "Release every machine not released yet that the kit can run")
        ->needs(release);
    command->add_option("--withdraw", options->withdraw,
                        "Withdraw the releases of these machines (names, comma-separated)")
        ->delimiter(',')
        ->needs(release);
    command->add_option("--kit", options->kit,
                        "KITDIR: show each machine's release from this rollout kit")
        ->excludes(release);
    command->add_option("--logs", options->logs,
                        "The rollout kit's log folder (DROP\\log): show each machine's last "
                        "logon");
    command->add_option("--jobs", options->jobs,
                        "Machines planned side by side (default: one per core; 1 plans "
                        "them one after another on the program's own thread)")
        ->check(CLI::Range(1u, 256u));
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
    const FleetSetup setup = SetupOf(InMachineText(options, *code_page));

    // One machine folder, or .reg files.
    std::optional<std::string> folder;
    for (const std::string& path : options.reg_files) {
      if (!fs::is_directory(PathOf(path))) continue;
      if (options.reg_files.size() > 1) {
        throw InputError{path + ": is a folder; give one machine folder, or .reg files"};
      }
      if (!IsMachineFolder(path)) {
        throw InputError{path + (HoldsMachineFolders(path)
                                     ? ": is a folder of machine folders; plan takes one "
                                       "machine folder (fleet takes them all)"
                                     : ": holds no ver.txt and no .reg file")};
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
        machine.command_line = CommandLineFor(
            setup.tails.For(launcher::ClassifyFamily(machine.version_word)), setup.program);
      }
      for (const std::string& path : options.reg_files) {
        machine.sources.push_back(Load(path, *code_page, keep));
      }
      warnings = OtherRootWarnings(machine.sources);
      plan = MakePlan(machine, *code_page);
    }
    const FleetRow row = RowOfPlan(plan, "", std::move(warnings), *code_page);

    const memory::UseMachine use = UseMachineOf(plan);
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
        json["warnings"].push_back({{"kind", w.kind}, {"text", w.text}});
      }
      report = DumpJson(json, 2) + "\n";
    } else {
      report = PlanText(plan, *code_page);
    }
    WriteAll(files);
    for (const Warning& w : row.warnings) Warn(w.text);
    if (!file_to_stdout) std::cout << report;
    return 0;
  } catch (const InputError& error) {
    std::cerr << "launcher-preview: " << EscapeText(error.message) << "\n";
    return 2;
  }
}

namespace {

// A machine that failed: its folder did not plan, or the folder collected
// after the rollout did not read. The message names the file.
std::optional<std::string> Failure(const FleetRow& row) {
  if (row.failed) return row.error;
  if (row.verdict && *row.verdict == verdict::kUnreadable) {
    return "after the rollout: " + (row.differences.empty() ? std::string() : row.differences[0].what);
  }
  return std::nullopt;
}

// What the terminal shows at the end: how many were planned and failed,
// every failure, each verdict, and each kind of warning with how many
// machines have it.
void Summary(const std::vector<FleetRow>& rows) {
  size_t failed = 0, planned = 0;
  std::map<std::string, std::vector<std::string>> warned;  // kind -> machines
  for (const FleetRow& row : rows) {
    if (Failure(row)) ++failed;
    if (row.failed) continue;
    ++planned;
    std::set<std::string> kinds;
    for (const Warning& w : row.warnings) kinds.insert(w.kind);
    for (const std::string& kind : kinds) warned[kind].push_back(row.machine);
  }
  const auto machines = [](size_t n) {
    return std::to_string(n) + (n == 1 ? " machine" : " machines");
  };
  std::string text = "fleet: " + machines(rows.size()) + ", " + std::to_string(planned) +
                     " planned, " + std::to_string(failed) + " failed\n";
  constexpr size_t kShown = 20;
  size_t shown = 0;
  for (const FleetRow& row : rows) {
    const std::optional<std::string> failure = Failure(row);
    if (!failure) continue;
    if (shown++ == kShown) {
      text += "  ... and " + std::to_string(failed - kShown) + " more failed (see the error and differences columns)\n";
      break;
    }
    text += "  failed: " + EscapeText(row.machine) + ": " + EscapeText(*failure) + "\n";
  }
  std::map<std::string, size_t> verdicts;
  for (const FleetRow& row : rows) {
    if (!row.failed && row.verdict) ++verdicts[*row.verdict];
  }
  for (const auto& [verdict, count] : verdicts) {
    text += "  verdict: " + verdict + ": " + machines(count) + "\n";
  }
  for (const auto& [kind, names] : warned) {
    std::string some;
    for (size_t i = 0; i < names.size() && i < 5; ++i) {
      some += (i == 0 ? "" : ", ") + EscapeText(names[i]);
    }
    if (names.size() > 5) some += ", ...";
    text += "  warning: " + kind + ": " + machines(names.size()) + " (" + some + ")\n";
  }
  std::cerr << text;
}

// What --release did to the kit's records.
void ReleaseSummary(const ReleaseOutcome& outcome, const std::string& kit_dir) {
  const auto list = [](const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size() && i < 5; ++i) {
      text += (i == 0 ? "" : ", ") + EscapeText(names[i]);
    }
    return text + (names.size() > 5 ? ", ..." : "");
  };
  std::string text = "release: " + std::to_string(outcome.released.size()) +
                     " released into " + EscapeText(kit_dir);
  if (!outcome.released.empty()) text += " (" + list(outcome.released) + ")";
  text += ", " + std::to_string(outcome.kept.size()) + " released before and kept";
  if (!outcome.withdrawn.empty()) {
    text += ", " + std::to_string(outcome.withdrawn.size()) + " withdrawn (" +
            list(outcome.withdrawn) + ")";
  }
  text += "\n";
  std::map<std::string, std::vector<std::string>> by_reason;
  for (const auto& [machine, why] : outcome.not_released) by_reason[why].push_back(machine);
  for (const auto& [why, machines] : by_reason) {
    text += "  not released: " + why + ": " + std::to_string(machines.size()) + " (" +
            list(machines) + ")\n";
  }
  if (!outcome.unknown.empty()) {
    text += "  no such machine in the fleet: " + list(outcome.unknown) + "\n";
  }
  std::cerr << text;
}

// The folders and tails of a fleet, in words, for its page.
std::string Described(const std::vector<std::string>& arguments, const PlanOptions& options,
                      const FleetSetup& setup, const CodePage& code_page) {
  const auto shown = [&](const std::string& tail) { return Utf8FromAnsi(tail, code_page); };
  std::string text;
  for (const std::string& a : arguments) text += (text.empty() ? "" : " ") + a;
  if (options.command_line) {
    text += "; command line " + *options.command_line;
  } else {
    for (const auto& [family, tail] : setup.tails.by_family) {
      text += "; " + std::string(FamilyName(family)) + " tail \"" + shown(tail) + "\"";
    }
    text += std::string("; ") + (setup.tails.by_family.empty() ? "" : "other families' ") +
            "tail \"" + shown(setup.tails.all) + "\"";
  }
  if (options.after_root) text += "; after the rollout: " + *options.after_root;
  return text;
}

}  // namespace

int RunFleet(const PlanOptions& options, const std::vector<std::string>& arguments) {
  std::vector<FleetRow> rows;
  std::optional<ReleaseOutcome> release;
  bool page_to_stdout = false;
  try {
    std::string error;
    const std::unique_ptr<CodePage> code_page =
        CodePage::Open(options.codepage.value_or(1252), &error);
    if (!code_page) throw InputError{"--codepage: " + error};
    page_to_stdout = OneToStdout({&options.html});
    // The kit's package is where its machines start the launcher from.
    PlanOptions planned_options = options;
    const std::optional<std::string> kit_dir = options.release ? options.release : options.kit;
    if (kit_dir) {
      KitPlaces places;
      if (!ReadKitPlaces(*kit_dir, &places)) {
        throw InputError{*kit_dir + ": holds no rollout kit (no KIT.INI; write one with "
                                    "rollout-kit)"};
      }
      if (!options.program && !options.command_line) {
        planned_options.program = places.package + "\\launcher.exe";
      }
    }
    if (options.logs && !fs::is_directory(PathOf(*options.logs))) {
      throw InputError{*options.logs + ": not a folder"};
    }
    FleetSetup setup = SetupOf(InMachineText(planned_options, *code_page));
    setup.after_root = options.after_root;
    if (options.after_root && !fs::is_directory(PathOf(*options.after_root))) {
      throw InputError{*options.after_root + ": not a folder"};
    }
    if (arguments.empty()) throw InputError{"fleet: no machine folder given"};
    const FleetFolders found = FindMachines(arguments);
    std::vector<std::string> folders;
    for (const FoundFolder& f : found.folders) folders.push_back(f.path);
    const std::vector<std::string> names = MachineNames(folders);
    for (const Warning& w : found.warnings) Warn(w.text);
    WarnUnmatchedTails(options, setup.tails);
    rows.resize(folders.size());
    const bool show = StderrIsTerminal();
    const auto begin = std::chrono::steady_clock::now();
    RunInParallel(
        folders.size(), options.jobs.value_or(Cores()),
        [&](size_t i) {
          rows[i] = PlanFleetMachine(folders[i], names[i], setup, *code_page,
                                     found.folders[i].below);
        },
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
    if (options.release) {
      ReleaseRequest request{*options.release, options.release_machines, options.release_all,
                             options.withdraw};
      try {
        release = Release(rows, request);
      } catch (const std::runtime_error& failure) {
        throw InputError{failure.what()};
      }
      for (FleetRow& row : rows) {
        const auto why = release->not_released.find(row.machine);
        if (why != release->not_released.end()) row.not_released = why->second;
      }
    }
    std::map<std::string, ReleaseRecord> records;
    std::map<std::string, std::string> logs;
    if (kit_dir) (void)ReadReleases(*kit_dir, &records);
    if (options.logs) logs = ReadKitLogs(*options.logs);
    AnnotateKit(kit_dir ? &records : nullptr, options.logs ? &logs : nullptr, &rows);
    std::vector<std::pair<std::string, std::string>> files;
    if (options.html) {
      FleetPageInfo info;
      info.title = "Fleet plan";
      info.generated_from = Described(arguments, options, setup, *code_page);
      for (const Warning& w : found.warnings) info.notes.push_back(w.text);
      files.emplace_back(*options.html, FleetPage(rows, info));
    }
    const bool verdicts = options.after_root.has_value();
    const bool kit = kit_dir.has_value() || options.logs.has_value();
    std::string out;
    if (options.json) {
      for (const FleetRow& row : rows) out += DumpJson(FleetJson(row, verdicts, kit)) + "\n";
    } else {
      out = FleetHeader(verdicts, kit) + "\n";
      for (const FleetRow& row : rows) out += FleetLine(row, verdicts, kit) + "\n";
    }
    WriteAll(files);
    if (!page_to_stdout) std::cout << out;
  } catch (const InputError& error) {
    std::cerr << "launcher-preview: " << EscapeText(error.message) << "\n";
    return 2;
  }
  Summary(rows);
  if (release) ReleaseSummary(*release, *options.release);
  for (const FleetRow& row : rows) {
    if (Failure(row)) return 1;
  }
  return release && !release->unknown.empty() ? 1 : 0;
}

int RunVerify(const PlanOptions& options, const std::string& before, const std::string& after) {
  try {
    std::string error;
    const std::unique_ptr<CodePage> code_page =
        CodePage::Open(options.codepage.value_or(1252), &error);
    if (!code_page) throw InputError{"--codepage: " + error};
    const FleetSetup setup = SetupOf(InMachineText(options, *code_page));
    for (const std::string& folder : {before, after}) {
      if (!fs::is_directory(PathOf(folder))) throw InputError{folder + ": not a folder"};
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
    const Verification verification =
        Verify(planned.plan, collected, *code_page, planned.staged_before);
    if (options.json) {
      std::cout << DumpJson(VerificationJson(verification), 2) << "\n";
    } else {
      std::cout << VerificationText(verification);
    }
    return verification.verdict == verdict::kAsPlanned ? 0 : 1;
  } catch (const InputError& error) {
    std::cerr << "launcher-preview: " << EscapeText(error.message) << "\n";
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

int RunRolloutKit(const KitOptions& options) {
  try {
    std::string helper;
    if (options.helper) {
      helper = *options.helper;
    } else {
      std::error_code error;
      const fs::path self = fs::absolute(PathOf(options.program), error);
      helper = Utf8Of(self.parent_path() / "KIT.EXE");
    }
    WriteKit(options.folder, KitPlaces{options.package, options.drop}, helper);
  } catch (const std::exception& error) {
    std::cerr << "launcher-preview: rollout-kit: " << EscapeText(error.what()) << "\n";
    return 2;
  }
  std::cerr << "rollout-kit: written into " << EscapeText(options.folder)
            << "; call its LOGON.BAT from the login script, and release machines with "
               "fleet --release\n";
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
