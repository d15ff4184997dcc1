#include "preview/commands.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "preview/exports.h"
#include "preview/fleet.h"
#include "preview/live.h"
#include "preview/option_table_format.h"
#include "preview/parallel.h"
#include "preview/plan.h"
#include "preview/plan_output.h"
#include "preview/windows_version.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

// Bad input: the message names the file and line where it can.
struct InputError {
  std::string message;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError{path + ": cannot read: " + std::strerror(errno)};
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) throw InputError{path + ": cannot read"};
  return content.str();
}

Source Load(const std::string& path) {
  if (fs::is_directory(path)) throw InputError{path + ": is a folder, not a .reg file"};
  Source source{path, {}};
  regfile::Error error;
  if (!regfile::Parse(ReadFile(path), &source.file, &error)) {
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
// a failure leaves none half written.
void WriteAll(const std::vector<std::pair<std::string, std::string>>& files) {
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
  if (options.command_line) {
    machine.command_line = *options.command_line;
  } else {
    const std::string tail = options.tail.value_or("");
    machine.command_line = "C:\\Pkg\\launcher.exe" + (tail.empty() ? "" : " " + tail);
  }
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

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

void AddPlanOptions(CLI::App* command, PlanOptions* options, bool fleet) {
  if (fleet) {
    command->add_option("--windows", options->windows,
                        "Windows version of every machine, instead of its ver.txt: " +
                            VersionHelp());
  } else {
    CLI::Option* live = command->add_flag(
        "--live", options->live,
        "Plan for this Windows machine: its keys (read only), version and system "
        "folder (Windows build only)");
    command->add_option("--windows", options->windows, "Windows version: " + VersionHelp())
        ->excludes(live);
  }
  CLI::Option* tail = command->add_option(
      "--tail", options->tail,
      "Command-line tail (default empty); the program path is C:\\Pkg\\launcher.exe");
  command->add_option("--command-line", options->command_line,
                      "The whole command line, program path first, exactly as the "
                      "launcher would receive it")
      ->excludes(tail);
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
                      "ANSI code page of the machine, for text in version-5 files "
                      "(default 1252; with --live, the machine's own)");
  if (fleet) return;
  command->add_option("--after", options->after,
                      "Write the registry state after the run as a REGEDIT4 file");
  command->add_option("--changes", options->changes,
                      "Write the changes of the run as a REGEDIT4 file regedit can apply");
  command->add_flag("--json", options->json, "Print the plan as one JSON object");
}

int RunPlan(const PlanOptions& options) {
  try {
    std::string error;
    const std::unique_ptr<CodePage> code_page = CodePage::Open(
        options.codepage.value_or(options.live ? LiveCodePage() : 1252), &error);
    if (!code_page) throw InputError{"--codepage: " + error};
    Machine machine = BaseMachine(options);
    if (options.live) {
      const std::optional<std::string> failure = ReadLiveMachine(&machine);
      if (failure) throw InputError{"--live: " + *failure};
      if (!options.reg_files.empty()) {
        throw InputError{"--live reads this machine's registry: give no .reg files"};
      }
    } else {
      const std::optional<unsigned long> word = WindowsOption(options);
      if (!word) throw InputError{"--windows is required (or --live on Windows)"};
      machine.version_word = *word;
    }
    for (const std::string& path : options.reg_files) machine.sources.push_back(Load(path));
    const Plan plan = MakePlan(machine, *code_page);

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
    const std::string report =
        options.json ? PlanJson(plan, *code_page).dump(2) + "\n" : PlanText(plan, *code_page);
    WriteAll(files);
    std::cout << report;
    return 0;
  } catch (const InputError& error) {
    std::cerr << "launcher-preview: " << error.message << "\n";
    return 2;
  }
}

int RunFleet(const PlanOptions& options, const std::vector<std::string>& folders) {
  std::vector<FleetRow> rows(folders.size());
  try {
    std::string error;
    const std::unique_ptr<CodePage> code_page = CodePage::Open(
        options.codepage.value_or(options.live ? LiveCodePage() : 1252), &error);
    if (!code_page) throw InputError{"--codepage: " + error};
    const Machine base = BaseMachine(options);
    const std::optional<unsigned long> version = WindowsOption(options);
    if (folders.empty()) throw InputError{"fleet: no machine folder given"};
    const bool show = StderrIsTerminal();
    const auto begin = std::chrono::steady_clock::now();
    RunInParallel(
        folders.size(), Cores(),
        [&](size_t i) { rows[i] = PlanFleetMachine(folders[i], base, version, *code_page); },
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
  } catch (const InputError& error) {
    std::cerr << "launcher-preview: " << error.message << "\n";
    return 2;
  }
  std::string out = FleetHeader() + "\n";
  bool failed = false;
  for (const FleetRow& row : rows) {
    out += FleetLine(row) + "\n";
    failed = failed || row.failed;
  }
  std::cout << out;
  return failed ? 1 : 0;
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
