// The in-memory registry: two roots holding trees of keys. Key and value
// names compare without regard to case and keep their first spelling; on a
// UTF-16 registry subkeys are kept in NT's order (by upper-case name).
// Handles point at key nodes, so a key removed under an open handle leaves
// the handle answering ERROR_KEY_DELETED instead of touching freed memory.
#include <algorithm>
#include <iterator>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/kit_platform.h"
#include "platform/memory_internal.h"

namespace memory {

namespace {

using platform::Status;
using internal::FoldName;

// Access bits checked per operation.
constexpr unsigned long kQueryValue = 0x0001;     // KEY_QUERY_VALUE
constexpr unsigned long kSetValue = 0x0002;       // KEY_SET_VALUE
constexpr unsigned long kEnumerateKeys = 0x0008;  // KEY_ENUMERATE_SUB_KEYS

struct Entry {
  std::u16string name;  // first spelling
  std::u16string folded;
  unsigned long type;
  std::string data;  // as stored
};

struct Key;

// Where a subkey stands among its siblings: by upper-case name on a UTF-16
// registry (NT's order), by creation on an ANSI one.
struct Place {
  uint64_t created;  // 0 on a UTF-16 registry
  std::u16string folded;
  bool operator<(const Place& other) const {
    return created != other.created ? created < other.created : folded < other.folded;
  }
};
using Subkeys = std::map<Place, std::shared_ptr<Key>>;

// Keys with many subkeys or values stay cheap to change: a subkey or value
// is found, added and removed without walking its siblings.
struct Key {
  std::u16string name;         // first spelling
  std::u16string folded_name;  // FoldName(name)
  std::u16string path;    // from the root, first spellings; "" for the root
  std::u16string folded;  // FoldName(path)
  Subkeys subkeys;        // in enumeration order
  std::unordered_map<std::u16string, Subkeys::iterator> by_name;  // folded
  // The subkeys by enumeration index, made again after a change.
  std::vector<const Key*> listing;
  bool listing_stale = false;
  std::list<Entry> values;  // creation order
  std::unordered_map<std::u16string, std::list<Entry>::iterator> value_index;  // folded
  bool deleted = false;
};

struct Handle {
  Root root;
  std::shared_ptr<Key> key;
  unsigned long access;
};

}  // namespace

struct internal::Registry {
  std::shared_ptr<Key> roots[2] = {std::make_shared<Key>(),
                                   std::make_shared<Key>()};
  std::map<std::uintptr_t, Handle> handles;
  std::vector<std::pair<Root, std::u16string>> deny_write;  // folded paths
  std::vector<std::pair<Root, std::u16string>> deny_read;
  uint64_t created = 0;  // keys made so far: the ANSI registry's subkey order
  // The key a stored value went to last: an export's values of one key
  // come in a row.
  Root last_root = Root::kLocalMachine;
  std::u16string last_path;
  std::shared_ptr<Key> last_key;
};

namespace {

using internal::Registry;

Registry& Reg() { return *internal::Current().registry; }

Key& RootKey(Root root) { return *Reg().roots[static_cast<int>(root)]; }

// Splits a key path into names. Strict for the operating-system calls: a
// leading backslash or an empty name inside the path is refused, as a
// composed path with a doubled separator should not pass here and fail on
// Windows. One trailing backslash is allowed.
bool Split(const std::u16string& path, bool strict,
           std::vector<std::u16string>* names) {
  names->clear();
  std::u16string current;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != u'\\') {
      current += path[i];
      continue;
    }
    if (!current.empty()) {
      names->push_back(current);
    } else if (strict && i < path.size()) {
      return false;  // leading or doubled separator
    }
    current.clear();
  }
  return true;
}

std::vector<std::u16string> Names(const std::u16string& path) {
  std::vector<std::u16string> names;
  (void)Split(path, false, &names);
  return names;
}

std::u16string JoinFolded(const std::vector<std::u16string>& names) {
  std::u16string path;
  for (const std::u16string& name : names) {
    if (!path.empty()) path += u'\\';
    path += FoldName(name);
  }
  return path;
}

bool AtOrBelow(const std::u16string& folded, const std::u16string& top) {
  if (top.empty()) return true;
  if (folded.compare(0, top.size(), top) != 0) return false;
  return folded.size() == top.size() || folded[top.size()] == u'\\';
}

bool Denied(const std::vector<std::pair<Root, std::u16string>>& list,
            Root root, const std::u16string& folded) {
  for (const auto& entry : list) {
    if (entry.first == root && AtOrBelow(folded, entry.second)) return true;
  }
  return false;
}

std::shared_ptr<Key> Child(const Key& key, const std::u16string& name) {
  auto found = key.by_name.find(FoldName(name));
  return found == key.by_name.end() ? nullptr : found->second->second;
}

// The subkeys in enumeration order, by index.
const std::vector<const Key*>& Listing(Key& key) {
  if (key.listing_stale) {
    key.listing.clear();
    for (const auto& entry : key.subkeys) key.listing.push_back(entry.second.get());
    key.listing_stale = false;
  }
  return key.listing;
}

std::shared_ptr<Key> Find(Root root, const std::vector<std::u16string>& names) {
  std::shared_ptr<Key> key = Reg().roots[static_cast<int>(root)];
  for (const std::u16string& name : names) {
    key = Child(*key, name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

void Insert(Key& parent, std::shared_ptr<Key> sub) {
  Place place{0, sub->folded_name};
  if (CurrentTextStorage() != TextStorage::kUtf16) place = {++Reg().created, u""};
  const std::u16string folded = sub->folded_name;
  parent.by_name[folded] = parent.subkeys.emplace(std::move(place), std::move(sub)).first;
  parent.listing_stale = true;
}

// Creates the missing keys along names; journals each new one when asked.
std::shared_ptr<Key> Make(Root root, const std::vector<std::u16string>& names,
                          bool journal) {
  std::shared_ptr<Key> key = Reg().roots[static_cast<int>(root)];
  for (const std::u16string& name : names) {
    std::shared_ptr<Key> sub = Child(*key, name);
    if (sub == nullptr) {
      sub = std::make_shared<Key>();
      sub->name = name;
      sub->folded_name = FoldName(name);
      sub->path = key->path.empty() ? name : key->path + u"\\" + name;
      sub->folded = FoldName(sub->path);
      Insert(*key, sub);
      if (journal) {
        Event event = internal::NewEvent(Operation::kKeyCreated);
        event.root = root;
        event.key = internal::ToProgram(sub->path);
        internal::Record(event);
      }
    }
    key = sub;
  }
  return key;
}

void MarkDeleted(Key& key) {
  key.deleted = true;
  for (const auto& entry : key.subkeys) MarkDeleted(*entry.second);
}

Entry* EntryNamed(Key& key, const std::u16string& name) {
  auto found = key.value_index.find(FoldName(name));
  return found == key.value_index.end() ? nullptr : &*found->second;
}

void Store(Key& key, const std::u16string& name, unsigned long type,
           const std::string& data) {
  std::u16string folded = FoldName(name);
  auto found = key.value_index.find(folded);
  if (found != key.value_index.end()) {
    found->second->type = type;  // the name keeps its first spelling
    found->second->data = data;
    return;
  }
  key.values.push_back(Entry{name, folded, type, data});
  key.value_index.emplace(std::move(folded), std::prev(key.values.end()));
}

bool Erase(Key& key, const std::u16string& name) {
  auto found = key.value_index.find(FoldName(name));
  if (found == key.value_index.end()) return false;
  key.values.erase(found->second);
  key.value_index.erase(found);
  return true;
}

void EraseSubtree(Root root, const std::vector<std::u16string>& path) {
  if (path.empty()) {
    Key& top = RootKey(root);
    for (const auto& entry : top.subkeys) MarkDeleted(*entry.second);
    top.subkeys.clear();
    top.by_name.clear();
    top.listing_stale = true;
    top.values.clear();
    top.value_index.clear();
    return;
  }
  std::vector<std::u16string> names = path;
  const std::u16string folded = FoldName(names.back());
  names.pop_back();
  std::shared_ptr<Key> parent = Find(root, names);
  if (parent == nullptr) return;
  auto found = parent->by_name.find(folded);
  if (found == parent->by_name.end()) return;
  MarkDeleted(*found->second->second);
  parent->subkeys.erase(found->second);
  parent->by_name.erase(found);
  parent->listing_stale = true;
}

platform::RegKey NewHandle(Root root, std::shared_ptr<Key> key,
                           unsigned long access) {
  std::uintptr_t& next_handle = internal::Current().next_handle;
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

// What every operation on a handle starts with: the failure a test may
// inject, then the live handle. nullptr with the error to answer.
Handle* Usable(platform::RegKey key, Status* error) {
  if (internal::InjectedFailure()) {
    *error = kAccessDenied;
    return nullptr;
  }
  return Lookup(key, error);
}

// Checks for a value write or delete through handle.
Status WriteCheck(const Handle& handle) {
  if ((handle.access & kSetValue) == 0) return kAccessDenied;
  if (Denied(Reg().deny_write, handle.root, handle.key->folded)) {
    return kAccessDenied;
  }
  return platform::kSuccess;
}

std::string Text(const char* s) { return s != nullptr ? s : ""; }

Event KeyEvent(Operation operation, Root root, const std::string& key) {
  Event event = internal::NewEvent(operation);
  event.root = root;
  event.key = key;
  return event;
}

// The journal entry of an operation through a handle: its key as stored.
Event HandleEvent(Operation operation, platform::RegKey key) {
  auto it = Reg().handles.find(reinterpret_cast<std::uintptr_t>(key));
  if (it == Reg().handles.end()) return KeyEvent(operation, Root::kLocalMachine, "");
  return KeyEvent(operation, it->second.root,
                  internal::ToProgram(it->second.key->path));
}

Status Journaled(Event event, Status status) {
  event.status = status;
  internal::Record(std::move(event));
  return status;
}

// RegOpenKeyExA and RegCreateKeyExA convert the path into the thread's
// static Unicode buffer of MAX_PATH + 1 characters (Wine does exactly that,
// after Windows): a longer path fails before any key is looked at.
constexpr size_t kMaxPathUnits = 260;

Status CreateCommon(Operation operation, Root root, const char* path,
                    platform::RegKey* key) {
  Event event = KeyEvent(operation, root, Text(path));
  if (internal::InjectedFailure()) return Journaled(event, kAccessDenied);
  if (key == nullptr) return Journaled(event, internal::kInvalidParameter);
  const std::u16string units = internal::FromProgram(Text(path));
  if (units.size() > kMaxPathUnits) return Journaled(event, kMoreData);
  std::vector<std::u16string> names;
  if (!Split(units, true, &names)) {
    return Journaled(event, internal::kBadPathname);
  }
  const std::u16string folded = JoinFolded(names);
  // Creating opens with full access, which either list refuses.
  if (Denied(Reg().deny_read, root, folded) ||
      Denied(Reg().deny_write, root, folded)) {
    return Journaled(event, kAccessDenied);
  }
  event.status = platform::kSuccess;
  internal::Record(event);  // the keys it creates come after it
  *key = NewHandle(root, Make(root, names, true), platform::kKeyAllAccess);
  return platform::kSuccess;
}

}  // namespace

namespace internal {

void ResetRegistry() { Current().registry = std::make_shared<Registry>(); }

void AddDenial(Root root, const std::string& path, bool write_only) {
  auto& list = write_only ? Reg().deny_write : Reg().deny_read;
  list.emplace_back(root, JoinFolded(Names(FromProgram(path))));
}

int HandleCount() { return static_cast<int>(Reg().handles.size()); }

}  // namespace internal

// ---- The program's view -------------------------------------------------------

void PutKey(Root root, const std::string& path) {
  (void)Make(root, Names(internal::FromProgram(path)), false);
}

void PutValue(Root root, const std::string& path, const std::string& name,
              unsigned long type, const std::string& bytes) {
  Store(*Make(root, Names(internal::FromProgram(path)), false),
        internal::FromProgram(name), type, internal::StoredData(type, bytes));
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
  EraseSubtree(root, Names(internal::FromProgram(path)));
}

bool HasKey(Root root, const std::string& path) {
  return Find(root, Names(internal::FromProgram(path))) != nullptr;
}

std::optional<Value> GetValue(Root root, const std::string& path,
                              const std::string& name) {
  std::shared_ptr<Key> key = Find(root, Names(internal::FromProgram(path)));
  if (key == nullptr) return std::nullopt;
  if (Entry* entry = EntryNamed(*key, internal::FromProgram(name))) {
    return Value{entry->type, internal::ProgramData(entry->type, entry->data)};
  }
  return std::nullopt;
}

std::vector<std::string> ValueNames(Root root, const std::string& path) {
  std::vector<std::string> names;
  if (std::shared_ptr<Key> key = Find(root, Names(internal::FromProgram(path)))) {
    for (const Entry& entry : key->values) {
      names.push_back(internal::ToProgram(entry.name));
    }
  }
  return names;
}

std::vector<std::string> SubkeyNames(Root root, const std::string& path) {
  std::vector<std::string> names;
  if (std::shared_ptr<Key> key = Find(root, Names(internal::FromProgram(path)))) {
    for (const auto& entry : key->subkeys) {
      names.push_back(internal::ToProgram(entry.second->name));
    }
  }
  return names;
}

// ---- As stored ------------------------------------------------------------------

namespace {
void Save(Root root, const Key& key, std::vector<StoredKey>* out) {
  for (const auto& entry : key.subkeys) {
    const Key* sub = entry.second.get();
    StoredKey saved{root, sub->path, {}};
    for (const Entry& value : sub->values) {
      saved.values.push_back(StoredValue{value.name, value.type, value.data});
    }
    out->push_back(std::move(saved));
    Save(root, *sub, out);
  }
}
}  // namespace

std::vector<StoredKey> SavedRegistry() {
  std::vector<StoredKey> keys;
  for (Root root : {Root::kLocalMachine, Root::kCurrentUser}) {
    Save(root, RootKey(root), &keys);
  }
  return keys;
}

std::u16string ComparedName(const std::u16string& name) {
  return FoldName(name);
}

std::string ProgramName(const std::u16string& stored) {
  return internal::ToProgram(stored);
}

std::u16string StoredName(const std::string& program) {
  return internal::FromProgram(program);
}

std::string ProgramData(const StoredValue& value) {
  return internal::ProgramData(value.type, value.data);
}

std::string StoredData(unsigned long type, const std::string& program) {
  return internal::StoredData(type, program);
}

void StoreKey(Root root, const std::u16string& path) {
  (void)Make(root, Names(path), false);
}

void StoreValue(Root root, const std::u16string& path,
                const StoredValue& value) {
  Registry& reg = Reg();
  if (reg.last_key == nullptr || reg.last_key->deleted || reg.last_root != root ||
      reg.last_path != path) {
    reg.last_key = Make(root, Names(path), false);
    reg.last_root = root;
    reg.last_path = path;
  }
  Store(*reg.last_key, value.name, value.type, value.data);
}

void EraseValue(Root root, const std::u16string& path,
                const std::u16string& name) {
  if (std::shared_ptr<Key> key = Find(root, Names(path))) (void)Erase(*key, name);
}

void EraseKey(Root root, const std::u16string& path) {
  EraseSubtree(root, Names(path));
}

}  // namespace memory

// ---- Operations of platform.h ------------------------------------------------

namespace platform {

using memory::Event;
using memory::Handle;
using memory::Operation;
using memory::Reg;

Status OpenKey(Root root, const char* path, unsigned long access,
               RegKey* key) {
  Event event = memory::KeyEvent(Operation::kOpenKey, root, memory::Text(path));
  event.number = access;
  if (memory::internal::InjectedFailure()) {
    return memory::Journaled(event, memory::kAccessDenied);
  }
  if (key == nullptr) {
    return memory::Journaled(event, memory::internal::kInvalidParameter);
  }
  const std::u16string units = memory::internal::FromProgram(memory::Text(path));
  if (units.size() > memory::kMaxPathUnits) {
    return memory::Journaled(event, memory::kMoreData);
  }
  std::vector<std::u16string> names;
  if (!memory::Split(units, true, &names)) {
    return memory::Journaled(event, memory::internal::kBadPathname);
  }
  const std::u16string folded = memory::JoinFolded(names);
  if (memory::Denied(Reg().deny_read, root, folded) ||
      ((access & ~kKeyRead) != 0 &&
       memory::Denied(Reg().deny_write, root, folded))) {
    return memory::Journaled(event, memory::kAccessDenied);
  }
  std::shared_ptr<memory::Key> found = memory::Find(root, names);
  if (found == nullptr) return memory::Journaled(event, memory::kFileNotFound);
  *key = memory::NewHandle(root, std::move(found), access);
  return memory::Journaled(event, kSuccess);
}

Status CreateKey(Root root, const char* path, RegKey* key) {
  return memory::CreateCommon(Operation::kCreateKey, root, path, key);
}

Status CreateKeyPlain(Root root, const char* path, RegKey* key) {
  return memory::CreateCommon(Operation::kCreateKeyPlain, root, path, key);
}

Status QueryValue(RegKey key, const char* name, void* data,
                  unsigned long* size) {
  Event event = memory::HandleEvent(Operation::kQueryValue, key);
  event.name = memory::Text(name);
  event.number = size != nullptr ? *size : 0;
  Status error = kSuccess;
  Handle* handle = memory::Usable(key, &error);
  if (handle == nullptr) return memory::Journaled(event, error);
  if ((handle->access & memory::kQueryValue) == 0) {
    return memory::Journaled(event, memory::kAccessDenied);
  }
  if (size == nullptr) {
    return memory::Journaled(event, data == nullptr
                                        ? kSuccess
                                        : memory::internal::kInvalidParameter);
  }
  const memory::Entry* value = memory::EntryNamed(
      *handle->key, memory::internal::FromProgram(memory::Text(name)));
  if (value == nullptr) return memory::Journaled(event, memory::kFileNotFound);
  const std::string bytes =
      memory::internal::ProgramData(value->type, value->data);
  const unsigned long stored = static_cast<unsigned long>(bytes.size());
  if (data != nullptr && stored > 0) {
    if (stored > *size) {
      *size = stored;  // like Windows: the size that would be needed
      return memory::Journaled(event, memory::kMoreData);
    }
    char* out = static_cast<char*>(data);
    bytes.copy(out, stored);
    // NT ends converted text that had no terminator, when there is room.
    if (memory::internal::ConvertsOnRead(value->type) && stored < *size &&
        out[stored - 1] != 0) {
      out[stored] = 0;
    }
    event.data = bytes;
  }
  *size = stored;
  return memory::Journaled(event, kSuccess);
}

Status SetValue(RegKey key, const char* name, unsigned long type,
                const void* data, unsigned long size) {
  Event event = memory::HandleEvent(Operation::kSetValue, key);
  event.name = memory::Text(name);
  event.type = type;
  if (data != nullptr) event.data.assign(static_cast<const char*>(data), size);
  Status error = kSuccess;
  Handle* handle = memory::Usable(key, &error);
  if (handle == nullptr) return memory::Journaled(event, error);
  if (Status denied = memory::WriteCheck(*handle)) {
    return memory::Journaled(event, denied);
  }
  if (data == nullptr && size != 0) {
    return memory::Journaled(event, memory::internal::kInvalidParameter);
  }
  memory::Store(*handle->key, memory::internal::FromProgram(event.name), type,
                memory::internal::StoredData(type, event.data));
  return memory::Journaled(event, kSuccess);
}

Status DeleteValue(RegKey key, const char* name) {
  Event event = memory::HandleEvent(Operation::kDeleteValue, key);
  event.name = memory::Text(name);
  Status error = kSuccess;
  Handle* handle = memory::Usable(key, &error);
  if (handle == nullptr) return memory::Journaled(event, error);
  if (Status denied = memory::WriteCheck(*handle)) {
    return memory::Journaled(event, denied);
  }
  if (!memory::Erase(*handle->key, memory::internal::FromProgram(event.name))) {
    return memory::Journaled(event, memory::kFileNotFound);
  }
  return memory::Journaled(event, kSuccess);
}

Status EnumKey(RegKey key, unsigned long index, char* name,
               unsigned long capacity) {
  Event event = memory::HandleEvent(Operation::kEnumKey, key);
  event.number = index;
  Status error = kSuccess;
  Handle* handle = memory::Usable(key, &error);
  if (handle == nullptr) return memory::Journaled(event, error);
  if ((handle->access & memory::kEnumerateKeys) == 0) {
    return memory::Journaled(event, memory::kAccessDenied);
  }
  const auto& subs = memory::Listing(*handle->key);
  if (index >= subs.size()) return memory::Journaled(event, memory::kNoMoreItems);
  const std::string found = memory::internal::ToProgram(subs[index]->name);
  if (name == nullptr || found.size() + 1 > capacity) {
    return memory::Journaled(event, memory::kMoreData);
  }
  found.copy(name, found.size());
  name[found.size()] = 0;
  event.name = found;
  return memory::Journaled(event, kSuccess);
}

Status CloseKey(RegKey key) {
  Event event = memory::HandleEvent(Operation::kCloseKey, key);
  if (Reg().handles.erase(reinterpret_cast<std::uintptr_t>(key)) == 0) {
    return memory::Journaled(event, memory::kInvalidHandle);
  }
  return memory::Journaled(event, kSuccess);
}

}  // namespace platform

// ---- Operations of kit_platform.h that need the registry's handles ----------

namespace platform {

Status OpenSubkey(RegKey parent, const char* name, unsigned long access,
                  RegKey* key) {
  Event event = memory::HandleEvent(Operation::kOpenKey, parent);
  const std::string relative = memory::Text(name);
  if (!relative.empty()) {
    event.key += event.key.empty() ? relative : "\\" + relative;
  }
  event.number = access;
  Status error = kSuccess;
  Handle* handle = memory::Usable(parent, &error);
  if (handle == nullptr) return memory::Journaled(event, error);
  if (key == nullptr) {
    return memory::Journaled(event, memory::internal::kInvalidParameter);
  }
  const std::u16string units = memory::internal::FromProgram(relative);
  if (units.size() > memory::kMaxPathUnits) {
    return memory::Journaled(event, memory::kMoreData);
  }
  std::vector<std::u16string> names;
  if (!memory::Split(units, true, &names)) {
    return memory::Journaled(event, memory::internal::kBadPathname);
  }
  std::shared_ptr<memory::Key> found = handle->key;
  for (const std::u16string& part : names) {
    found = memory::Child(*found, part);
    if (found == nullptr) return memory::Journaled(event, memory::kFileNotFound);
  }
  const Root root = handle->root;
  if (memory::Denied(Reg().deny_read, root, found->folded) ||
      ((access & ~kKeyRead) != 0 &&
       memory::Denied(Reg().deny_write, root, found->folded))) {
    return memory::Journaled(event, memory::kAccessDenied);
  }
  *key = memory::NewHandle(root, std::move(found), access);
  return memory::Journaled(event, kSuccess);
}

// Not journaled: the journal's operations are those of platform.h.
Status EnumValue(RegKey key, unsigned long index, char* name,
                 unsigned long name_capacity, unsigned long* name_length,
                 unsigned long* type, void* data, unsigned long* size) {
  Status error = kSuccess;
  Handle* handle = memory::Usable(key, &error);
  if (handle == nullptr) return error;
  if ((handle->access & memory::kQueryValue) == 0) return memory::kAccessDenied;
  const auto& values = handle->key->values;
  if (index >= values.size()) return memory::kNoMoreItems;
  const memory::Entry& entry = *std::next(values.begin(), static_cast<long>(index));
  const std::string found = memory::internal::ToProgram(entry.name);
  const std::string bytes =
      memory::internal::ProgramData(entry.type, entry.data);
  if (name == nullptr || found.size() + 1 > name_capacity ||
      (data != nullptr && bytes.size() > *size)) {
    if (data != nullptr && bytes.size() > *size) {
      *size = static_cast<unsigned long>(bytes.size());
    }
    return memory::kMoreData;
  }
  found.copy(name, found.size());
  name[found.size()] = 0;
  *name_length = static_cast<unsigned long>(found.size());
  *type = entry.type;
  if (data != nullptr) bytes.copy(static_cast<char*>(data), bytes.size());
  *size = static_cast<unsigned long>(bytes.size());
  return kSuccess;
}

}  // namespace platform
