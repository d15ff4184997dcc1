// launcher-preview: what the launcher will do on a machine, from that
// machine's registry exports, by running the launcher's own code over the
// in-memory platform.
//
//   launcher-preview plan --windows NAME [options] [REGFILE...]
//   launcher-preview plan [options] MACHINE-FOLDER
//   launcher-preview plan --live [options]           (Windows build)
//   launcher-preview fleet [options] DIR...     (machine or parent folders)
//   launcher-preview verify [options] BEFORE AFTER
//   launcher-preview collect-script
//   launcher-preview rollout-kit --package PKG --drop DROP [--helper KIT.EXE] KITDIR
//   launcher-preview table [--format text|markdown|csv]
//
// Exit code 0, or 2 with one message on stderr for bad input of any kind;
// nothing is written then.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "preview/command/commands.h"
#include "preview/exports/unicode.h"
#include "preview/output/escape.h"

namespace {

int Main(int argc, char** argv) {
  CLI::App app{"Shows what the launcher will do on a machine, from its registry exports."};
  app.name("launcher-preview");
  app.require_subcommand(1);

  preview::PlanOptions plan_options;
  CLI::App* plan = app.add_subcommand(
      "plan", "Runs the launcher in memory over the registry the files describe and "
              "prints the plan.");
  preview::AddPlanOptions(plan, &plan_options, preview::Command::kPlan);
  plan->add_option("REGFILE", plan_options.reg_files,
                   "Registry exports (regedit /e), merged in order (none: no key of the "
                   "launcher exists); or one machine folder as the collection script "
                   "fills it (its .reg files and ver.txt)");

  preview::PlanOptions fleet_options;
  std::vector<std::string> fleet_folders;
  CLI::App* fleet = app.add_subcommand(
      "fleet", "Plans every machine folder (its .reg exports and ver.txt) and prints one "
               "CSV row per machine, and a summary on stderr.");
  preview::AddPlanOptions(fleet, &fleet_options, preview::Command::kFleet);
  fleet->add_option("DIR", fleet_folders,
                    "Machine folders, or parent folders standing for each machine folder "
                    "in them")
      ->required();

  preview::PlanOptions verify_options;
  std::string verify_before, verify_after;
  CLI::App* verify = app.add_subcommand(
      "verify", "Plans the machine from the folder collected before the rollout and "
                "checks the folder collected after it: as planned, not run, not finished "
                "or differs.");
  preview::AddPlanOptions(verify, &verify_options, preview::Command::kVerify);
  verify->add_option("BEFORE", verify_before, "The machine folder collected before the run")
      ->required();
  verify->add_option("AFTER", verify_after, "The machine folder collected after the run")
      ->required();

  CLI::App* collect = app.add_subcommand(
      "collect-script", "Prints the batch file that collects a machine's exports and ver.txt.");

  preview::KitOptions kit_options;
  CLI::App* kit = app.add_subcommand(
      "rollout-kit",
      "Writes the rollout kit into KITDIR: a login script that collects each machine, runs the "
      "launcher once with the tail released for it (fleet --release) and collects it again.");
  kit->add_option("--package", kit_options.package,
                  "Where launcher.exe and its package lie, as the machines see it (a UNC or "
                  "drive path)")
      ->required();
  kit->add_option("--drop", kit_options.drop,
                  "A share the users may write, as the machines see it: the collections and "
                  "the log go there")
      ->required();
  kit->add_option("--helper", kit_options.helper,
                  "KIT.EXE to copy into the kit (default: the one beside this program)");
  kit->add_option("KITDIR", kit_options.folder, "The folder to write the kit into")->required();
  kit_options.program = argc > 0 ? argv[0] : "";

  std::string table_format = "text";
  CLI::App* table = app.add_subcommand(
      "table", "Prints the 44 options with their settings actions and response file per "
               "family.");
  table->add_option("--format", table_format, "text, markdown or csv")
      ->check(CLI::IsMember({"text", "markdown", "csv"}));

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::CallForAllHelp&) {
    std::cout << app.help("", CLI::AppFormatMode::All);
    return 0;
  } catch (const CLI::ParseError& error) {
    // A subcommand's own --help comes here too.
    if (error.get_exit_code() == 0) {
      CLI::App* asked = app.get_subcommands().empty() ? &app : app.get_subcommands().front();
      std::cout << asked->help();
      return 0;
    }
    // Arguments may be names from the field (a parent folder's glob).
    std::cerr << "launcher-preview: " << preview::EscapeText(error.what()) << "\n";
    return 2;
  }

  if (*table) return preview::RunTable(table_format);
  if (*fleet) return preview::RunFleet(fleet_options, fleet_folders);
  if (*collect) return preview::RunCollectScript();
  if (*kit) return preview::RunRolloutKit(kit_options);
  if (*verify) return preview::RunVerify(verify_options, verify_before, verify_after);
  return preview::RunPlan(plan_options);
}

}  // namespace

#ifdef _WIN32
// Windows hands the arguments over in UTF-16; the preview takes them in
// UTF-8, as folder names may lie beyond the ANSI code page.
int wmain(int argc, wchar_t** wide) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    arguments.push_back(preview::Utf8(reinterpret_cast<const char16_t*>(wide[i])));
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return Main(argc, argv.data());
}
#else
int main(int argc, char** argv) { return Main(argc, argv); }
#endif
