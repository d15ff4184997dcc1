// A whole launcher run on the in-memory platform, in a world the input
// chooses: the command line (up to 32,767 characters) and lead bytes, the
// version word, the system folder, registry values of any type and length
// in every key the launcher reads, keys without write or read rights,
// package and staged files present, missing or read-only, and a setup that
// ends after a few polls and may add adapters meanwhile. Any broken rule
// traps.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/world.h"
#include "launcher/launcher.h"
#include "launcher/wait.h"
#include "platform/memory_testing.h"
#include "settings/layout.h"
#include "tests/unit/run_invariants.h"

namespace {

using platform::Root;
constexpr Root kMachine = Root::kLocalMachine;
constexpr Root kUser = Root::kCurrentUser;

[[noreturn]] void Violated(const std::string& what) {
  std::fprintf(stderr, "run rule broken: %s\n", what.c_str());
  __builtin_trap();
}

// Every value of the client's keys, by key and folded name.
std::map<std::string, std::pair<unsigned long, std::string>> ClientValues() {
  const std::pair<Root, const char*> kKeys[] = {
      {kMachine, settings::kSettingsKey}, {kMachine, settings::kLegacyKey},
      {kMachine, settings::kInstallerKey}, {kUser, settings::kInstallerKey}};
  std::map<std::string, std::pair<unsigned long, std::string>> values;
  for (const auto& [root, path] : kKeys) {
    for (const std::string& name : memory::ValueNames(root, path)) {
      const auto value = memory::GetValue(root, path, name);
      values[run_check::Place(root, path) + ":" + run_check::Fold(name)] = {
          value->type, value->data};
    }
  }
  return values;
}

// The folder and every folder above it, up to its drive root.
void AddWithParents(std::vector<std::string>& folders, std::string folder) {
  for (size_t at; (at = folder.rfind('\\')) != std::string::npos && at > 2;) {
    folders.push_back(folder);
    folder.resize(at);
  }
  folders.push_back(folder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  memory::Reset();

  const world::Machine machine = world::Choose(in);
  world::Apply(machine);
  const std::string& folder = machine.folder;
  const std::string& system = machine.system;
  const std::string staging = system + "\\SilentSetup";

  // The setup: ends after a few polls, adding adapters before that.
  memory::SetStartSucceeds(machine.start_succeeds);
  memory::SetSleepHook([&](unsigned long ms) {
    const int poll = memory::SleepCount();
    if (ms != launcher::kPollIntervalMs) Violated("a pause other than 2000 ms");
    if (poll > machine.polls) Violated("still waiting after the setup ended");
    for (const world::Key& key : machine.added[poll - 1]) world::ApplyKey(key);
    if (poll == machine.polls) memory::RemoveKey(kMachine, launcher::kMarkerKeyPath);
  });

  // Every folder a file lies in or a wrong path could reach: the roots of
  // the drives in use and the folders on the way to the package and the
  // staging folder.
  std::vector<std::string> folders = {"C:\\", "D:\\", staging,
                                      folder + "\\data3.cab"};
  AddWithParents(folders, folder);
  AddWithParents(folders, system);
  const run_check::Before before(folders, staging);

  const char* tail = platform::CommandLineTail(platform::FullCommandLine());
  if (launcher::LauncherMain(tail) != 0) Violated("result other than 0");
  const std::string problem = before.Verify(tail, false);
  if (!problem.empty()) Violated(problem);

  // A second run right after the first changes no setting.
  if (machine.run_again) {
    const auto settled = ClientValues();
    memory::SetSleepHook([](unsigned long) {
      memory::RemoveKey(kMachine, launcher::kMarkerKeyPath);
    });
    (void)launcher::LauncherMain(tail);
    if (ClientValues() != settled) Violated("a second run changed a setting");
  }
  memory::SetSleepHook(nullptr);  // it refers to this run's locals
  return 0;
}
