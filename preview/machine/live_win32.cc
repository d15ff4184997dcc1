// "plan --live" on Windows: the launcher's keys as this machine holds them,
// opened with KEY_READ only (nothing is written, no key created), and the
// version word and system folder the launcher would get.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <vector>

#include "preview/exports/exports.h"
#include "preview/machine/live.h"

namespace preview {

namespace {

HKEY RootKey(platform::Root root) {
  return root == platform::Root::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::u16string Wide(const char* text) {
  std::u16string units;
  for (const char* p = text; *p != 0; ++p) units += static_cast<char16_t>(*p);
  return units;
}

// The key and everything below it, as items of a version-5 export whose
// data is the stored bytes.
void ReadTree(platform::Root root, HKEY key, const std::u16string& path,
              std::vector<regfile::Item>* items) {
  regfile::Item item;
  item.kind = regfile::Item::Kind::kKey;
  item.key = regfile::KeyName{root, path};
  items->push_back(item);
  for (DWORD index = 0;; ++index) {
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(4096);
    DWORD name_size = static_cast<DWORD>(name.size());
    DWORD data_size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    LONG status = RegEnumValueW(key, index, name.data(), &name_size, nullptr, &type,
                                data.data(), &data_size);
    if (status == ERROR_MORE_DATA) {
      data.resize(data_size);
      name_size = static_cast<DWORD>(name.size());
      status = RegEnumValueW(key, index, name.data(), &name_size, nullptr, &type,
                             data.data(), &data_size);
    }
    if (status != ERROR_SUCCESS) break;
    regfile::Item value;
    value.kind = regfile::Item::Kind::kValue;
    value.key = item.key;
    value.name.assign(name.data(), name.data() + name_size);
    value.data.form = regfile::Data::Form::kHex;
    value.data.type = type;
    value.data.bytes.assign(reinterpret_cast<const char*>(data.data()), data_size);
    items->push_back(value);
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD name_size = 256;
    if (RegEnumKeyExW(key, index, name, &name_size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    HKEY sub = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    ReadTree(root, sub, path + u"\\" + std::u16string(name, name + name_size), items);
    RegCloseKey(sub);
  }
}

}  // namespace

std::optional<std::string> ReadLiveMachine(Machine* machine) {
  machine->version_word = GetVersion();
  if (machine->system_dir.empty()) {
    char folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length > MAX_PATH) return std::string("no system folder");
    machine->system_dir = folder;
  }
  Source source{"the registry of this machine", {}};
  source.file.version = regfile::Version::k5;
  source.file.encoding = regfile::Encoding::kUtf16;
  for (const ExportedKey& exported : kExportedKeys) {
    const std::u16string path = Wide(exported.path);
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootKey(exported.root), reinterpret_cast<const wchar_t*>(path.c_str()),
                      0, KEY_READ, &key) != ERROR_SUCCESS) {
      continue;  // as an export of a missing key: no file
    }
    ReadTree(exported.root, key, path, &source.file.items);
    RegCloseKey(key);
  }
  machine->sources.push_back(std::move(source));
  return std::nullopt;
}

int LiveCodePage() { return static_cast<int>(GetACP()); }

}  // namespace preview
