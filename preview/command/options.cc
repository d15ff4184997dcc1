#include "preview/command/options.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <set>

#include "launcher/options.h"
#include "preview/exports/paths.h"
#include "preview/exports/unicode.h"
#include "preview/exports/windows_version.h"
#include "preview/output/escape.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

std::string VersionHelp() {
  std::string names;
  for (const WindowsVersion& v : KnownVersions()) names += std::string(names.empty() ? "" : ", ") + v.name;
  return names + ", or a version word as GetVersion returns it (0x0A280105)";
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

// The options of the machine: its Windows, command line, folders, package
// and code page.
void AddMachineOptions(CLI::App* command, PlanOptions* options, bool fleet) {
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
}

// fleet's own outputs.
void AddFleetOutputs(CLI::App* command, PlanOptions* options) {
  command->add_flag("--json", options->json,
                    "One JSON object per machine and line, with the CSV's column names, "
                    "instead of CSV");
  command->add_option("--after-root", options->after_root,
                      "A folder holding each machine's folder collected after the "
                      "rollout, by machine name: adds the verdict columns");
  command->add_option("--html", options->html,
                      "Write the fleet at a glance as one self-contained HTML page");
}

// fleet's options of the rollout kit: releases and what the kit shows.
void AddKitOptions(CLI::App* command, PlanOptions* options) {
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
}

// plan's own outputs.
void AddPlanOutputs(CLI::App* command, PlanOptions* options) {
  command->add_option("--after", options->after,
                      "Write the registry state after the run as a REGEDIT4 file (- for "
                      "standard output)");
  command->add_option("--changes", options->changes,
                      "Write the changes of the run as a REGEDIT4 file regedit can apply "
                      "(- for standard output)");
  command->add_flag("--json", options->json, "Print the plan as one JSON object");
}

}  // namespace

void AddPlanOptions(CLI::App* command, PlanOptions* options, Command which) {
  AddMachineOptions(command, options, which != Command::kPlan);
  switch (which) {
    case Command::kVerify:
      command->add_flag("--json", options->json,
                        "Print the verdict as one JSON object: verdict, differences, "
                        "changed_by_others");
      break;
    case Command::kFleet:
      AddFleetOutputs(command, options);
      AddKitOptions(command, options);
      command->add_option("--jobs", options->jobs,
                          "Machines planned side by side (default: one per core; 1 plans "
                          "them one after another on the program's own thread)")
          ->check(CLI::Range(1u, 256u));
      break;
    case Command::kPlan:
      AddPlanOutputs(command, options);
      break;
  }
}

std::unique_ptr<CodePage> OpenCodePage(const PlanOptions& options, int fallback) {
  std::string error;
  std::unique_ptr<CodePage> code_page = CodePage::Open(options.codepage.value_or(fallback), &error);
  if (!code_page) throw InputError{"--codepage: " + error};
  return code_page;
}

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

FleetSetup SetupOf(const PlanOptions& options) {
  FleetSetup setup;
  setup.base = BaseMachine(options);
  setup.version = WindowsOption(options);
  setup.tails = TailsOf(options);
  if (options.program) setup.program = *options.program;
  setup.whole_command_line = options.command_line.has_value();
  return setup;
}

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

void Warn(const std::string& text) {
  std::cerr << "launcher-preview: warning: " << EscapeText(text) << "\n";
}

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

}  // namespace preview
