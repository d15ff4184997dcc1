// Registry state for a plan: .reg files loaded into the in-memory registry,
// and stored keys turned back into .reg items. Text is converted between a
// file's encoding and the registry's storage as regedit converts it.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/memory_platform.h"
#include "preview/code_page.h"
#include "preview/reg_file.h"

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

// An image's keys by KeyId, sorted as regedit lists keys: by name, each
// parent before its subkeys.
using KeyIndex = std::map<KeyId, const memory::StoredKey*>;
KeyIndex IndexOf(const Image& image);
// The value of key with that name as the registry compares names, or null.
const memory::StoredValue* FindValue(const memory::StoredKey& key, const std::u16string& name);
// The same in an index; null when the key or the value is absent.
const memory::StoredValue* FindValue(const KeyIndex& keys, const KeyId& key,
                                     const std::u16string& name);
// Whether key lies below top (not top itself).
bool Below(const KeyId& key, const KeyId& top);

// A .reg file read for a plan.
struct Source {
  std::string name;  // as given on the command line
  regfile::File file;
};

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
