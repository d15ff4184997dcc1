#include "fuzz/world.h"

#include <iterator>

#include "adapter/write_block_size.h"
#include "fuzz/lead_bytes.h"
#include "launcher/launcher.h"
#include "launcher/options.h"
#include "platform/memory_testing.h"
#include "settings/layout.h"

namespace world {

const char* const kPackageFiles[20] = {
    "layout.bin", "data1.cab", "data2.cab", "ikernel.ex_", "data1.hdr",
    "setup.ini", "setup.inx", "CorvaneAdminConfig.dat",
    "data3.cab\\setup.iss", "data3.cab\\SI1.iss", "data3.cab\\SI2.iss",
    "data3.cab\\SI3.iss", "data3.cab\\SI1XP.iss", "data3.cab\\SI3XP.iss",
    "data3.cab\\SI4XP.iss", "data3.cab\\SI5XP.iss", "data3.cab\\SUPDATE.iss",
    "data3.cab\\SUPDATEDA.iss", "data3.cab\\SUNINSTALL.iss",
    "data3.cab\\SUNINSTALLDA.iss"};
const char* const kStagedFiles[10] = {
    "layout.bin", "data1.cab", "data2.cab", "ikernel.ex_", "data1.hdr",
    "setup.ini", "setup.inx", "setup.exe", "setup.iss",
    "CorvaneAdminConfig.dat"};

namespace {

constexpr Root kMachine = Root::kLocalMachine;
constexpr Root kUser = Root::kCurrentUser;
const std::string kClass = adapter::kAdapterClassKey;

const char* const kValueNames[] = {
    "GinaInstallOption", "SilentLeapOption", "XRStatus", "XRstatus",
    "wModeSelect", "InstallOption", "ComponentId", "writeBlockSize"};
const char* const kTexts[] = {"1", "0", "Install Driver Only", "",
                              "install driver only", "01", " 1"};

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

// The same name with some letters in the other case: the registry takes
// it for the same.
std::string OtherCase(FuzzedDataProvider& in, std::string name) {
  if (!in.ConsumeBool()) return name;
  const uint64_t flips = in.ConsumeIntegral<uint64_t>();
  for (size_t i = 0; i < name.size() && i < 64; ++i) {
    const char c = name[i];
    if (((flips >> i) & 1) && ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')) {
      name[i] = static_cast<char>(c ^ 0x20);
    }
  }
  return name;
}

Key NewKey(Root root, const std::string& path) {
  Key key;
  key.root = root;
  key.path = path;
  return key;
}

Rights ChooseRights(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0: return Rights::kNoWrite;
    case 1: return Rights::kNoRead;
    default: return Rights::kAll;
  }
}

Key ClientKey(FuzzedDataProvider& in, Root root, const std::string& path) {
  Key key = NewKey(root, OtherCase(in, path));
  if (in.ConsumeIntegralInRange(0, 3) != 0) {
    key.present = true;
    for (int n = in.ConsumeIntegralInRange(0, 5); n > 0; --n) {
      const std::string name = in.ConsumeBool()
                                   ? OtherCase(in, in.PickValueInArray(kValueNames))
                                   : Name(in, 20);
      const unsigned long type = Type(in);
      key.values.push_back({name, type, Bytes(in)});
    }
  }
  key.rights = ChooseRights(in);
  return key;
}

// Each adapter's name starts with its own number, so none replaces another
// after the fix has seen it.
Key Adapter(FuzzedDataProvider& in, int number) {
  Key key = NewKey(kMachine, kClass + "\\" + std::to_string(number) + "_" + Name(in, 240));
  key.present = true;
  key.values.push_back({OtherCase(in, "ComponentId"),
                        in.ConsumeBool() ? platform::kRegSz : Type(in),
                        in.ConsumeBool() ? HardwareIdLike(in) + '\0' : Bytes(in)});
  if (in.ConsumeIntegralInRange(0, 3) == 0) {
    key.values.push_back({in.PickValueInArray(kValueNames), Type(in), Bytes(in)});
  }
  const int rights = in.ConsumeIntegralInRange(0, 7);
  key.rights = rights == 0 ? Rights::kNoWrite : rights == 1 ? Rights::kNoRead : Rights::kAll;
  return key;
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

void ApplyRights(Root root, const std::string& path, Rights rights) {
  if (rights == Rights::kNoWrite) memory::DenyWrite(root, path);
  if (rights == Rights::kNoRead) memory::DenyRead(root, path);
}

}  // namespace

Machine Choose(FuzzedDataProvider& in) {
  Machine m;
  const unsigned long kVersions[] = {0xC0000A04, 0xC0005A04, 0x08930005,
                                     0x0A280105, 0x00000006, 0x17710006};
  m.version = in.ConsumeBool() ? in.PickValueInArray(kVersions)
                               : in.ConsumeIntegral<uint32_t>();
  m.lead_bytes = in.ConsumeIntegral<uint8_t>();
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: m.system = "C:\\WINNT\\System32"; break;
    case 1: m.system = "C:\\Program Files\\Sys Dir"; break;
    case 2:  // at the edges of the 500-byte path buffers
      m.system = "C:\\" + std::string(in.ConsumeIntegralInRange(455, 500), 's');
      break;
    default: break;
  }
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: m.folder = "C:\\Program Files\\My Pkg"; break;
    case 1: m.folder = "D:\\" + Name(in, 40); break;
    case 2:
      m.folder = "C:\\" + std::string(in.ConsumeIntegralInRange(480, 520), 'f');
      break;
    default: break;
  }
  m.started_in_folder = in.ConsumeBool();
  m.command_line = CommandLine(in, m.folder);

  m.present = in.ConsumeIntegral<uint32_t>();
  m.read_only = in.ConsumeIntegral<uint32_t>();
  switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0: m.staging = Machine::Staging::kFile; break;
    case 1: m.staging = Machine::Staging::kMissing; break;
    default: m.staging = Machine::Staging::kFolder; break;
  }
  const uint32_t staged = in.ConsumeIntegral<uint32_t>();
  for (size_t i = 0; i < std::size(kStagedFiles); ++i) {
    m.leftovers.push_back(static_cast<Leftover>((staged >> (2 * i)) & 3));
  }

  const int denied = in.ConsumeIntegralInRange(0, 15);
  m.denied = denied <= 3 ? denied + 1 : 0;
  m.keys.push_back(ClientKey(in, kMachine, settings::kSettingsKey));
  m.keys.push_back(ClientKey(in, kMachine, settings::kLegacyKey));
  m.keys.push_back(ClientKey(in, kMachine, settings::kInstallerKey));
  m.keys.push_back(ClientKey(in, kUser, settings::kInstallerKey));
  m.class_key = NewKey(kMachine, kClass);
  m.class_key.present = in.ConsumeIntegralInRange(0, 3) != 0;
  m.class_key.rights = ChooseRights(in);
  int adapters = 0;
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) {
    m.adapters.push_back(Adapter(in, ++adapters));
  }
  m.marker = NewKey(kMachine, launcher::kMarkerKeyPath);
  m.marker.present = in.ConsumeBool();
  m.marker.rights = ChooseRights(in);

  m.polls = in.ConsumeIntegralInRange(1, kMaxPolls);
  m.added.resize(m.polls);
  for (auto& at_poll : m.added) {
    for (int n = in.ConsumeIntegralInRange(0, 2); n > 0; --n) {
      at_poll.push_back(Adapter(in, ++adapters));
    }
  }
  m.start_succeeds = in.ConsumeIntegralInRange(0, 7) != 0;
  m.run_again = in.ConsumeBool();
  return m;
}

void ApplyKey(const Key& key) {
  if (key.present) {
    memory::PutKey(key.root, key.path);
    for (const Value& v : key.values) {
      memory::PutValue(key.root, key.path, v.name, v.type, v.bytes);
    }
  }
  ApplyRights(key.root, key.path, key.rights);
}

void Apply(const Machine& m) {
  memory::SetVersion(m.version);
  fuzz::ChooseLeadBytes(m.lead_bytes);
  memory::SetSystemDirectory(m.system);
  if (m.started_in_folder) memory::SetCurrentDirectory(m.folder);
  memory::SetCommandLine(m.command_line);

  for (size_t i = 0; i < std::size(kPackageFiles); ++i) {
    if ((m.present >> i) & 1) {
      memory::PutFile(m.folder + "\\" + kPackageFiles[i], kPackageFiles[i],
                      ((m.read_only >> i) & 1) ? platform::kFileAttributeReadOnly : 0);
    }
  }
  const std::string staging = m.system + "\\SilentSetup";
  switch (m.staging) {
    case Machine::Staging::kFile: memory::PutFile(staging, "not a folder"); break;
    case Machine::Staging::kMissing: break;
    case Machine::Staging::kFolder: memory::PutFolder(staging); break;
  }
  for (size_t i = 0; i < m.leftovers.size(); ++i) {
    const std::string path = staging + "\\" + kStagedFiles[i];
    switch (m.leftovers[i]) {
      case Leftover::kFile: memory::PutFile(path, "old"); break;
      case Leftover::kReadOnlyFile:
        memory::PutFile(path, "old", platform::kFileAttributeReadOnly);
        break;
      case Leftover::kFolder: memory::PutFolder(path); break;
      case Leftover::kNone: break;
    }
  }

  switch (m.denied) {
    case 1: memory::DenyWrite(kMachine, ""); break;
    case 2: memory::DenyWrite(kMachine, "SOFTWARE\\Corvane"); break;
    case 3: memory::DenyRead(kMachine, "SOFTWARE"); break;
    case 4: memory::DenyWrite(kUser, ""); break;
    default: break;
  }
  for (const Key& key : m.keys) ApplyKey(key);
  ApplyKey(m.class_key);
  for (const Key& key : m.adapters) ApplyKey(key);
  ApplyKey(m.marker);
}

}  // namespace world
