// Registry state for a plan: .reg files loaded into the in-memory registry,
// and stored keys turned back into .reg items. Text is converted between a
// file's encoding and the registry's storage as regedit converts it.
// Everything here works on the current in-memory machine
// (memory::CurrentMachine) and in its storage form: an image is read with
// the machine it was saved from current, or one that stores text alike (a
// plan's with UseMachineOf, plan.h).
#pragma once

#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/memory_platform.h"
#include "preview/exports/code_page.h"
#include "preview/exports/export_reader.h"
#include "preview/exports/exports.h"
#include "preview/exports/reg_file.h"

namespace preview {

using platform::Root;
using Image = std::vector<memory::StoredKey>;

// A key as the registry tells keys apart.
struct KeyId {
  Root root;
  std::u16string compared;  // memory::ComparedName of the stored path
  bool operator<(const KeyId& other) const {
    return root != other.root ? root < other.root : compared < other.compared;
  }
  bool operator==(const KeyId& other) const {
    return root == other.root && compared == other.compared;
  }
};
KeyId IdOf(Root root, const std::u16string& stored_path);

// A key's values by the name the registry compares (the first of a name
// wins), so that looking up every value of a large key stays linear.
class ValueIndex {
 public:
  explicit ValueIndex(const memory::StoredKey& key);
  const memory::StoredValue* Find(const std::u16string& name) const;

 private:
  std::u16string_view Compared(uint32_t value) const;

  const memory::StoredKey* key_;
  std::u16string compared_;         // every value's compared name, one after another
  std::vector<size_t> ends_;        // where each value's ends in compared_
  std::vector<uint32_t> slots_;     // open addressing: value number + 1, 0 empty
};

// An image's keys by KeyId, sorted as regedit lists keys: by name, each
// parent before its subkeys; each key's values indexed on first look. It
// points into the image, which must outlive it.
class KeyIndex {
 public:
  using Map = std::map<KeyId, const memory::StoredKey*>;
  KeyIndex() = default;
  explicit KeyIndex(const Image& image);
  Map::const_iterator begin() const { return keys_.begin(); }
  Map::const_iterator end() const { return keys_.end(); }
  Map::const_iterator find(const KeyId& id) const { return keys_.find(id); }
  size_t count(const KeyId& id) const { return keys_.count(id); }

 private:
  friend const memory::StoredValue* FindValue(const KeyIndex& keys, const KeyId& key,
                                              const std::u16string& name);
  Map keys_;
  mutable std::unordered_map<const memory::StoredKey*, ValueIndex> values_;
};
KeyIndex IndexOf(const Image& image);
// One lookup of a key, without an index; null when absent.
const memory::StoredKey* FindKey(const Image& image, Root root, const std::u16string& stored_path);
// The value of key with that name as the registry compares names, found
// through the index; null when the key or the value is absent.
const memory::StoredValue* FindValue(const KeyIndex& keys, const KeyId& key,
                                     const std::u16string& name);
// Whether key lies below top (not top itself).
bool Below(const KeyId& key, const KeyId& top);

// Keys every Windows machine has, which exports leave out: the launcher's
// keys are created below them.
void StoreStandardKeys();

// Applies the files' items in order to the in-memory registry, whose text
// storage is already chosen. Returns the keys the files name that still
// exist afterwards.
std::set<KeyId> LoadSources(const std::vector<Source>& sources,
                            const CodePage& code_page);

// ---- Back to files ----

// A stored value as a REGEDIT4 value: text the code page holds exactly as
// "text", a four-byte REG_DWORD as dword:, everything else as hex; string
// data on a UTF-16 registry in the code page's bytes.
regfile::Data Regedit4Data(const memory::StoredValue& value);
regfile::Units Regedit4Name(const std::u16string& stored);

}  // namespace preview
