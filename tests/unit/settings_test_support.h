// Shorthands for the settings store tests: the three keys, raw value bytes
// and whole-key snapshots of the in-memory registry.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/memory_testing.h"
#include "settings/layout.h"

namespace settings_test {

using platform::Root;
constexpr Root kMachine = Root::kLocalMachine;
constexpr Root kUser = Root::kCurrentUser;
inline const std::string kSet = settings::kSettingsKey;
inline const std::string kOld = settings::kLegacyKey;
inline const std::string kInst = settings::kInstallerKey;

// (type, bytes) of one value.
using Data = std::pair<unsigned long, std::string>;
// Values of a key by stored name; nullopt for a missing key.
using KeyState = std::optional<std::map<std::string, Data>>;

inline Data Sz(const std::string& text) {
  return {platform::kRegSz, text + std::string(1, '\0')};
}

inline Data Dword(uint32_t n) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(n >> (8 * i));
  return {platform::kRegDword, bytes};
}

inline void Put(Root root, const std::string& path, const std::string& name,
                const Data& data) {
  memory::PutValue(root, path, name, data.first, data.second);
}

inline void Arrange(Root root, const std::string& path, const KeyState& state) {
  if (!state) return;
  memory::PutKey(root, path);
  for (const auto& [name, data] : *state) Put(root, path, name, data);
}

inline KeyState Snapshot(Root root, const std::string& path) {
  if (!memory::HasKey(root, path)) return std::nullopt;
  std::map<std::string, Data> values;
  for (const std::string& name : memory::ValueNames(root, path)) {
    const auto value = memory::GetValue(root, path, name);
    values[name] = {value->type, value->data};
  }
  return values;
}

inline std::optional<Data> Get(Root root, const std::string& path,
                               const std::string& name) {
  const auto value = memory::GetValue(root, path, name);
  if (!value) return std::nullopt;
  return Data{value->type, value->data};
}

}  // namespace settings_test
