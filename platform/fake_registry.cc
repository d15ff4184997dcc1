// The in-memory registry: two roots holding trees of keys. Key and value
// names compare ASCII case-insensitively and keep their first spelling.
// Handles point at key nodes, so a key removed under an open handle leaves
// the handle answering ERROR_KEY_DELETED instead of touching freed memory.
#include <cstdint>
#include <map>
#include <memory>

#include "platform/fake_internal.h"
#include "platform/fake_platform.h"

namespace fake {

namespace {

using platform::Status;
using internal::Fold;

// Access bits checked per operation.
constexpr unsigned long kQueryValue = 0x0001;     // KEY_QUERY_VALUE
constexpr unsigned long kSetValue = 0x0002;       // KEY_SET_VALUE
constexpr unsigned long kEnumerateKeys = 0x0008;  // KEY_ENUMERATE_SUB_KEYS

struct Key {
  std::string name;    // first spelling
  std::string path;    // from the root, first spellings; "" for the root
  std::string folded;  // Fold(path)
  std::vector<std::shared_ptr<Key>> subkeys;  // creation order
  std::vector<std::pair<std::string, Value>> values;  // creation order
  bool deleted = false;
};

struct Handle {
  Root root;
  std::shared_ptr<Key> key;
  unsigned long access;
};

struct Registry {
  std::shared_ptr<Key> roots[2] = {std::make_shared<Key>(),
                                   std::make_shared<Key>()};
  std::map<std::uintptr_t, Handle> handles;
  std::vector<std::pair<Root, std::string>> deny_write;  // folded paths
  std::vector<std::pair<Root, std::string>> deny_read;
  std::vector<std::string> writes;
};

Registry& Reg() {
  static Registry registry;
  return registry;
}

// Never reset, so a handle kept from an earlier test stays unknown.
std::uintptr_t next_handle = 0x1000;

const char* RootName(Root root) {
  return root == Root::kLocalMachine ? "HKLM" : "HKCU";
}

std::string Describe(Root root, const Key& key) {
  std::string text = RootName(root);
  if (!key.path.empty()) text += "\\" + key.path;
  return text;
}

void Log(const std::string& verb, Root root, const Key& key,
         const char* value_name = nullptr) {
  std::string line = verb + " " + Describe(root, key);
  if (value_name != nullptr) line += std::string(":") + value_name;
  Reg().writes.push_back(line);
}

// Splits a key path into names. Strict for the operating-system calls: a
// leading backslash or an empty name inside the path is refused, as a
// composed path with a doubled separator should not pass here and fail on
// Windows. One trailing backslash is allowed.
bool Split(const char* path, bool strict, std::vector<std::string>* names) {
  names->clear();
  if (path == nullptr) return true;
  std::string current;
  for (const char* p = path;; ++p) {
    if (*p != '\\' && *p != 0) {
      current += *p;
      continue;
    }
    if (!current.empty()) {
      names->push_back(current);
    } else if (strict && *p == '\\') {
      return false;  // leading or doubled separator
    }
    if (*p == 0) return true;
    current.clear();
  }
}

std::string JoinFolded(const std::vector<std::string>& names) {
  std::string path;
  for (const std::string& name : names) {
    if (!path.empty()) path += "\\";
    path += Fold(name);
  }
  return path;
}

bool AtOrBelow(const std::string& folded, const std::string& top) {
  if (top.empty()) return true;
  if (folded.compare(0, top.size(), top) != 0) return false;
  return folded.size() == top.size() || folded[top.size()] == '\\';
}

bool Denied(const std::vector<std::pair<Root, std::string>>& list, Root root,
            const std::string& folded) {
  for (const auto& entry : list) {
    if (entry.first == root && AtOrBelow(folded, entry.second)) return true;
  }
  return false;
}

std::shared_ptr<Key> Child(const Key& key, const std::string& name) {
  const std::string folded = Fold(name);
  for (const auto& sub : key.subkeys) {
    if (Fold(sub->name) == folded) return sub;
  }
  return nullptr;
}

std::shared_ptr<Key> Find(Root root, const std::vector<std::string>& names) {
  std::shared_ptr<Key> key = Reg().roots[static_cast<int>(root)];
  for (const std::string& name : names) {
    key = Child(*key, name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

// Creates the missing keys along names; logs each new one when asked.
std::shared_ptr<Key> Make(Root root, const std::vector<std::string>& names,
                          bool log) {
  std::shared_ptr<Key> key = Reg().roots[static_cast<int>(root)];
  for (const std::string& name : names) {
    std::shared_ptr<Key> sub = Child(*key, name);
    if (sub == nullptr) {
      sub = std::make_shared<Key>();
      sub->name = name;
      sub->path = key->path.empty() ? name : key->path + "\\" + name;
      sub->folded = Fold(sub->path);
      key->subkeys.push_back(sub);
      if (log) Log("create", root, *sub);
    }
    key = sub;
  }
  return key;
}

void MarkDeleted(Key& key) {
  key.deleted = true;
  for (const auto& sub : key.subkeys) MarkDeleted(*sub);
}

Value* FindValue(Key& key, const std::string& name) {
  const std::string folded = Fold(name);
  for (auto& entry : key.values) {
    if (Fold(entry.first) == folded) return &entry.second;
  }
  return nullptr;
}

void StoreValue(Key& key, const std::string& name, unsigned long type,
                const std::string& data) {
  if (Value* value = FindValue(key, name)) {
    *value = Value{type, data};
  } else {
    key.values.emplace_back(name, Value{type, data});
  }
}

platform::RegKey NewHandle(Root root, std::shared_ptr<Key> key,
                           unsigned long access) {
  const std::uintptr_t id = next_handle;
  next_handle += 4;
  Reg().handles[id] = Handle{root, std::move(key), access};
  return reinterpret_cast<platform::RegKey>(id);
}

// The live handle behind key, or nullptr with the error to answer.
Handle* Lookup(platform::RegKey key, Status* error) {
  auto it = Reg().handles.find(reinterpret_cast<std::uintptr_t>(key));
  if (it == Reg().handles.end()) {
    *error = kInvalidHandle;
    return nullptr;
  }
  if (it->second.key->deleted) {
    *error = internal::kKeyDeleted;
    return nullptr;
  }
  return &it->second;
}

// Checks for a value write or delete through handle.
Status WriteCheck(const Handle& handle) {
  if ((handle.access & kSetValue) == 0) return kAccessDenied;
  if (Denied(Reg().deny_write, handle.root, handle.key->folded)) {
    return kAccessDenied;
  }
  return platform::kSuccess;
}

Status CreateCommon(Root root, const char* path, platform::RegKey* key) {
  if (internal::InjectedFailure()) return kAccessDenied;
  if (key == nullptr) return internal::kInvalidParameter;
  std::vector<std::string> names;
  if (!Split(path, true, &names)) return internal::kBadPathname;
  const std::string folded = JoinFolded(names);
  // Creating opens with full access, which either list refuses.
  if (Denied(Reg().deny_read, root, folded) ||
      Denied(Reg().deny_write, root, folded)) {
    return kAccessDenied;
  }
  *key = NewHandle(root, Make(root, names, true), platform::kKeyAllAccess);
  return platform::kSuccess;
}

std::vector<std::string> Names(const std::string& path) {
  std::vector<std::string> names;
  (void)Split(path.c_str(), false, &names);
  return names;
}

}  // namespace

namespace internal {
void ResetRegistry() { Reg() = Registry(); }
}  // namespace internal

// ---- Control surface -------------------------------------------------------

void PutKey(Root root, const std::string& path) {
  (void)Make(root, Names(path), false);
}

void PutValue(Root root, const std::string& path, const std::string& name,
              unsigned long type, const std::string& bytes) {
  StoreValue(*Make(root, Names(path), false), name, type, bytes);
}

void PutString(Root root, const std::string& path, const std::string& name,
               const std::string& text) {
  PutValue(root, path, name, platform::kRegSz, text + std::string(1, '\0'));
}

void PutDword(Root root, const std::string& path, const std::string& name,
              uint32_t number) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
  }
  PutValue(root, path, name, platform::kRegDword, bytes);
}

void RemoveKey(Root root, const std::string& path) {
  std::vector<std::string> names = Names(path);
  if (names.empty()) {
    Key& top = *Reg().roots[static_cast<int>(root)];
    for (const auto& sub : top.subkeys) MarkDeleted(*sub);
    top.subkeys.clear();
    top.values.clear();
    return;
  }
  const std::string last = names.back();
  names.pop_back();
  std::shared_ptr<Key> parent = Find(root, names);
  if (parent == nullptr) return;
  const std::string folded = Fold(last);
  auto& subs = parent->subkeys;
  for (auto it = subs.begin(); it != subs.end(); ++it) {
    if (Fold((*it)->name) == folded) {
      MarkDeleted(**it);
      subs.erase(it);
      return;
    }
  }
}

bool HasKey(Root root, const std::string& path) {
  return Find(root, Names(path)) != nullptr;
}

std::optional<Value> GetValue(Root root, const std::string& path,
                              const std::string& name) {
  std::shared_ptr<Key> key = Find(root, Names(path));
  if (key == nullptr) return std::nullopt;
  if (Value* value = FindValue(*key, name)) return *value;
  return std::nullopt;
}

std::vector<std::string> ValueNames(Root root, const std::string& path) {
  std::vector<std::string> names;
  if (std::shared_ptr<Key> key = Find(root, Names(path))) {
    for (const auto& entry : key->values) names.push_back(entry.first);
  }
  return names;
}

std::vector<std::string> SubkeyNames(Root root, const std::string& path) {
  std::vector<std::string> names;
  if (std::shared_ptr<Key> key = Find(root, Names(path))) {
    for (const auto& sub : key->subkeys) names.push_back(sub->name);
  }
  return names;
}

void DenyWrite(Root root, const std::string& path) {
  Reg().deny_write.emplace_back(root, JoinFolded(Names(path)));
}

void DenyRead(Root root, const std::string& path) {
  Reg().deny_read.emplace_back(root, JoinFolded(Names(path)));
}

int OpenHandles() { return static_cast<int>(Reg().handles.size()); }

std::vector<std::string> RegistryWrites() { return Reg().writes; }

}  // namespace fake

// ---- Operations of platform.h ------------------------------------------------

namespace platform {

using fake::Handle;
using fake::Reg;

Status OpenKey(Root root, const char* path, unsigned long access,
               RegKey* key) {
  if (fake::internal::InjectedFailure()) return fake::kAccessDenied;
  if (key == nullptr) return fake::internal::kInvalidParameter;
  std::vector<std::string> names;
  if (!fake::Split(path, true, &names)) return fake::internal::kBadPathname;
  const std::string folded = fake::JoinFolded(names);
  if (fake::Denied(Reg().deny_read, root, folded)) return fake::kAccessDenied;
  if ((access & ~kKeyRead) != 0 &&
      fake::Denied(Reg().deny_write, root, folded)) {
    return fake::kAccessDenied;
  }
  std::shared_ptr<fake::Key> found = fake::Find(root, names);
  if (found == nullptr) return fake::kFileNotFound;
  *key = fake::NewHandle(root, std::move(found), access);
  return kSuccess;
}

Status CreateKey(Root root, const char* path, RegKey* key) {
  return fake::CreateCommon(root, path, key);
}

Status CreateKeyPlain(Root root, const char* path, RegKey* key) {
  return fake::CreateCommon(root, path, key);
}

Status QueryValue(RegKey key, const char* name, void* data,
                  unsigned long* size) {
  if (fake::internal::InjectedFailure()) return fake::kAccessDenied;
  Status error = kSuccess;
  Handle* handle = fake::Lookup(key, &error);
  if (handle == nullptr) return error;
  if ((handle->access & fake::kQueryValue) == 0) return fake::kAccessDenied;
  if (size == nullptr) {
    return data == nullptr ? kSuccess : fake::internal::kInvalidParameter;
  }
  const fake::Value* value =
      fake::FindValue(*handle->key, name != nullptr ? name : "");
  if (value == nullptr) return fake::kFileNotFound;
  const unsigned long stored = static_cast<unsigned long>(value->data.size());
  if (data != nullptr) {
    if (stored > *size) {
      *size = stored;  // like Windows: the size that would be needed
      return fake::kMoreData;
    }
    value->data.copy(static_cast<char*>(data), stored);
  }
  *size = stored;
  return kSuccess;
}

Status SetValue(RegKey key, const char* name, unsigned long type,
                const void* data, unsigned long size) {
  if (fake::internal::InjectedFailure()) return fake::kAccessDenied;
  Status error = kSuccess;
  Handle* handle = fake::Lookup(key, &error);
  if (handle == nullptr) return error;
  if (Status denied = fake::WriteCheck(*handle)) return denied;
  if (data == nullptr && size != 0) return fake::internal::kInvalidParameter;
  const char* value_name = name != nullptr ? name : "";
  fake::StoreValue(*handle->key, value_name, type,
                   std::string(static_cast<const char*>(data), size));
  fake::Log("set", handle->root, *handle->key, value_name);
  return kSuccess;
}

Status DeleteValue(RegKey key, const char* name) {
  if (fake::internal::InjectedFailure()) return fake::kAccessDenied;
  Status error = kSuccess;
  Handle* handle = fake::Lookup(key, &error);
  if (handle == nullptr) return error;
  if (Status denied = fake::WriteCheck(*handle)) return denied;
  const std::string folded = fake::Fold(name != nullptr ? name : "");
  auto& values = handle->key->values;
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (fake::Fold(it->first) == folded) {
      values.erase(it);
      fake::Log("delete", handle->root, *handle->key, name != nullptr ? name : "");
      return kSuccess;
    }
  }
  return fake::kFileNotFound;
}

Status EnumKey(RegKey key, unsigned long index, char* name,
               unsigned long capacity) {
  if (fake::internal::InjectedFailure()) return fake::kAccessDenied;
  Status error = kSuccess;
  Handle* handle = fake::Lookup(key, &error);
  if (handle == nullptr) return error;
  if ((handle->access & fake::kEnumerateKeys) == 0) return fake::kAccessDenied;
  const auto& subs = handle->key->subkeys;
  if (index >= subs.size()) return fake::kNoMoreItems;
  const std::string& found = subs[index]->name;
  if (name == nullptr || found.size() + 1 > capacity) return fake::kMoreData;
  found.copy(name, found.size());
  name[found.size()] = 0;
  return kSuccess;
}

Status CloseKey(RegKey key) {
  if (Reg().handles.erase(reinterpret_cast<std::uintptr_t>(key)) == 0) {
    return fake::kInvalidHandle;
  }
  return kSuccess;
}

}  // namespace platform
