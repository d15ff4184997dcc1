// The in-memory platform's answers that the other tests take on trust: if
// one of these drifted from Windows, those tests would pass for the wrong
// reason.
#include "platform/memory_testing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using platform::Root;
using platform::Status;
constexpr Root kLM = Root::kLocalMachine;

TEST(MemoryRegistry, NamesIgnoreCaseAndKeepTheFirstSpelling) {
  memory::Reset();
  memory::PutDword(kLM, "SOFTWARE\\Corvane", "XRStatus", 7);
  platform::ScopedKey key;
  ASSERT_EQ(0, platform::CreateKey(kLM, "software\\CORVANE\\NLX", key.Receive()));
  ASSERT_EQ(0, platform::OpenKey(kLM, "Software\\corvane", platform::kKeyAllAccess,
                                 key.Receive()));
  ASSERT_EQ(0, platform::SetValue(key.get(), "XRstatus", platform::kRegSz, "1", 2));
  EXPECT_EQ(std::vector<std::string>{"XRStatus"},
            memory::ValueNames(kLM, "SOFTWARE\\Corvane"));
  const auto value = memory::GetValue(kLM, "software\\corvane", "xrstatus");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(platform::kRegSz, value->type);  // type replaced too
  EXPECT_EQ(std::string("1", 2), value->data);
  EXPECT_EQ(std::vector<std::string>{"NLX"},
            memory::SubkeyNames(kLM, "SOFTWARE\\CORVANE"));
  const std::vector<std::string> writes = {"create HKLM\\SOFTWARE\\Corvane\\NLX",
                                           "set HKLM\\SOFTWARE\\Corvane:XRstatus"};
  EXPECT_EQ(writes, memory::RegistryWrites());
}

TEST(MemoryRegistry, QueryFitsOrFailsWithoutTouchingTheBuffer) {
  memory::Reset();
  memory::PutString(kLM, "K", "Fits", std::string(49, 'a'));   // 50 bytes
  memory::PutString(kLM, "K", "Long", std::string(50, 'a'));   // 51 bytes
  platform::ScopedKey key;
  ASSERT_EQ(0, platform::OpenKey(kLM, "K", platform::kKeyAllAccess, key.Receive()));
  const struct {
    const char* name;
    Status status;
  } cases[] = {{"Fits", 0}, {"Long", memory::kMoreData}, {"None", memory::kFileNotFound}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[60];
    std::memset(buffer, '#', sizeof buffer);
    unsigned long size = 50;
    EXPECT_EQ(c.status, platform::QueryValue(key.get(), c.name, buffer, &size));
    if (c.status == 0) {
      EXPECT_EQ(50u, size);
      EXPECT_EQ(std::string(49, 'a'), buffer);
    } else {
      EXPECT_EQ('#', buffer[0]);
    }
    EXPECT_EQ('#', buffer[50]);
  }
}

TEST(MemoryRegistry, ReadAccessAndDeniedRights) {
  memory::Reset();
  memory::PutString(kLM, "A\\B", "V", "x");
  memory::DenyWrite(kLM, "A\\B");
  memory::DenyRead(kLM, "Hidden");
  memory::PutKey(kLM, "Hidden");
  platform::ScopedKey key;
  ASSERT_EQ(0, platform::OpenKey(kLM, "a\\b", platform::kKeyRead, key.Receive()));
  EXPECT_EQ(memory::kAccessDenied,
            platform::SetValue(key.get(), "V", platform::kRegSz, "y", 2));
  EXPECT_EQ(memory::kAccessDenied, platform::DeleteValue(key.get(), "V"));
  const struct {
    const char* label;
    Status (*op)(platform::RegKey*);
    Status status;
  } cases[] = {
      {"full open of denied key",
       [](platform::RegKey* k) {
         return platform::OpenKey(kLM, "A\\B", platform::kKeyAllAccess, k);
       },
       memory::kAccessDenied},
      {"create existing denied key",
       [](platform::RegKey* k) { return platform::CreateKey(kLM, "A\\B", k); },
       memory::kAccessDenied},
      {"create below denied key",
       [](platform::RegKey* k) { return platform::CreateKeyPlain(kLM, "A\\B\\C", k); },
       memory::kAccessDenied},
      {"create beside denied key",
       [](platform::RegKey* k) { return platform::CreateKey(kLM, "A\\BB", k); }, 0},
      {"read open of unreadable key",
       [](platform::RegKey* k) {
         return platform::OpenKey(kLM, "Hidden", platform::kKeyRead, k);
       },
       memory::kAccessDenied},
      {"open of missing key",
       [](platform::RegKey* k) {
         return platform::OpenKey(kLM, "A\\Missing", platform::kKeyRead, k);
       },
       memory::kFileNotFound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    platform::ScopedKey other;
    EXPECT_EQ(c.status, c.op(other.Receive()));
    EXPECT_EQ(c.status == 0, other.valid());
  }
  EXPECT_FALSE(memory::HasKey(kLM, "A\\B\\C"));
  EXPECT_EQ(std::string("V"), memory::ValueNames(kLM, "A\\B").at(0));
  key.Close();
  EXPECT_EQ(0, memory::OpenHandles());
}

TEST(MemoryRegistry, HandlesAndEnumeration) {
  memory::Reset();
  for (const char* name : {"0001", "0000", "Properties"}) {
    memory::PutKey(kLM, std::string("Class\\") + name);
  }
  platform::RegKey a = nullptr;
  platform::RegKey b = nullptr;
  ASSERT_EQ(0, platform::OpenKey(kLM, "Class", platform::kKeyRead, &a));
  ASSERT_EQ(0, platform::OpenKey(kLM, "Class", platform::kKeyRead, &b));
  EXPECT_NE(a, b);
  EXPECT_EQ(2, memory::OpenHandles());

  char name[11];
  const struct {
    unsigned long index, capacity;
    Status status;
    const char* name;
  } cases[] = {
      {0, 5, 0, "0001"},  {1, 5, 0, "0000"},
      {2, 11, 0, "Properties"}, {2, 10, memory::kMoreData, nullptr},
      {3, 11, memory::kNoMoreItems, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    std::memset(name, '#', sizeof name);
    EXPECT_EQ(c.status, platform::EnumKey(a, c.index, name, c.capacity));
    if (c.name != nullptr) {
      EXPECT_STREQ(c.name, name);
    }
  }

  // A key removed under an open handle: the handle fails but still closes.
  memory::RemoveKey(kLM, "CLASS");
  EXPECT_NE(0, platform::EnumKey(b, 0, name, sizeof name));
  EXPECT_NE(0, platform::SetValue(b, "x", platform::kRegSz, "", 1));
  EXPECT_EQ(0, platform::CloseKey(a));
  EXPECT_EQ(0, platform::CloseKey(b));
  EXPECT_EQ(memory::kInvalidHandle, platform::CloseKey(b));
  EXPECT_EQ(memory::kInvalidHandle, platform::EnumKey(b, 0, name, sizeof name));
  EXPECT_EQ(0, memory::OpenHandles());
}

TEST(MemoryPlatform, InjectedFailureHasNoSideEffects) {
  memory::Reset();
  memory::FailCall(2);
  platform::ScopedKey key;
  ASSERT_EQ(0, platform::CreateKey(kLM, "K", key.Receive()));
  EXPECT_EQ(memory::kAccessDenied,
            platform::SetValue(key.get(), "V", platform::kRegSz, "", 1));
  EXPECT_EQ(0, platform::SetValue(key.get(), "W", platform::kRegSz, "", 1));
  EXPECT_EQ(std::vector<std::string>{"W"}, memory::ValueNames(kLM, "K"));
  EXPECT_EQ(3, memory::FallibleCalls());

  memory::FailCall(1);
  EXPECT_FALSE(platform::MakeFolder("C:\\New"));
  EXPECT_FALSE(memory::HasFolder("C:\\New"));
  memory::FailCall(1);
  EXPECT_FALSE(platform::StartProgram("a.exe", "a.exe"));
  EXPECT_TRUE(memory::Starts().empty());
}

TEST(MemoryFiles, BehaveLikeWindows) {
  memory::Reset();
  memory::PutFile("C:\\CD\\setup.exe", "program", platform::kFileAttributeReadOnly);
  memory::SetCurrentDirectory("C:\\cd");
  const std::string staged = "C:\\WINDOWS\\system32\\SilentSetup\\setup.exe";
  EXPECT_FALSE(platform::MakeFolder("C:\\WINDOWS\\system32\\x\\y"));  // no parent
  EXPECT_TRUE(platform::MakeFolder("c:\\windows\\SYSTEM32\\SilentSetup"));
  EXPECT_FALSE(platform::MakeFolder("C:\\WINDOWS\\system32\\silentsetup"));
  EXPECT_FALSE(platform::CopyFileOver("missing.exe", staged.c_str()));
  EXPECT_FALSE(platform::CopyFileOver("setup.exe", "C:\\None\\setup.exe"));
  // Relative source; the copy is read-only like its source.
  ASSERT_TRUE(platform::CopyFileOver("setup.exe", staged.c_str()));
  EXPECT_EQ("program", memory::FileContents(staged));
  EXPECT_EQ(platform::kFileAttributeReadOnly, platform::FileAttributes(staged.c_str()));
  EXPECT_FALSE(platform::CopyFileOver("setup.exe", staged.c_str()));
  EXPECT_FALSE(platform::RemoveFile(staged.c_str()));
  ASSERT_TRUE(platform::SetFileAttrs(staged.c_str(), 0x20));
  EXPECT_TRUE(platform::RemoveFile(staged.c_str()));
  EXPECT_FALSE(platform::RemoveFile(staged.c_str()));
  EXPECT_EQ(platform::kInvalidFileAttributes, platform::FileAttributes(staged.c_str()));
  EXPECT_FALSE(platform::SetFileAttrs(staged.c_str(), 0));
}

}  // namespace
