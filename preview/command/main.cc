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

// Every subcommand's options, as the command line fills them.
struct Arguments {
  preview::PlanOptions plan, fleet, verify;
  std::vector<std::string> fleet_folders;
  std::string verify_before, verify_after;
  preview::KitOptions kit;
  std::string table_format = "text";
};

struct Subcommands {
  CLI::App* plan;
  CLI::App* fleet;
  CLI::App* verify;
  CLI::App* collect;
  CLI::App* kit;
  CLI::App* table;
};

CLI::App* AddPlan(CLI::App& app, Arguments& a) {
  CLI::App* plan = app.add_subcommand(
      "plan", "Runs the launcher in memory over the registry the files describe and "
              "prints the plan.");
  preview::AddPlanOptions(plan, &a.plan, preview::Command::kPlan);
  plan->add_option("REGFILE", a.plan.reg_files,
                   "Registry exports (regedit /e), merged in order (none: no key of the "
                   "launcher exists); or one machine folder as the collection script "
                   "fills it (its .reg files and ver.txt)");
  return plan;
}

CLI::App* AddFleet(CLI::App& app, Arguments& a) {
  CLI::App* fleet = app.add_subcommand(
      "fleet", "Plans every machine folder (its .reg exports and ver.txt) and prints one "
               "CSV row per machine, and a summary on stderr.");
  preview::AddPlanOptions(fleet, &a.fleet, preview::Command::kFleet);
  fleet->add_option("DIR", a.fleet_folders,
                    "Machine folders, or parent folders standing for each machine folder "
                    "in them")
      ->required();
  return fleet;
}

CLI::App* AddVerify(CLI::App& app, Arguments& a) {
  CLI::App* verify = app.add_subcommand(
      "verify", "Plans the machine from the folder collected before the rollout and "
                "checks the folder collected after it: as planned, not run, not finished "
                "or differs.");
  preview::AddPlanOptions(verify, &a.verify, preview::Command::kVerify);
  verify->add_option("BEFORE", a.verify_before, "The machine folder collected before the run")
      ->required();
  verify->add_option("AFTER", a.verify_after, "The machine folder collected after the run")
      ->required();
  return verify;
}

CLI::App* AddKit(CLI::App& app, Arguments& a, const char* program) {
  CLI::App* kit = app.add_subcommand(
      "rollout-kit",
      "Writes the rollout kit into KITDIR: a login script that collects each machine, runs the "
      "launcher once with the tail released for it (fleet --release) and collects it again.");
  kit->add_option("--package", a.kit.package,
                  "Where launcher.exe and its package lie, as the machines see it (a UNC or "
                  "drive path)")
      ->required();
  kit->add_option("--drop", a.kit.drop,
                  "A share the users may write, as the machines see it: the collections and "
                  "the log go there")
      ->required();
  kit->add_option("--helper", a.kit.helper,
                  "KIT.EXE to copy into the kit (default: the one beside this program)");
  kit->add_option("KITDIR", a.kit.folder, "The folder to write the kit into")->required();
  a.kit.program = program;
  return kit;
}

CLI::App* AddTable(CLI::App& app, Arguments& a) {
  CLI::App* table = app.add_subcommand(
      "table", "Prints the 44 options with their settings actions and response file per "
               "family.");
  table->add_option("--format", a.table_format, "text, markdown or csv")
      ->check(CLI::IsMember({"text", "markdown", "csv"}));
  return table;
}

// The exit code of a command line that does not parse: 0 for help (printed),
// 2 with one message.
int ParseFailure(CLI::App& app, const CLI::ParseError& error) {
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

int Main(int argc, char** argv) {
  CLI::App app{"Shows what the launcher will do on a machine, from its registry exports."};
  app.name("launcher-preview");
  app.require_subcommand(1);
  Arguments a;
  Subcommands sub;
  sub.plan = AddPlan(app, a);
  sub.fleet = AddFleet(app, a);
  sub.verify = AddVerify(app, a);
  sub.collect = app.add_subcommand(
      "collect-script", "Prints the batch file that collects a machine's exports and ver.txt.");
  sub.kit = AddKit(app, a, argc > 0 ? argv[0] : "");
  sub.table = AddTable(app, a);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::CallForAllHelp&) {
    std::cout << app.help("", CLI::AppFormatMode::All);
    return 0;
  } catch (const CLI::ParseError& error) {
    return ParseFailure(app, error);
  }
  if (*sub.table) return preview::RunTable(a.table_format);
  if (*sub.fleet) return preview::RunFleet(a.fleet, a.fleet_folders);
  if (*sub.collect) return preview::RunCollectScript();
  if (*sub.kit) return preview::RunRolloutKit(a.kit);
  if (*sub.verify) return preview::RunVerify(a.verify, a.verify_before, a.verify_after);
  return preview::RunPlan(a.plan);
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
