// launcher-preview fleet: every machine folder planned, side by side; one
// CSV row (or JSON line) each, the page, the kit's releases, a summary.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "preview/command/commands.h"
#include "preview/command/output_files.h"
#include "preview/command/summary.h"
#include "preview/exports/paths.h"
#include "preview/exports/unicode.h"
#include "preview/fleet/fleet_folders.h"
#include "preview/fleet/parallel.h"
#include "preview/fleet/releases.h"
#include "preview/fleet/rollout_kit.h"
#include "preview/output/escape.h"
#include "preview/output/fleet_page.h"
#include "preview/output/fleet_table.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

// The options the machines are planned with: the kit's package is where
// its machines start the launcher from.
PlanOptions PlannedOptions(const PlanOptions& options, const std::optional<std::string>& kit_dir) {
  PlanOptions planned = options;
  if (!kit_dir) return planned;
  KitPlaces places;
  if (!ReadKitPlaces(*kit_dir, &places)) {
    throw InputError{*kit_dir + ": holds no rollout kit (no KIT.INI; write one with "
                                "rollout-kit)"};
  }
  if (!options.program && !options.command_line) {
    planned.program = places.package + "\\launcher.exe";
  }
  return planned;
}

// The folders found, their machines' names, planned side by side with the
// progress on a terminal.
std::vector<FleetRow> PlanMachines(const FleetFolders& found, const FleetSetup& setup,
                                   const CodePage& code_page, unsigned jobs) {
  std::vector<std::string> folders;
  for (const FoundFolder& f : found.folders) folders.push_back(f.path);
  const std::vector<std::string> names = MachineNames(folders);
  std::vector<FleetRow> rows(folders.size());
  const bool show = StderrIsTerminal();
  const auto begin = std::chrono::steady_clock::now();
  RunInParallel(
      folders.size(), jobs,
      [&](size_t i) {
        rows[i] = PlanFleetMachine(folders[i], names[i], setup, code_page, found.folders[i].below);
      },
      [&](size_t done) {
        if (!show) return;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        const double rate = seconds > 0 ? done / seconds : 0;
        const double left = rate > 0 ? (folders.size() - done) / rate : 0;
        std::fprintf(stderr, "\rfleet: %zu of %zu machines, %.0f a second, %.0f s left   ", done,
                     folders.size(), rate, left);
        if (done == folders.size()) std::fprintf(stderr, "\n");
      });
  return rows;
}

// --release applied to the kit; each row not released says why.
ReleaseOutcome ReleaseInto(const PlanOptions& options, std::vector<FleetRow>* rows) {
  const ReleaseRequest request{*options.release, options.release_machines, options.release_all,
                               options.withdraw};
  ReleaseOutcome outcome;
  try {
    outcome = Release(*rows, request);
  } catch (const std::runtime_error& failure) {
    throw InputError{failure.what()};
  }
  for (FleetRow& row : *rows) {
    const auto why = outcome.not_released.find(row.machine);
    if (why != outcome.not_released.end()) row.not_released = why->second;
  }
  return outcome;
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

// The rows as CSV or JSON lines.
std::string Table(const std::vector<FleetRow>& rows, const PlanOptions& options, bool kit) {
  const bool verdicts = options.after_root.has_value();
  std::string out;
  if (options.json) {
    for (const FleetRow& row : rows) out += DumpJson(FleetJson(row, verdicts, kit)) + "\n";
    return out;
  }
  out = FleetHeader(verdicts, kit) + "\n";
  for (const FleetRow& row : rows) out += FleetLine(row, verdicts, kit) + "\n";
  return out;
}

// What the command line names: the setup every machine shares, checked.
FleetSetup CheckedSetup(const PlanOptions& options, const std::optional<std::string>& kit_dir,
                        const CodePage& code_page) {
  const PlanOptions planned = PlannedOptions(options, kit_dir);
  if (options.logs && !fs::is_directory(PathOf(*options.logs))) {
    throw InputError{*options.logs + ": not a folder"};
  }
  FleetSetup setup = SetupOf(InMachineText(planned, code_page));
  setup.after_root = options.after_root;
  if (options.after_root && !fs::is_directory(PathOf(*options.after_root))) {
    throw InputError{*options.after_root + ": not a folder"};
  }
  return setup;
}

}  // namespace

int RunFleet(const PlanOptions& options, const std::vector<std::string>& arguments) {
  std::vector<FleetRow> rows;
  std::optional<ReleaseOutcome> release;
  try {
    const std::unique_ptr<CodePage> code_page = OpenCodePage(options);
    const bool page_to_stdout = OneToStdout({&options.html});
    const std::optional<std::string> kit_dir = options.release ? options.release : options.kit;
    const FleetSetup setup = CheckedSetup(options, kit_dir, *code_page);
    if (arguments.empty()) throw InputError{"fleet: no machine folder given"};
    const FleetFolders found = FindMachines(arguments);
    for (const Warning& w : found.warnings) Warn(w.text);
    WarnUnmatchedTails(options, setup.tails);
    rows = PlanMachines(found, setup, *code_page, options.jobs.value_or(Cores()));
    if (options.release) release = ReleaseInto(options, &rows);
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
    const std::string out = Table(rows, options, kit_dir.has_value() || options.logs.has_value());
    WriteAll(files);
    if (!page_to_stdout) std::cout << out;
  } catch (const InputError& error) {
    std::cerr << "launcher-preview: " << EscapeText(error.message) << "\n";
    return 2;
  }
  std::cerr << FleetSummary(rows);
  if (release) std::cerr << ReleaseSummary(*release, *options.release);
  for (const FleetRow& row : rows) {
    if (Failure(row)) return 1;
  }
  return release && !release->unknown.empty() ? 1 : 0;
}

}  // namespace preview
