// A whole launcher run on the in-memory platform, in a world the input
// chooses: the command line (up to 32,767 characters) and lead bytes, the
// version word, the system folder, registry values of any type and length
// in every key the launcher reads, keys without write or read rights,
// package and staged files present, missing or read-only, and a setup that
// ends after a few polls and may add adapters meanwhile. Any broken rule
// traps.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <iterator>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "adapter/write_block_size.h"
#include "fuzz/lead_bytes.h"
#include "launcher/launcher.h"
#include "launcher/options.h"
#include "launcher/wait.h"
#include "platform/memory_testing.h"
#include "settings/layout.h"
#include "tests/unit/run_invariants.h"

namespace {

using platform::Root;
constexpr Root kMachine = Root::kLocalMachine;
constexpr Root kUser = Root::kCurrentUser;
constexpr size_t kMaxCommandLine = 32767;
constexpr int kMaxPolls = 5;
const std::string kClass = adapter::kAdapterClassKey;

const char* const kPackageFiles[] = {
    "layout.bin", "data1.cab", "data2.cab", "ikernel.ex_", "data1.hdr",
    "setup.ini", "setup.inx", "CorvaneAdminConfig.dat",
    "data3.cab\\setup.iss", "data3.cab\\SI1.iss", "data3.cab\\SI2.iss",
    "data3.cab\\SI3.iss", "data3.cab\\SI1XP.iss", "data3.cab\\SI3XP.iss",
    "data3.cab\\SI4XP.iss", "data3.cab\\SI5XP.iss", "data3.cab\\SUPDATE.iss",
    "data3.cab\\SUPDATEDA.iss", "data3.cab\\SUNINSTALL.iss",
    "data3.cab\\SUNINSTALLDA.iss"};
const char* const kStagedFiles[] = {
    "layout.bin", "data1.cab", "data2.cab", "ikernel.ex_", "data1.hdr",
    "setup.ini", "setup.inx", "setup.exe", "setup.iss",
    "CorvaneAdminConfig.dat"};
const char* const kValueNames[] = {
    "GinaInstallOption", "SilentLeapOption", "XRStatus", "XRstatus",
    "wModeSelect", "InstallOption", "ComponentId", "writeBlockSize"};
const char* const kTexts[] = {"1", "0", "Install Driver Only", "",
                              "install driver only", "01", " 1"};

[[noreturn]] void Violated(const std::string& what) {
  std::fprintf(stderr, "run rule broken: %s\n", what.c_str());
  __builtin_trap();
}

// No zero byte and no backslash: one key or folder name.
std::string Name(FuzzedDataProvider& in, size_t max) {
  std::string name;
  for (char c : in.ConsumeRandomLengthString(max)) {
    if (c != 0 && c != '\\') name += c;
  }
  return name.empty() ? "x" : name;
}

// A supported id as it is, in another letter case, cut short or changed,
// with anything after it.
std::string HardwareIdLike(FuzzedDataProvider& in) {
  std::string id = adapter::kHardwareIds[in.ConsumeIntegralInRange(
      0, adapter::kHardwareIdCount - 1)];
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 1:
      for (char& c : id) {
        if (c >= 'A' && c <= 'Z' && in.ConsumeBool()) {
          c = static_cast<char>(c + 32);
        }
      }
      break;
    case 2:
      id[in.ConsumeIntegralInRange<size_t>(0, id.size() - 1)] ^=
          in.ConsumeIntegralInRange<char>(1, 127);
      break;
    case 3:
      id.resize(in.ConsumeIntegralInRange<size_t>(0, id.size() - 1));
      break;
    default:
      break;
  }
  return id + in.ConsumeRandomLengthString(16);
}

std::string Bytes(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 6)) {
    case 0:
    case 6:
      return std::string(in.PickValueInArray(kTexts)) +
             (in.ConsumeBool() ? std::string(1, '\0') : "");
    case 1:
      return HardwareIdLike(in) + std::string(1, '\0');
    case 2:
      return in.ConsumeBytesAsString(4);
    case 3: {  // around the 50- and 500-byte read capacities
      const size_t n = in.ConsumeIntegralInRange<size_t>(0, 600);
      return std::string(n, in.ConsumeIntegral<char>());
    }
    default:
      return in.ConsumeRandomLengthString(80);
  }
}

unsigned long Type(FuzzedDataProvider& in) {
  const unsigned long kTypes[] = {platform::kRegSz, platform::kRegExpandSz,
                                  platform::kRegBinary, platform::kRegDword,
                                  7 /* REG_MULTI_SZ */, 0 /* REG_NONE */};
  return in.ConsumeBool() ? in.PickValueInArray(kTypes)
                          : in.ConsumeIntegral<uint32_t>();
}

void Values(FuzzedDataProvider& in, Root root, const std::string& path) {
  for (int n = in.ConsumeIntegralInRange(0, 5); n > 0; --n) {
    const std::string name =
        in.ConsumeBool() ? in.PickValueInArray(kValueNames) : Name(in, 20);
    const unsigned long type = Type(in);
    memory::PutValue(root, path, name, type, Bytes(in));
  }
}

void Rights(FuzzedDataProvider& in, Root root, const std::string& path) {
  switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0: memory::DenyWrite(root, path); break;
    case 1: memory::DenyRead(root, path); break;
    default: break;
  }
}

void Key(FuzzedDataProvider& in, Root root, const std::string& path) {
  if (in.ConsumeIntegralInRange(0, 3) != 0) {
    memory::PutKey(root, path);
    Values(in, root, path);
  }
  Rights(in, root, path);
}

struct Stored {
  std::string name;
  unsigned long type;
  std::string bytes;
};

// Each adapter's name starts with its own number, so none replaces another
// after the fix has seen it.
std::function<void()> Adapter(FuzzedDataProvider& in, int number) {
  const std::string path =
      kClass + "\\" + std::to_string(number) + "_" + Name(in, 240);
  std::vector<Stored> values;
  values.push_back({"ComponentId",
                    in.ConsumeBool() ? platform::kRegSz : Type(in),
                    in.ConsumeBool() ? HardwareIdLike(in) + '\0' : Bytes(in)});
  if (in.ConsumeIntegralInRange(0, 3) == 0) {
    values.push_back({in.PickValueInArray(kValueNames), Type(in), Bytes(in)});
  }
  const int rights = in.ConsumeIntegralInRange(0, 7);
  return [=] {
    for (const Stored& v : values) {
      memory::PutValue(kMachine, path, v.name, v.type, v.bytes);
    }
    if (rights == 0) memory::DenyWrite(kMachine, path);
    if (rights == 1) memory::DenyRead(kMachine, path);
  };
}

std::string CommandLine(FuzzedDataProvider& in, const std::string& folder) {
  if (in.ConsumeIntegralInRange(0, 7) == 0) {
    return in.ConsumeRandomLengthString();
  }
  std::string line = folder + "\\launcher.exe";
  if (in.ConsumeBool()) line = "\"" + line + "\"";
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) {
    line += in.ConsumeBool() ? ' ' : '\t';
  }
  std::string tail;
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
    case 1: {  // an option, in any letter case
      tail = launcher::OptionString(
          in.ConsumeIntegralInRange(1, launcher::kOptionCount));
      const uint32_t flips = in.ConsumeIntegral<uint32_t>();
      for (size_t i = 0; i < tail.size() && i < 32; ++i) {
        const char c = tail[i];
        if (((flips >> i) & 1) && ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')) {
          tail[i] = static_cast<char>(c ^ 0x20);
        }
      }
      break;
    }
    case 2:
      tail = in.ConsumeRandomLengthString(64);
      break;
    default:  // as long as Windows allows
      tail = std::string(in.ConsumeIntegralInRange<size_t>(0, kMaxCommandLine),
                         in.ConsumeIntegral<char>());
  }
  line += tail;
  if (line.size() > kMaxCommandLine) line.resize(kMaxCommandLine);
  return line;
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

  // Platform: version, code page, folders.
  const unsigned long kVersions[] = {0xC0000A04, 0xC0005A04, 0x08930005,
                                     0x0A280105, 0x00000006, 0x17710006};
  memory::SetVersion(in.ConsumeBool() ? in.PickValueInArray(kVersions)
                                    : in.ConsumeIntegral<uint32_t>());
  fuzz::ChooseLeadBytes(in.ConsumeIntegral<uint8_t>());
  std::string system = "C:\\WINDOWS\\system32";
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: system = "C:\\WINNT\\System32"; break;
    case 1: system = "C:\\Program Files\\Sys Dir"; break;
    case 2:  // at the edges of the 500-byte path buffers
      system = "C:\\" + std::string(in.ConsumeIntegralInRange(455, 500), 's');
      break;
    default: break;
  }
  memory::SetSystemDirectory(system);
  const std::string staging = system + "\\SilentSetup";

  std::string folder = "C:\\Pkg";
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: folder = "C:\\Program Files\\My Pkg"; break;
    case 1: folder = "D:\\" + Name(in, 40); break;
    case 2:
      folder = "C:\\" + std::string(in.ConsumeIntegralInRange(480, 520), 'f');
      break;
    default: break;
  }
  if (in.ConsumeBool()) memory::SetCurrentDirectory(folder);
  memory::SetCommandLine(CommandLine(in, folder));

  // Files: the package, and what an earlier run left staged.
  const uint32_t present = in.ConsumeIntegral<uint32_t>();
  const uint32_t read_only = in.ConsumeIntegral<uint32_t>();
  for (size_t i = 0; i < std::size(kPackageFiles); ++i) {
    if ((present >> i) & 1) {
      memory::PutFile(folder + "\\" + kPackageFiles[i], kPackageFiles[i],
                    ((read_only >> i) & 1) ? platform::kFileAttributeReadOnly
                                           : 0);
    }
  }
  switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0: memory::PutFile(staging, "not a folder"); break;
    case 1: break;
    default: memory::PutFolder(staging); break;
  }
  const uint32_t staged = in.ConsumeIntegral<uint32_t>();
  for (size_t i = 0; i < std::size(kStagedFiles); ++i) {
    const std::string path = staging + "\\" + kStagedFiles[i];
    switch ((staged >> (2 * i)) & 3) {
      case 1: memory::PutFile(path, "old"); break;
      case 2:
        memory::PutFile(path, "old", platform::kFileAttributeReadOnly);
        break;
      case 3: memory::PutFolder(path); break;
      default: break;
    }
  }

  // Registry: the client's keys, the adapters, the marker key.
  switch (in.ConsumeIntegralInRange(0, 15)) {
    case 0: memory::DenyWrite(kMachine, ""); break;
    case 1: memory::DenyWrite(kMachine, "SOFTWARE\\Corvane"); break;
    case 2: memory::DenyRead(kMachine, "SOFTWARE"); break;
    case 3: memory::DenyWrite(kUser, ""); break;
    default: break;
  }
  Key(in, kMachine, settings::kSettingsKey);
  Key(in, kMachine, settings::kLegacyKey);
  Key(in, kMachine, settings::kInstallerKey);
  Key(in, kUser, settings::kInstallerKey);
  if (in.ConsumeIntegralInRange(0, 3) != 0) memory::PutKey(kMachine, kClass);
  Rights(in, kMachine, kClass);
  int adapters = 0;
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) {
    Adapter(in, ++adapters)();
  }
  if (in.ConsumeBool()) memory::PutKey(kMachine, launcher::kMarkerKeyPath);
  Rights(in, kMachine, launcher::kMarkerKeyPath);

  // The setup: ends after a few polls, adding adapters before that.
  const int polls = in.ConsumeIntegralInRange(1, kMaxPolls);
  std::vector<std::vector<std::function<void()>>> added(polls);
  for (auto& at_poll : added) {
    for (int n = in.ConsumeIntegralInRange(0, 2); n > 0; --n) {
      at_poll.push_back(Adapter(in, ++adapters));
    }
  }
  memory::SetStartSucceeds(in.ConsumeIntegralInRange(0, 7) != 0);
  const bool run_again = in.ConsumeBool();
  memory::SetSleepHook([&](unsigned long ms) {
    const int poll = memory::SleepCount();
    if (ms != launcher::kPollIntervalMs) Violated("a pause other than 2000 ms");
    if (poll > polls) Violated("still waiting after the setup ended");
    for (const auto& add : added[poll - 1]) add();
    if (poll == polls) memory::RemoveKey(kMachine, launcher::kMarkerKeyPath);
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
  if (run_again) {
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
