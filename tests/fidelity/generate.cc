// Random machines for the fidelity check: the whole-run fuzz target's
// machines (fuzz/world.cc), chosen from seeded random bytes and made into
// what a Wine prefix can hold. Each machine gets a folder with
//   machine.reg  the client's keys, written by "regedit /s" (UTF-16, version
//                5; the five exported keys are removed first)
//   machine.txt  key=value lines: seed, version (a Wine version name),
//                folder, program, current_dir, command_line_hex, present,
//                read_only (hex masks of world::kPackageFiles), staging
//                (folder or missing)
//
//   fidelity_generate <output folder> <count> <first seed> [<session> <sessions>]
//
// Machine k (from 1) has seed <first seed> + k - 1, so one machine is made
// again with "<count> 1 <its seed>". With <session> and <sessions> only the
// machines whose number minus one leaves <session> divided by <sessions>.
//
// A machine differs from the fuzz target's only where Wine cannot hold it or
// its regedit cannot export it faithfully; see Normalize.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "fuzz/world.h"
#include "launcher/dispatch.h"
#include "platform/memory_utf16.h"
#include "preview/exports/code_page.h"
#include "preview/exports/exports.h"
#include "preview/exports/reg_file.h"

namespace {

namespace fs = std::filesystem;

struct Normalized {
  world::Machine machine;
  std::string version;  // Wine's name for it
  std::string program;  // where launcher.exe lies
};

// Wine sets versions by name, per program.
std::string WineVersion(unsigned long word) {
  const unsigned long major = word & 0xFF;
  const unsigned long minor = (word >> 8) & 0xFF;
  switch (launcher::ClassifyFamily(word)) {
    case launcher::Family::kWindows9x:
      return minor == 0 ? "win95" : minor == 90 ? "winme" : "win98";
    case launcher::Family::kWindows2000: return "win2k";
    case launcher::Family::kWindowsXP: return "winxp";
    case launcher::Family::kOther: break;
  }
  if (major == 4) return "nt40";
  if (major == 5) return "win2003";
  if (major == 6 && minor == 0) return "vista";
  return "win7";
}

// A folder name Windows accepts.
std::string FileName(const std::string& text, size_t max) {
  std::string name;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || std::string("<>:\"/\\|?*").find(c) != std::string::npos) continue;
    name += c;
    if (name.size() >= max) break;
  }
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  return name.empty() ? "x" : name;
}

// What regedit's import and export carry unchanged: text values ended by
// their one terminator (regedit adds one anyway and exports a REG_SZ only
// up to its first zero), four-byte REG_DWORDs (Wine exports others as
// garbage); no line ends in key names, which no .reg file can hold.
void Normalize(world::Key* key) {
  for (char& c : key->path) {
    if (c == '\r' || c == '\n') c = '_';
  }
  for (world::Value& v : key->values) {
    if (v.type == 1) {
      std::string text;
      for (char c : v.bytes) {
        if (c != 0) text += c;
      }
      v.bytes = text + std::string(1, '\0');
    } else if ((v.type == 2 || v.type == 7) && (v.bytes.empty() || v.bytes.back() != 0)) {
      v.bytes += '\0';
    } else if (v.type == 4 && v.bytes.size() != 4) {
      v.type = 3;
    }
  }
  key->rights = world::Rights::kAll;  // a Wine prefix enforces none
}

Normalized Normalize(world::Machine m, int number) {
  Normalized n;
  n.version = WineVersion(m.version);
  m.lead_bytes = 0;                  // Wine's code page here is 1252
  m.system = "C:\\windows\\system32";  // and its system folder fixed
  // The package folder, below a folder of the machine's own, within MAX_PATH.
  const std::string root = "C:\\e2e\\fm\\" + std::to_string(number) + "\\";
  std::string folder;
  if (m.folder == "C:\\Pkg") {
    folder = root + "Pkg";
  } else if (m.folder == "C:\\Program Files\\My Pkg") {
    folder = root + "Program Files\\My Pkg";
  } else if (m.folder.compare(0, 3, "D:\\") == 0) {
    folder = root + FileName(m.folder.substr(3), 40);
  } else {
    folder = root + std::string(100, 'f');
  }
  std::string& line = m.command_line;
  const size_t at = line.find(m.folder + "\\launcher.exe");
  if (at != std::string::npos) line.replace(at, m.folder.size(), folder);
  for (char& c : line) {
    if (c == 0 || c == '\r' || c == '\n') c = ' ';  // no NUL in a command line
  }
  if (line.size() > 30000) line.resize(30000);
  m.folder = folder;
  n.program = folder + "\\launcher.exe";
  // Started with an empty command line, a program gets its quoted
  // application name from Wine's CreateProcessA instead.
  if (line.empty()) line = "\"" + n.program + "\"";
  m.denied = 0;
  for (world::Key& key : m.keys) Normalize(&key);
  Normalize(&m.class_key);
  for (world::Key& key : m.adapters) Normalize(&key);
  Normalize(&m.marker);
  // The setup removes the marker key at once and adds nothing: what it adds
  // later is beyond any plan.
  m.polls = 1;
  m.added.assign(1, {});
  m.start_succeeds = true;
  m.run_again = false;
  // What an earlier run left in the staging folder is in no export: the
  // preview takes the folder for empty (or missing).
  if (m.staging == world::Machine::Staging::kFile) m.staging = world::Machine::Staging::kMissing;
  m.leftovers.assign(m.leftovers.size(), world::Leftover::kNone);
  n.machine = m;
  return n;
}

std::u16string Wide(const std::string& text, const preview::CodePage& code_page) {
  return code_page.ToUtf16(text);
}

void AddKey(const world::Key& key, const preview::CodePage& code_page,
            std::vector<regfile::Item>* items) {
  if (!key.present) return;
  regfile::Item item;
  item.kind = regfile::Item::Kind::kKey;
  item.key = regfile::KeyName{key.root, Wide(key.path, code_page)};
  items->push_back(item);
  for (const world::Value& v : key.values) {
    regfile::Item value;
    value.kind = regfile::Item::Kind::kValue;
    value.key = item.key;
    value.name = Wide(v.name, code_page);
    value.data.form = regfile::Data::Form::kHex;
    value.data.type = v.type;
    // What RegSetValueExA stores on NT: text in UTF-16.
    value.data.bytes = (v.type == 1 || v.type == 2 || v.type == 7)
                           ? memory::LittleEndian(Wide(v.bytes, code_page))
                           : v.bytes;
    items->push_back(value);
  }
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : bytes) {
    text += kDigits[c >> 4];
    text += kDigits[c & 15];
  }
  return text;
}

bool Write(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 6) {
    std::fprintf(stderr,
                 "usage: fidelity_generate <output folder> <count> <first seed> "
                 "[<session> <sessions>]\n");
    return 2;
  }
  const fs::path out = argv[1];
  const int count = std::atoi(argv[2]);
  const unsigned long long first = std::strtoull(argv[3], nullptr, 10);
  const int session = argc == 6 ? std::atoi(argv[4]) : 0;
  const int sessions = argc == 6 ? std::atoi(argv[5]) : 1;
  std::string error;
  const std::unique_ptr<preview::CodePage> code_page = preview::CodePage::Open(1252, &error);
  if (!code_page) {
    std::fprintf(stderr, "fidelity_generate: %s\n", error.c_str());
    return 2;
  }
  for (int k = 1; k <= count; ++k) {
    if ((k - 1) % sessions != session) continue;
    const unsigned long long seed = first + static_cast<unsigned long long>(k - 1);
    std::mt19937_64 random(seed);
    std::vector<uint8_t> bytes(8192);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    FuzzedDataProvider in(bytes.data(), bytes.size());
    const Normalized n = Normalize(world::Choose(in), k);
    const world::Machine& m = n.machine;

    std::vector<regfile::Item> items;
    for (const preview::ExportedKey& exported : preview::kExportedKeys) {
      regfile::Item remove;
      remove.kind = regfile::Item::Kind::kDeleteKey;
      remove.key = regfile::KeyName{exported.root, Wide(exported.path, *code_page)};
      items.push_back(remove);
    }
    for (const world::Key& key : m.keys) AddKey(key, *code_page, &items);
    AddKey(m.class_key, *code_page, &items);
    for (const world::Key& key : m.adapters) AddKey(key, *code_page, &items);
    AddKey(m.marker, *code_page, &items);

    std::string text = "seed=" + std::to_string(seed) + "\r\n";
    text += "version=" + n.version + "\r\n";
    text += "folder=" + m.folder + "\r\n";
    text += "program=" + n.program + "\r\n";
    text += "current_dir=" + std::string(m.started_in_folder ? m.folder : "C:\\e2e") + "\r\n";
    text += "command_line_hex=" + Hex(m.command_line) + "\r\n";
    char masks[64];
    std::snprintf(masks, sizeof masks, "present=%x\r\nread_only=%x\r\n",
                  static_cast<unsigned>(m.present), static_cast<unsigned>(m.read_only));
    text += masks;
    text += std::string("staging=") +
            (m.staging == world::Machine::Staging::kMissing ? "missing" : "folder") +
            "\r\n";
    const fs::path folder = out / std::to_string(k);
    fs::remove_all(folder);
    fs::create_directories(folder);
    if (!Write(folder / "machine.reg",
               regfile::Write(regfile::Version::k5, regfile::Encoding::kUtf16, items)) ||
        !Write(folder / "machine.txt", text)) {
      std::fprintf(stderr, "fidelity_generate: cannot write %s\n", folder.string().c_str());
      return 1;
    }
  }
  return 0;
}
