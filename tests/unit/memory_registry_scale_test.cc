// The in-memory registry with one key of many values and one of many
// subkeys, changed in the middle: the order Windows gives (values by
// creation, subkeys by upper-case name on NT and by creation on 9x) and the
// first spellings stay right through thousands of deletions.
#include "platform/memory_testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using platform::Root;
constexpr Root kLM = Root::kLocalMachine;
constexpr int kMany = 20000;

std::string Name(const char* prefix, int n) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%05d", prefix, n);
  return text;
}

const struct {
  const char* name;
  memory::TextStorage storage;
} kStorages[] = {{"9x (bytes)", memory::TextStorage::kAnsi},
                 {"NT (UTF-16)", memory::TextStorage::kUtf16}};

TEST(MemoryRegistryScale, ValuesOfOneKeyKeepCreationOrderThroughDeletions) {
  for (const auto& s : kStorages) {
    SCOPED_TRACE(s.name);
    memory::Reset();
    memory::UseTextStorage(s.storage, nullptr);
    for (int i = 0; i < kMany; ++i) memory::PutString(kLM, "K", Name("Value", i), Name("d", i));
    platform::ScopedKey key;
    ASSERT_EQ(0, platform::OpenKey(kLM, "K", platform::kKeyAllAccess, key.Receive()));
    std::vector<std::string> expected;
    for (int i = 0; i < kMany; ++i) {
      if (i % 3 == 0) {
        // Deleted by another spelling, then gone for every spelling.
        ASSERT_EQ(0, platform::DeleteValue(key.get(), Name("VALUE", i).c_str()));
        ASSERT_EQ(memory::kFileNotFound, platform::DeleteValue(key.get(), Name("value", i).c_str()));
      } else {
        expected.push_back(Name("Value", i));
      }
    }
    // Written again by another spelling: the first stays, in its place.
    for (int i = 1; i < kMany; i += 3) {
      ASSERT_EQ(0, platform::SetValue(key.get(), Name("vALUE", i).c_str(), platform::kRegSz, "x", 2));
    }
    // A deleted name made again comes last.
    ASSERT_EQ(0, platform::SetValue(key.get(), Name("value", 0).c_str(), platform::kRegSz, "y", 2));
    expected.push_back(Name("value", 0));
    EXPECT_EQ(expected, memory::ValueNames(kLM, "K"));
    EXPECT_EQ(std::string("x", 2), memory::GetValue(kLM, "K", Name("value", 1))->data);
    EXPECT_EQ(Name("d", 2) + std::string(1, '\0'), memory::GetValue(kLM, "k", Name("VALUE", 2))->data);
    EXPECT_FALSE(memory::GetValue(kLM, "K", Name("Value", 3)));
  }
}

TEST(MemoryRegistryScale, SubkeysEnumerateInWindowsOrderThroughDeletions) {
  for (const auto& s : kStorages) {
    SCOPED_TRACE(s.name);
    memory::Reset();
    memory::UseTextStorage(s.storage, nullptr);
    // Made from the last name down, in mixed letter case: NT sorts by the
    // upper-case name, 9x keeps the order of creation.
    std::vector<std::string> made;
    for (int i = kMany - 1; i >= 0; --i) {
      const std::string name = Name(i % 2 ? "sub" : "Sub", i);
      memory::PutKey(kLM, "Class\\" + name + "\\Inner");
      made.push_back(name);
    }
    platform::ScopedKey held;
    ASSERT_EQ(0, platform::OpenKey(kLM, Name("Class\\sub", 7).c_str(), platform::kKeyRead,
                                   held.Receive()));
    std::vector<std::string> expected;
    for (const std::string& name : made) {
      const int i = std::stoi(name.substr(3));
      if (i % 4 == 3) {
        memory::RemoveKey(kLM, "CLASS\\" + Name("SUB", i));
      } else {
        expected.push_back(name);
      }
    }
    // Made again after its removal: a new key, last on 9x.
    memory::PutKey(kLM, "Class\\" + Name("SUB", 3));
    expected.push_back(Name("SUB", 3));
    if (s.storage == memory::TextStorage::kUtf16) {
      std::sort(expected.begin(), expected.end(), [](std::string a, std::string b) {
        for (char& c : a) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (char& c : b) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return a < b;
      });
    }
    EXPECT_EQ(expected, memory::SubkeyNames(kLM, "Class"));
    // Enumeration by index through a handle gives the same.
    platform::ScopedKey key;
    ASSERT_EQ(0, platform::OpenKey(kLM, "Class", platform::kKeyRead, key.Receive()));
    std::vector<std::string> listed;
    char name[32];
    for (unsigned long index = 0; platform::EnumKey(key.get(), index, name, sizeof name) == 0; ++index) {
      listed.push_back(name);
    }
    EXPECT_EQ(expected, listed);
    // The handle on a removed key answers as Windows does.
    EXPECT_EQ(1018, platform::EnumKey(held.get(), 0, name, sizeof name));  // ERROR_KEY_DELETED
    EXPECT_TRUE(memory::HasKey(kLM, "class\\" + Name("sub", 5) + "\\inner"));
    EXPECT_FALSE(memory::HasKey(kLM, "class\\" + Name("sub", 7) + "\\inner"));
  }
}

}  // namespace
