#include "preview/machine/registry_image.h"

#include "platform/memory_utf16.h"

namespace preview {

namespace {

using memory::TextStorage;
using regfile::Encoding;

constexpr unsigned long kRegSz = 1;
constexpr unsigned long kRegDword = 4;

bool Utf16Storage() {
  return memory::CurrentTextStorage() == TextStorage::kUtf16;
}

bool IsStringType(unsigned long type) {
  return type == 1 || type == 2 || type == 7;
}

// A name or text of a file in the registry's storage form.
std::u16string ToStorage(const regfile::Units& units, Encoding encoding,
                         const CodePage& code_page) {
  if (Utf16Storage()) {
    return encoding == Encoding::kUtf16 ? units : code_page.ToUtf16(memory::Narrow(units));
  }
  return encoding == Encoding::kUtf16 ? memory::Widen(code_page.ToAnsi(units)) : units;
}

std::string StoredText(const std::u16string& text) {
  return Utf16Storage() ? memory::LittleEndian(text) : memory::Narrow(text);
}

// What importing the file's data leaves stored. A .reg file records stored
// data, so hex is taken byte for byte; only text that changes encoding is
// converted, as regedit converts REGEDIT4 text on NT: the ANSI bytes, ended
// with a zero when they lack one, into UTF-16.
std::string ToStorageData(const regfile::Data& data, Encoding encoding,
                          const CodePage& code_page) {
  switch (data.form) {
    case regfile::Data::Form::kString:
      return StoredText(ToStorage(data.text, encoding, code_page) + u'\0');
    case regfile::Data::Form::kDword:
      return data.bytes;
    case regfile::Data::Form::kHex:
      break;
  }
  if (!IsStringType(data.type)) return data.bytes;
  if (Utf16Storage() && encoding == Encoding::kBytes) {
    std::string bytes = data.bytes;
    if (!bytes.empty() && bytes.back() != 0) bytes += '\0';
    return memory::LittleEndian(code_page.ToUtf16(bytes));
  }
  if (!Utf16Storage() && encoding == Encoding::kUtf16) {
    return code_page.ToAnsi(memory::FromLittleEndian(data.bytes));
  }
  return data.bytes;
}

std::u16string StoragePath(const regfile::KeyName& key, Encoding encoding,
                           const CodePage& code_page) {
  return ToStorage(key.path, encoding, code_page);
}

}  // namespace

KeyId IdOf(Root root, const std::u16string& stored_path) {
  return KeyId{root, memory::ComparedName(stored_path)};
}

// The compared names lie in one buffer and the table holds numbers, so a
// key of many values costs a few allocations, not several per value.
ValueIndex::ValueIndex(const memory::StoredKey& key) : key_(&key) {
  const size_t n = key.values.size();
  ends_.reserve(n);
  for (const memory::StoredValue& value : key.values) {
    compared_ += memory::ComparedName(value.name);
    ends_.push_back(compared_.size());
  }
  size_t size = 16;
  while (size < 2 * n) size *= 2;
  slots_.assign(size, 0);
  const std::hash<std::u16string_view> hash;
  for (uint32_t v = 0; v < n; ++v) {
    const std::u16string_view name = Compared(v);
    for (size_t at = hash(name) & (size - 1);; at = (at + 1) & (size - 1)) {
      if (slots_[at] == 0) {
        slots_[at] = v + 1;
        break;
      }
      if (Compared(slots_[at] - 1) == name) break;  // the first of a name wins
    }
  }
}

std::u16string_view ValueIndex::Compared(uint32_t value) const {
  const size_t begin = value == 0 ? 0 : ends_[value - 1];
  return std::u16string_view(compared_).substr(begin, ends_[value] - begin);
}

const memory::StoredValue* ValueIndex::Find(const std::u16string& name) const {
  const std::u16string compared = memory::ComparedName(name);
  const std::u16string_view wanted(compared);
  const size_t mask = slots_.size() - 1;
  for (size_t at = std::hash<std::u16string_view>()(wanted) & mask; slots_[at] != 0;
       at = (at + 1) & mask) {
    if (Compared(slots_[at] - 1) == wanted) return &key_->values[slots_[at] - 1];
  }
  return nullptr;
}

KeyIndex::KeyIndex(const Image& image) {
  for (const memory::StoredKey& key : image) keys_[IdOf(key.root, key.path)] = &key;
}


KeyIndex IndexOf(const Image& image) { return KeyIndex(image); }

const memory::StoredKey* FindKey(const Image& image, Root root, const std::u16string& stored_path) {
  // Folding keeps the length: only keys of that length are folded.
  const KeyId id = IdOf(root, stored_path);
  for (const memory::StoredKey& key : image) {
    if (key.root == root && key.path.size() == stored_path.size() &&
        memory::ComparedName(key.path) == id.compared) {
      return &key;
    }
  }
  return nullptr;
}

const memory::StoredValue* FindValue(const KeyIndex& keys, const KeyId& key,
                                     const std::u16string& name) {
  auto found = keys.keys_.find(key);
  if (found == keys.keys_.end()) return nullptr;
  auto values = keys.values_.find(found->second);
  if (values == keys.values_.end()) {
    values = keys.values_.emplace(found->second, ValueIndex(*found->second)).first;
  }
  return values->second.Find(name);
}

bool Below(const KeyId& key, const KeyId& top) {
  return key.root == top.root && key.compared.size() > top.compared.size() &&
         key.compared.compare(0, top.compared.size(), top.compared) == 0 &&
         key.compared[top.compared.size()] == u'\\';
}

void StoreStandardKeys() {
  memory::PutKey(Root::kLocalMachine, "SOFTWARE");
  memory::PutKey(Root::kLocalMachine, "SYSTEM");
  memory::PutKey(Root::kCurrentUser, "Software");
}

namespace {

// Removes top and every key below it from a sorted set: the names that go on
// from top's with a backslash lie between top + "\\" and top + "]".
void EraseAtOrBelow(std::set<KeyId>* keys, const KeyId& top) {
  if (top.compared.empty()) {  // a whole root
    for (auto it = keys->begin(); it != keys->end();) {
      it = it->root == top.root ? keys->erase(it) : std::next(it);
    }
    return;
  }
  keys->erase(top);
  const auto from = keys->lower_bound(KeyId{top.root, top.compared + u'\\'});
  const auto to = keys->lower_bound(KeyId{top.root, top.compared + char16_t(u'\\' + 1)});
  keys->erase(from, to);
}

}  // namespace

std::set<KeyId> LoadSources(const std::vector<Source>& sources,
                            const CodePage& code_page) {
  std::set<KeyId> listed;
  for (const Source& source : sources) {
    const Encoding encoding = source.file.encoding;
    // A key's values follow it: its path is converted once for all of them.
    const regfile::KeyName* converted = nullptr;
    std::u16string path;
    for (const regfile::Item& item : source.file.items) {
      if (converted == nullptr || converted->root != item.key.root ||
          converted->path != item.key.path) {
        path = StoragePath(item.key, encoding, code_page);
        converted = &item.key;
      }
      switch (item.kind) {
        case regfile::Item::Kind::kKey:
          memory::StoreKey(item.key.root, path);
          listed.insert(IdOf(item.key.root, path));
          break;
        case regfile::Item::Kind::kDeleteKey:
          memory::EraseKey(item.key.root, path);
          EraseAtOrBelow(&listed, IdOf(item.key.root, path));
          break;
        case regfile::Item::Kind::kValue:
          memory::StoreValue(item.key.root, path,
                             memory::StoredValue{
                                 ToStorage(item.name, encoding, code_page), item.data.type,
                                 ToStorageData(item.data, encoding, code_page)});
          break;
        case regfile::Item::Kind::kDeleteValue:
          memory::EraseValue(item.key.root, path, ToStorage(item.name, encoding, code_page));
          break;
      }
    }
  }
  return listed;
}

regfile::Units Regedit4Name(const std::u16string& stored) {
  return memory::Widen(memory::ProgramName(stored));
}

regfile::Data Regedit4Data(const memory::StoredValue& value) {
  regfile::Data data;
  data.type = value.type;
  const std::string program = memory::ProgramData(value);
  if (value.type == kRegDword && value.data.size() == 4) {
    data.form = regfile::Data::Form::kDword;
    data.bytes = value.data;
    return data;
  }
  if (value.type == kRegSz && !program.empty() && program.back() == 0 &&
      program.find('\0') == program.size() - 1 &&
      program.find_first_of("\r\n") == std::string::npos) {
    // Only text that comes back the same from the file is written as text.
    const std::string text = program.substr(0, program.size() - 1);
    const bool exact =
        !Utf16Storage() ||
        (value.data.size() % 2 == 0 &&
         StoredText(memory::StoredName(text) + u'\0') == value.data);
    if (exact) {
      data.form = regfile::Data::Form::kString;
      data.text = memory::Widen(text);
      return data;
    }
  }
  data.form = regfile::Data::Form::kHex;
  data.bytes = program;
  return data;
}

}  // namespace preview
