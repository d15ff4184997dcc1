// The in-memory answers of the kit's platform operations that the kit's
// other tests take on trust: Win32's codes for values enumerated, keys
// opened below a key, files written, read and listed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kit_platform.h"
#include "platform/memory_kit.h"
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

TEST(MemoryKitRegistry, OpenSubkeyOpensBelowTheKey) {
  const struct {
    const char* name;
    Status status;
  } cases[] = {
      {"B", 0}, {"b\\C", 0}, {"b\\c\\", 0}, {"", 0},
      {"x", memory::kFileNotFound}, {"b\\Denied", memory::kAccessDenied},
      {"\\b", 161},  // ERROR_BAD_PATHNAME
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    memory::Reset();
    memory::PutKey(Root::kCurrentUser, "A\\b\\c");
    memory::PutKey(Root::kCurrentUser, "A\\b\\denied");
    memory::DenyRead(Root::kCurrentUser, "A\\b\\Denied");
    platform::ScopedKey parent;
    ASSERT_EQ(0, platform::OpenKey(Root::kCurrentUser, "A", platform::kKeyRead,
                                   parent.Receive()));
    platform::ScopedKey key;
    EXPECT_EQ(c.status, platform::OpenSubkey(parent.get(), c.name, platform::kKeyRead,
                                             key.Receive()));
    EXPECT_EQ(c.status == 0, key.valid());
  }
  EXPECT_EQ(0, memory::OpenHandles());
}

TEST(MemoryKitFiles, WriteOpensAnswerAsCreateFileA) {
  const struct {
    const char* why;
    const char* path;
    bool append;
    Status status;
    const char* contents;  // afterwards, with "+" written on success
  } cases[] = {
      {"new file", "C:\\d\\new.txt", false, 0, "+"},
      {"existing file emptied", "C:\\d\\old.txt", false, 0, "+"},
      {"existing file appended to", "C:\\d\\old.txt", true, 0, "old+"},
      {"new file for appending", "C:\\d\\new.txt", true, 0, "+"},
      {"no such folder", "C:\\none\\new.txt", false, memory::kPathNotFound, ""},
      {"a folder", "C:\\d\\sub", true, memory::kAccessDenied, ""},
      {"read-only", "C:\\d\\ro.txt", false, memory::kAccessDenied, "ro"},
      {"held by another", "C:\\d\\held.txt", true, platform::kErrorSharingViolation, "held"},
      {"a folder denied", "C:\\deny\\x.txt", false, memory::kAccessDenied, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    memory::Reset();
    memory::PutFile("C:\\d\\old.txt", "old");
    memory::PutFile("C:\\d\\ro.txt", "ro", platform::kFileAttributeReadOnly);
    memory::PutFile("C:\\d\\held.txt", "held");
    memory::PutFolder("C:\\d\\sub");
    memory::PutFolder("C:\\deny");
    memory::DenyFileCreate("C:\\deny\\");
    memory::HoldFile("C:\\d\\held.txt", 1);
    platform::File file = nullptr;
    EXPECT_EQ(c.status, c.append ? platform::OpenForAppend(c.path, &file)
                                 : platform::CreateOutputFile(c.path, &file));
    if (c.status == 0) {
      EXPECT_TRUE(platform::WriteBytes(file, "+", 1));
      EXPECT_TRUE(platform::CloseFile(file));
    }
    EXPECT_EQ(c.contents, memory::FileContents(c.path));
    EXPECT_EQ(0, memory::OpenFiles());
  }
}

TEST(MemoryKitFiles, ReadWholeFileAnswersAsWindows) {
  const struct {
    const char* path;
    unsigned long capacity;
    Status status;
  } cases[] = {
      {"C:\\d\\f.txt", 5, 0},
      {"C:\\d\\f.txt", 4, platform::kErrorMoreData},
      {"C:\\d\\none.txt", 5, platform::kErrorFileNotFound},
      {"C:\\none\\f.txt", 5, platform::kErrorPathNotFound},
      {"C:\\d", 5, memory::kAccessDenied},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    memory::Reset();
    memory::PutFile("C:\\d\\f.txt", "12345");
    char buffer[8] = "";
    unsigned long size = 99;
    EXPECT_EQ(c.status, platform::ReadWholeFile(c.path, buffer, c.capacity, &size));
    EXPECT_EQ(c.status == 0 ? 5u : 99u, size);
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
