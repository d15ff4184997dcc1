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

namespace {

// A small code page for the tests: bytes are Latin-1, except that 0x81 leads
// a double-byte character, 0x81 0x40 being U+4E00; what it lacks is "?".
class TestCodePage : public memory::CodePage {
 public:
  std::u16string ToUtf16(const std::string& ansi) const override {
    std::u16string text;
    for (size_t i = 0; i < ansi.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(ansi[i]);
      if (c == 0x81) {
        text += (i + 1 < ansi.size() && ansi[i + 1] == 0x40) ? u'\u4E00' : u'?';
        ++i;
      } else {
        text += static_cast<char16_t>(c);
      }
    }
    return text;
  }
  std::string ToAnsi(const std::u16string& text) const override {
    std::string ansi;
    for (char16_t u : text) {
      if (u == u'\u4E00') {
        ansi += "\x81\x40";
      } else {
        ansi += u < 0x100 && u != 0x81 ? static_cast<char>(u) : '?';
      }
    }
    return ansi;
  }
  char16_t Upcase(char16_t u) const override {
    if ((u >= u'a' && u <= u'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) {
      return static_cast<char16_t>(u - 0x20);
    }
    return u;
  }
};

std::string Utf16(const std::u16string& text) {
  std::string bytes;
  for (char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

const TestCodePage kCodePage;

// An NT registry keeps text in UTF-16 and converts at every "A" call: sizes
// count the ANSI bytes, text without its terminator gets one when there is
// room, an odd last byte is no character.
TEST(MemoryRegistry, Utf16StorageConvertsAtEveryCall) {
  const struct {
    const char* label;
    unsigned long type;
    std::string stored;
    unsigned long capacity;
    Status status;
    std::string read;  // the bytes the read gives, the terminator it adds too
  } cases[] = {
      {"latin text", 1, Utf16(u"\u00e9t\u00e9") + std::string(2, '\0'), 50, 0, "\xe9t\xe9" + std::string(1, '\0')},
      {"no terminator", 1, Utf16(u"AB"), 50, 0, "AB" + std::string(1, '\0')},
      {"no terminator, no room for one", 2, Utf16(u"AB"), 2, 0, "AB#"},
      {"odd last byte", 1, Utf16(u"A") + "B", 50, 0, "A" + std::string(1, '\0')},
      {"double-byte character", 1, Utf16(u"\u4E00") + std::string(2, '\0'), 50, 0,
       "\x81\x40" + std::string(1, '\0')},
      {"character the code page lacks", 7, Utf16(u"\u0100") + std::string(4, '\0'), 50, 0,
       "?" + std::string(2, '\0')},
      {"49 characters fit 50 bytes", 1, Utf16(std::u16string(49, u'x')) + std::string(2, '\0'), 50,
       0, std::string(49, 'x') + std::string(1, '\0')},
      {"50 characters do not", 1, Utf16(std::u16string(50, u'x')) + std::string(2, '\0'), 50,
       memory::kMoreData, "#"},
      {"30 characters fit although their UTF-16 does not", 1,
       Utf16(std::u16string(30, u'y')) + std::string(2, '\0'), 50, 0,
       std::string(30, 'y') + std::string(1, '\0')},
      {"binary data is not converted", 3, Utf16(u"AB"), 50, 0, Utf16(u"AB")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    memory::Reset();
    memory::UseTextStorage(memory::TextStorage::kUtf16, &kCodePage);
    memory::StoreValue(kLM, u"K", memory::StoredValue{u"V", c.type, c.stored});
    platform::ScopedKey key;
    ASSERT_EQ(0, platform::OpenKey(kLM, "K", platform::kKeyRead, key.Receive()));
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    unsigned long size = c.capacity;
    EXPECT_EQ(c.status, platform::QueryValue(key.get(), "V", buffer, &size));
    EXPECT_EQ(c.read, std::string(buffer, c.read.size()));
  }
}

TEST(MemoryRegistry, Utf16StorageWritesNamesAndTextInUtf16) {
  memory::Reset();
  memory::UseTextStorage(memory::TextStorage::kUtf16, &kCodePage);
  memory::StoreValue(kLM, u"Soft\u00c9\\\u4E00", memory::StoredValue{u"N\u00c4me", 1, ""});
  platform::ScopedKey key;
  // Names are converted, then compared in upper case as NT does.
  ASSERT_EQ(0, platform::OpenKey(kLM, "soft\xe9\\\x81\x40", platform::kKeyAllAccess,
                                 key.Receive()));
  ASSERT_EQ(0, platform::SetValue(key.get(), "n\xe4me", platform::kRegSz, "\xe9t\xe9", 4));
  ASSERT_EQ(0, platform::SetValue(key.get(), "D", platform::kRegDword, "\x0c\0\0\0", 4));
  const std::vector<memory::StoredKey> saved = memory::SavedRegistry();
  ASSERT_EQ(2u, saved.size());
  EXPECT_EQ(u"Soft\u00c9\\\u4E00", saved[1].path);
  ASSERT_EQ(2u, saved[1].values.size());
  EXPECT_EQ(u"N\u00c4me", saved[1].values[0].name);  // the first spelling stays
  EXPECT_EQ(Utf16(u"\u00e9t\u00e9") + std::string(2, '\0'), saved[1].values[0].data);
  EXPECT_EQ(std::string("\x0c\0\0\0", 4), saved[1].values[1].data);

  // Subkeys come in NT's order, by upper-case name.
  for (const char16_t* name : {u"b", u"_x", u"A", u"\u00e0"}) {
    memory::StoreKey(kLM, std::u16string(u"Order\\") + name);
  }
  EXPECT_EQ((std::vector<std::string>{"A", "b", "_x", "\xe0"}),
            memory::SubkeyNames(kLM, "Order"));
}

// Every operation is in the journal, under the phase entered last.
TEST(MemoryJournal, RecordsOperationsAndTheirAnswers) {
  memory::Reset();
  memory::PutFile("C:\\Pkg\\setup.exe", "program");
  platform::EnterPhase(platform::Phase::kStaging);
  EXPECT_FALSE(platform::CopyFileOver("C:\\Pkg\\none.cab", "C:\\x.cab"));
  EXPECT_TRUE(platform::CopyFileOver("C:\\Pkg\\setup.exe", "C:\\y.exe"));
  platform::EnterPhase(platform::Phase::kSetupStart);
  EXPECT_FALSE(platform::StartProgram("C:\\none.exe", "\"C:\\none.exe\" /s"));
  EXPECT_TRUE(platform::StartProgram("C:\\y.exe", "\"C:\\y.exe\""));
  platform::EnterPhase(platform::Phase::kWait);
  platform::ScopedKey key;
  ASSERT_EQ(0, platform::CreateKey(kLM, "A\\B", key.Receive()));
  platform::SleepMs(2000);

  using memory::Operation;
  const struct {
    Operation operation;
    platform::Phase phase;
    std::string detail;
    Status status;
  } expected[] = {
      {Operation::kPhase, platform::Phase::kStaging, "", 0},
      {Operation::kCopyFile, platform::Phase::kStaging, "C:\\Pkg\\none.cab", memory::kFileNotFound},
      {Operation::kCopyFile, platform::Phase::kStaging, "C:\\Pkg\\setup.exe", 0},
      {Operation::kPhase, platform::Phase::kSetupStart, "", 0},
      {Operation::kStartProgram, platform::Phase::kSetupStart, "C:\\none.exe", memory::kFileNotFound},
      {Operation::kStartProgram, platform::Phase::kSetupStart, "C:\\y.exe", 0},
      {Operation::kPhase, platform::Phase::kWait, "", 0},
      {Operation::kCreateKey, platform::Phase::kWait, "A\\B", 0},
      {Operation::kKeyCreated, platform::Phase::kWait, "A", 0},
      {Operation::kKeyCreated, platform::Phase::kWait, "A\\B", 0},
      {Operation::kSleep, platform::Phase::kWait, "", 0},
  };
  const std::vector<memory::Event>& journal = memory::Journal();
  ASSERT_EQ(sizeof expected / sizeof expected[0], journal.size());
  for (size_t i = 0; i < journal.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i].operation, journal[i].operation);
    EXPECT_EQ(expected[i].phase, journal[i].phase);
    EXPECT_EQ(expected[i].detail, journal[i].key.empty() ? journal[i].path : journal[i].key);
    EXPECT_EQ(expected[i].status, journal[i].status);
  }
  ASSERT_EQ(2u, memory::Starts().size());
  EXPECT_FALSE(memory::Starts()[0].started);
  EXPECT_TRUE(memory::Starts()[1].started);
}

}  // namespace

namespace {

// Keys and values are found by name through an index; deleting keeps the
// index and the creation order of what is left.
TEST(MemoryRegistry, DeletesKeepLookupsAndOrder) {
  memory::Reset();
  for (const char* name : {"A", "b", "C", "d"}) memory::PutString(kLM, "K", name, name);
  for (const char* name : {"S1", "s2", "S3"}) memory::PutKey(kLM, std::string("K\\") + name);
  platform::ScopedKey key;
  ASSERT_EQ(0, platform::OpenKey(kLM, "k", platform::kKeyAllAccess, key.Receive()));
  ASSERT_EQ(0, platform::DeleteValue(key.get(), "B"));
  EXPECT_EQ(memory::kFileNotFound, platform::DeleteValue(key.get(), "b"));
  EXPECT_EQ((std::vector<std::string>{"A", "C", "d"}), memory::ValueNames(kLM, "K"));
  for (const char* name : {"a", "c", "D"}) EXPECT_TRUE(memory::GetValue(kLM, "K", name)) << name;
  memory::RemoveKey(kLM, "K\\S2");
  EXPECT_EQ((std::vector<std::string>{"S1", "S3"}), memory::SubkeyNames(kLM, "K"));
  EXPECT_FALSE(memory::HasKey(kLM, "K\\s2"));
  EXPECT_TRUE(memory::HasKey(kLM, "K\\s3"));
  memory::PutKey(kLM, "K\\S2");
  EXPECT_EQ((std::vector<std::string>{"S1", "S3", "S2"}), memory::SubkeyNames(kLM, "K"));
}

}  // namespace

namespace {

// A path of more than MAX_PATH characters does not open or create, on either
// kind of registry: the "A" functions have no room to convert it.
TEST(MemoryRegistry, PathsLongerThanMaxPathFail) {
  for (memory::TextStorage storage : {memory::TextStorage::kAnsi, memory::TextStorage::kUtf16}) {
    for (size_t length : {259u, 260u, 261u, 300u}) {
      SCOPED_TRACE(length);
      memory::Reset();
      memory::UseTextStorage(storage, nullptr);
      const std::string path = "A\\" + std::string(length - 2, 'k');
      memory::PutKey(kLM, path);
      const Status expected = length <= 260 ? 0 : memory::kMoreData;
      platform::ScopedKey key;
      EXPECT_EQ(expected, platform::OpenKey(kLM, path.c_str(), platform::kKeyRead, key.Receive()));
      const std::string fresh = "B\\" + std::string(length - 2, 'n');
      EXPECT_EQ(expected, platform::CreateKey(kLM, fresh.c_str(), key.Receive()));
      EXPECT_EQ(expected == 0, memory::HasKey(kLM, fresh));
    }
  }
}

}  // namespace

namespace {

constexpr unsigned long kFolder = 0x10;
constexpr unsigned long kNormalFile = 0x80;
constexpr unsigned long kNone = platform::kInvalidFileAttributes;

// Paths on a share as the launcher's own calls see them, started from a
// folder on that share: the share root acts as a drive root.
TEST(MemoryFiles, SharePathsResolveAsWindowsResolvesThem) {
  memory::Reset();
  memory::PutFile("\\\\SRV\\NETLOGON\\wlan\\launcher.exe", "launcher");
  memory::PutFile("\\\\srv\\netlogon\\top.txt", "top");
  memory::PutFile("D:\\pkg\\setup.exe", "setup");
  memory::SetCurrentDirectory("\\\\Srv\\Netlogon\\wlan");
  const struct {
    const char* path;
    unsigned long attributes;
  } cases[] = {
      {"\\\\srv\\netlogon\\WLAN\\LAUNCHER.EXE", kNormalFile},  // names in any case
      {"//SRV/NETLOGON/wlan/launcher.exe", kNormalFile},
      {"\\\\SRV\\NETLOGON\\\\wlan\\\\launcher.exe", kNormalFile},  // separators merged
      {"launcher.exe", kNormalFile},                              // relative
      {".\\launcher.exe", kNormalFile},
      {"\\top.txt", kNormalFile},        // rooted: the share's root
      {"\\wlan", kFolder},
      {"..\\top.txt", kNormalFile},
      {"..\\..\\..\\top.txt", kNormalFile},  // ".." stops at the share root
      {"\\\\SRV\\NETLOGON\\..\\top.txt", kNormalFile},
      {"\\\\SRV\\NETLOGON\\wlan\\..\\..\\wlan\\launcher.exe", kNormalFile},
      {"\\\\SRV\\NETLOGON", kFolder},  // the root, with and without backslash
      {"\\\\SRV\\NETLOGON\\", kFolder},
      {"..", kFolder},
      {"\\\\other\\share", kFolder},  // every share root exists
      {"\\\\.x\\share", kFolder},     // a server name that starts with a dot
      {"\\\\SRV\\OTHER\\top.txt", kNone},  // another share of the server
      {"\\\\SRV2\\NETLOGON\\top.txt", kNone},
      {"\\\\SRV\\NETLOGON\\wlan\\top.txt", kNone},
      // No share named: not a path.
      {"\\\\SRV", kNone},
      {"\\\\SRV\\", kNone},
      {"\\\\\\NETLOGON\\top.txt", kNone},
      {"\\\\SRV\\\\NETLOGON\\top.txt", kNone},
      // Device paths are not shares.
      {"\\\\.\\SRV\\NETLOGON\\top.txt", kNone},
      {"\\\\?\\UNC\\SRV\\NETLOGON\\top.txt", kNone},
      {"\\\\?\\D:\\pkg\\setup.exe", kNone},
      {"\\\\.", kNone},
      // Another drive from a share: its root, there being no current
      // folder on it.
      {"D:pkg\\setup.exe", kNormalFile},
      {"d:\\PKG\\Setup.exe", kNormalFile},
      {"D:setup.exe", kNone},
      {"C:", kFolder},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.attributes, platform::FileAttributes(c.path));
    EXPECT_EQ(c.attributes == kFolder, memory::HasFolder(c.path));
    EXPECT_EQ(c.attributes == kNormalFile, memory::HasFile(c.path));
  }
}

// Copies, folders and listings on a share, with the codes Windows leaves.
TEST(MemoryFiles, OperationsOnAShare) {
  memory::Reset();
  memory::PutFile("\\\\SRV\\NETLOGON\\wlan\\data3.cab\\setup.iss", "program");
  memory::PutFile("\\\\SRV\\NETLOGON\\top.txt", "top");
  const std::string staged = "C:\\WINDOWS\\system32\\setup.exe";
  const struct {
    const char* label;
    bool (*op)();
    platform::Status status;
  } cases[] = {
      {"copy from the share",
       [] { return platform::CopyFileOver("\\\\srv\\netlogon\\wlan\\DATA3.CAB\\setup.iss",
                                          "C:\\WINDOWS\\system32\\setup.exe"); },
       0},
      {"copy of a missing file",
       [] { return platform::CopyFileOver("\\\\SRV\\NETLOGON\\wlan\\setup.ini", "C:\\x"); },
       memory::kFileNotFound},
      {"copy from a missing folder",
       [] { return platform::CopyFileOver("\\\\SRV\\NETLOGON\\none\\setup.ini", "C:\\x"); },
       memory::kPathNotFound},
      {"copy from a server alone",
       [] { return platform::CopyFileOver("\\\\SRV\\", "C:\\x"); },
       memory::kPathNotFound},
      {"copy onto the share root",
       [] { return platform::CopyFileOver("\\\\SRV\\NETLOGON\\top.txt", "\\\\SRV\\NETLOGON"); },
       memory::kAccessDenied},
      {"copy onto itself by another name",
       [] { return platform::CopyFileOver("\\\\SRV\\NETLOGON\\top.txt", "\\\\srv\\netlogon\\wlan\\..\\TOP.TXT"); },
       memory::kAccessDenied},
      {"folder at the share root", [] { return platform::MakeFolder("\\\\SRV\\NETLOGON\\"); },
       183},
      {"folder on the share", [] { return platform::MakeFolder("\\\\SRV\\NETLOGON\\new"); }, 0},
      {"folder without its parent",
       [] { return platform::MakeFolder("\\\\SRV\\NETLOGON\\a\\b"); }, memory::kPathNotFound},
      {"folder named by a server alone", [] { return platform::MakeFolder("\\\\SRV2"); },
       memory::kPathNotFound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.status == 0, c.op());
    ASSERT_FALSE(memory::Journal().empty());
    EXPECT_EQ(c.status, memory::Journal().back().status);
  }
  EXPECT_EQ("program", memory::FileContents(staged));
  EXPECT_EQ(std::vector<std::string>{"top.txt"}, memory::FilesIn("\\\\srv\\NETLOGON"));
  EXPECT_TRUE(memory::HasFolder("\\\\SRV\\NETLOGON\\NEW"));

  // A current folder set to no path is ignored; a share root is taken.
  memory::SetCurrentDirectory("\\\\SRV");
  EXPECT_EQ(kNone, platform::FileAttributes("top.txt"));
  memory::SetCurrentDirectory("\\\\srv\\netlogon");
  EXPECT_EQ(kNormalFile, platform::FileAttributes("top.txt"));
  EXPECT_EQ(kFolder, platform::FileAttributes("wlan\\data3.cab"));
}

}  // namespace
