// The in-memory answers of the kit's platform operations that the
// commands' tests do not reach: RegEnumValueA's codes, and a folder listed
// with its subfolders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kit_platform.h"
#include "platform/memory_testing.h"

namespace {

using platform::Root;
using platform::Status;

TEST(MemoryKitRegistry, EnumValueAnswersAsRegEnumValueA) {
  const struct {
    const char* why;
    unsigned long access;
    unsigned long index;
    unsigned long name_capacity;
    unsigned long data_capacity;
    Status status;
    const char* name;
    unsigned long size;  // after the call
  } cases[] = {
      {"first, in creation order", platform::kKeyRead, 0, 16, 16, 0, "b", 4},
      {"the default value", platform::kKeyRead, 1, 16, 16, 0, "", 2},
      {"past the last", platform::kKeyRead, 2, 16, 16, platform::kErrorNoMoreItems, "", 16},
      {"name without room for its end", platform::kKeyRead, 0, 1, 16,
       platform::kErrorMoreData, "", 16},
      {"data too large: the size needed", platform::kKeyRead, 0, 16, 3,
       platform::kErrorMoreData, "", 4},
      {"data that just fits", platform::kKeyRead, 0, 16, 4, 0, "b", 4},
      {"no right to query", platform::kKeySetValue, 0, 16, 16, memory::kAccessDenied, "", 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    memory::Reset();
    memory::PutString(Root::kLocalMachine, "K", "b", "xyz");
    memory::PutString(Root::kLocalMachine, "K", "", "d");
    platform::ScopedKey key;
    ASSERT_EQ(0, platform::OpenKey(Root::kLocalMachine, "K", c.access, key.Receive()));
    char name[16] = "";
    char data[16] = "";
    unsigned long length = 99;
    unsigned long type = 99;
    unsigned long size = c.data_capacity;
    EXPECT_EQ(c.status, platform::EnumValue(key.get(), c.index, name, c.name_capacity,
                                            &length, &type, data, &size));
    EXPECT_STREQ(c.name, name);
    if (c.status == 0) {
      EXPECT_EQ(std::string(c.name).size(), length);
      EXPECT_EQ(platform::kRegSz, type);
    }
    EXPECT_EQ(c.status == 0 || c.status == platform::kErrorMoreData ? c.size : c.data_capacity,
              size);
  }
}

TEST(MemoryKitFiles, ListsAFolderAsFindFirstFileDoes) {
  const struct {
    const char* folder;
    std::vector<std::string> names;
  } cases[] = {
      {"C:\\d", {".", "..", "a.txt", "B.TXT", "sub"}},
      {"C:\\empty", {".", ".."}},
      {"C:\\none", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    memory::Reset();
    memory::PutFile("C:\\d\\a.txt", "");
    memory::PutFile("C:\\d\\B.TXT", "");
    memory::PutFile("C:\\d\\sub\\deeper.txt", "");
    memory::PutFolder("C:\\empty");
    platform::FolderListing listing;
    std::vector<std::string> names;
    char name[260];
    while (platform::NextInFolder(c.folder, &listing, name, sizeof name)) names.push_back(name);
    EXPECT_EQ(c.names, names);
  }
}

}  // namespace
