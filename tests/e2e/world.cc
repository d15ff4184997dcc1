#include "tests/e2e/world.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "tests/e2e/e2e_paths.h"

namespace e2e {

namespace {

// Written out here rather than taken from the launcher's headers, so a
// wrong name there shows up as a failure.
const char* const kSettings = "SOFTWARE\\Corvane\\NLX\\Settings";
const char* const kLegacy = "SOFTWARE\\Corvane\\Corvane Client Installation Program";
const char* const kInstaller = "Software\\VERDO Installer\\Setting";

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t from = 0;
  while (from <= text.size()) {
    size_t end = text.find(separator, from);
    if (end == std::string::npos) end = text.size();
    parts.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return parts;
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char two[3];
  for (unsigned char c : bytes) {
    std::snprintf(two, sizeof two, "%02x", c);
    out += two;
  }
  return out;
}

// name (lower case) -> value
typedef std::map<std::string, std::pair<std::string, RegValue>> ValueMap;

bool ReadAll(const KeyRef& key, ValueMap* values) {
  HKEY handle;
  if (RegOpenKeyExA(key.root, key.path, 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD name_size = sizeof name;
    unsigned char data[1024];
    DWORD data_size = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(handle, index, name, &name_size, nullptr, &type, data,
                      &data_size) != ERROR_SUCCESS) {
      break;
    }
    RegValue value;
    value.type = type;
    value.bytes.assign(reinterpret_cast<char*>(data), data_size);
    (*values)[Lower(name)] = std::make_pair(std::string(name), value);
  }
  RegCloseKey(handle);
  return true;
}

}  // namespace

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

bool KeyByLetter(char letter, KeyRef* key) {
  switch (letter) {
    case 'S': *key = {HKEY_LOCAL_MACHINE, kSettings}; return true;
    case 'L': *key = {HKEY_LOCAL_MACHINE, kLegacy}; return true;
    case 'I': *key = {HKEY_LOCAL_MACHINE, kInstaller}; return true;
    case 'U': *key = {HKEY_CURRENT_USER, kInstaller}; return true;
    case 'M': *key = {HKEY_LOCAL_MACHINE, kMarkerKey}; return true;
    case 'C': *key = {HKEY_LOCAL_MACHINE, kControlKey}; return true;
  }
  return false;
}

bool ParseValue(const std::string& text, RegValue* value) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  const std::string kind = text.substr(0, colon);
  const std::string data = text.substr(colon + 1);
  if (kind == "sz" || kind == "esz") {
    value->type = kind == "sz" ? REG_SZ : REG_EXPAND_SZ;
    value->bytes = data + std::string(1, '\0');
  } else if (kind == "dw") {
    const unsigned long n = std::strtoul(data.c_str(), nullptr, 0);
    value->type = REG_DWORD;
    value->bytes.clear();
    for (int i = 0; i < 4; ++i) value->bytes += static_cast<char>((n >> (8 * i)) & 0xFF);
  } else if (kind == "bin") {
    value->type = REG_BINARY;
    value->bytes.clear();
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
      value->bytes += static_cast<char>(std::strtoul(data.substr(i, 2).c_str(), nullptr, 16));
    }
  } else {
    return false;
  }
  return true;
}

std::string FormatValue(const RegValue& value) {
  const std::string& b = value.bytes;
  if ((value.type == REG_SZ || value.type == REG_EXPAND_SZ) && !b.empty() &&
      b.find('\0') == b.size() - 1) {
    return (value.type == REG_SZ ? "sz:" : "esz:") + b.substr(0, b.size() - 1);
  }
  if (value.type == REG_DWORD && b.size() == 4) {
    unsigned long n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(b[i]);
    return "dw:" + std::to_string(n);
  }
  if (value.type == REG_BINARY) return "bin:" + Hex(b);
  // Anything else is shown raw, so a wrong length or type is visible.
  return "type" + std::to_string(value.type) + ":" + Hex(b);
}

std::string DumpKey(const KeyRef& key) {
  ValueMap values;
  if (!ReadAll(key, &values)) return "-";
  std::string out;
  for (const auto& entry : values) {
    if (!out.empty()) out += ",";
    out += entry.second.first + "=" + FormatValue(entry.second.second);
  }
  return out;
}

bool KeyExists(const KeyRef& key) {
  HKEY handle;
  if (RegOpenKeyExA(key.root, key.path, 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

bool ReadValue(const KeyRef& key, const char* name, RegValue* value) {
  ValueMap values;
  if (!ReadAll(key, &values)) return false;
  const auto found = values.find(Lower(name));
  if (found == values.end()) return false;
  *value = found->second.second;
  return true;
}

bool WriteValue(const KeyRef& key, const char* name, const RegValue& value) {
  HKEY handle;
  if (RegCreateKeyExA(key.root, key.path, 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG status =
      RegSetValueExA(handle, name, 0, value.type,
                     reinterpret_cast<const BYTE*>(value.bytes.data()),
                     static_cast<DWORD>(value.bytes.size()));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

void DeleteTree(HKEY root, const char* path) {
  HKEY handle;
  if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) {
    return;
  }
  std::vector<std::string> children;
  char name[256];
  for (DWORD index = 0; RegEnumKeyA(handle, index, name, sizeof name) == ERROR_SUCCESS;
       ++index) {
    children.push_back(name);
  }
  RegCloseKey(handle);
  for (const std::string& child : children) {
    DeleteTree(root, (std::string(path) + "\\" + child).c_str());
  }
  RegDeleteKeyA(root, path);
}

std::string Arrange(const std::string& items_text) {
  if (items_text.empty()) return "";
  for (const std::string& item : Split(items_text, ';')) {
    if (item.empty()) continue;
    KeyRef key;
    if (!KeyByLetter(item[0], &key)) return "bad key in \"" + item + "\"";
    if (item.size() == 1) {
      HKEY handle;
      if (RegCreateKeyExA(key.root, key.path, 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &handle, nullptr) != ERROR_SUCCESS) {
        return "cannot create key " + item;
      }
      RegCloseKey(handle);
      continue;
    }
    const size_t equals = item.find('=');
    RegValue value;
    if (item[1] != '.' || equals == std::string::npos ||
        !ParseValue(item.substr(equals + 1), &value)) {
      return "bad item \"" + item + "\"";
    }
    if (!WriteValue(key, item.substr(2, equals - 2).c_str(), value)) {
      return "cannot write \"" + item + "\"";
    }
  }
  return "";
}

std::string CompareKey(char letter, const std::string& expected) {
  KeyRef key;
  if (!KeyByLetter(letter, &key)) return "bad key letter";
  ValueMap actual;
  const bool exists = ReadAll(key, &actual);
  const std::string shown = std::string(1, letter) + " is {" + DumpKey(key) +
                            "}, expected {" + expected + "}";
  if (expected == "-") return exists ? shown : "";
  if (!exists) return shown;
  ValueMap wanted;
  if (!expected.empty()) {
    for (const std::string& item : Split(expected, ',')) {
      const size_t equals = item.find('=');
      RegValue value;
      if (equals == std::string::npos || !ParseValue(item.substr(equals + 1), &value)) {
        return "bad expectation \"" + item + "\"";
      }
      wanted[Lower(item.substr(0, equals))] = std::make_pair(item.substr(0, equals), value);
    }
  }
  if (wanted.size() != actual.size()) return shown;
  for (const auto& entry : wanted) {
    const auto found = actual.find(entry.first);
    if (found == actual.end() || found->second.second.type != entry.second.second.type ||
        found->second.second.bytes != entry.second.second.bytes) {
      return shown;
    }
  }
  return "";
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  bytes->clear();
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
  std::fclose(f);
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
  return names;
}

void DeleteFolder(const std::string& path) {
  for (const std::string& name : ListFolder(path)) {
    const std::string child = path + "\\" + name;
    const DWORD attributes = GetFileAttributesA(child.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      DeleteFolder(child);
    } else {
      SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(child.c_str());
    }
  }
  RemoveDirectoryA(path.c_str());
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace e2e
