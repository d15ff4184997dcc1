// Fleet speed (not a test): generates machine folders of a few KB each
// (bench/fleet_machines.h: ver.txt and version-5 exports in UTF-16, varied
// across the families, older settings, install types and adapters, a few
// broken) and plans them all as "launcher-preview fleet" does, on every core;
// then makes the fleet page of the rows.
//
//   fleet_bench [machines (10000)] [folder (a temporary one)]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/fleet_machines.h"
#include "preview/fleet/fleet.h"
#include "preview/fleet/machine_folder.h"
#include "preview/fleet/parallel.h"
#include "preview/output/fleet_page.h"
#include "preview/output/fleet_table.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const int machines = argc > 1 ? std::atoi(argv[1]) : 10000;
  const fs::path root = argc > 2 ? fs::path(argv[2])
                                 : fs::temp_directory_path() / "launcher-preview-fleet-bench";
  fs::remove_all(root);
  const fleet_machines::Fleet fleet = fleet_machines::WriteFleet(root.string(), machines);
  const std::vector<std::string>& folders = fleet.folders;
  const std::vector<std::string> names = preview::MachineNames(folders);
  const size_t bytes = fleet.bytes;
  std::string error;
  const std::unique_ptr<preview::CodePage> code_page = preview::CodePage::Open(1252, &error);
  preview::FleetSetup setup;
  const char* const kTails[] = {"", "/S /UPDATE /wbs", "-gina /S /I1"};
  for (int run = 0; run < 3; ++run) {
    setup.tails.all = kTails[run];
    std::vector<preview::FleetRow> rows(folders.size());
    const auto start = std::chrono::steady_clock::now();
    preview::RunInParallel(
        folders.size(), preview::Cores(),
        [&](size_t i) {
          rows[i] = preview::PlanFleetMachine(folders[i], names[i], setup, *code_page);
        },
        [](size_t) {});
    size_t output = preview::FleetHeader().size();
    int failed = 0;
    for (const preview::FleetRow& row : rows) {
      output += preview::FleetLine(row).size() + 1;
      failed += row.failed ? 1 : 0;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("tail \"%s\": %d machines (%.1f MB, %.1f KB each) in %.2f s on %u cores: "
                "%.0f machines/s, %.1f MB/s; %zu bytes of CSV, %d failed\n",
                kTails[run], machines, bytes / 1e6, bytes / 1e3 / machines, seconds,
                preview::Cores(), machines / seconds, bytes / 1e6 / seconds, output, failed);
    const auto page_start = std::chrono::steady_clock::now();
    const size_t page = preview::FleetPage(rows, {"Fleet plan", root.string(), {}}).size();
    std::printf("  its page: %.1f MB in %.3f s\n", page / 1e6,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - page_start)
                    .count());
  }
  fs::remove_all(root);
  return 0;
}
