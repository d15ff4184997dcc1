// KIT collect over the in-memory machine: its exports read back by the
// preview's own reader to the registry they came from, the files of an
// earlier collection replaced, the staged list, and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kit_test_support.h"
#include "platform/memory_testing.h"
#include "preview/exports/code_page.h"
#include "preview/exports/exports.h"
#include "preview/exports/reg_file.h"
#include "preview/machine/registry_image.h"

namespace {

using kit_test::Kit;
using platform::Root;
constexpr Root kLM = Root::kLocalMachine;
constexpr Root kCU = Root::kCurrentUser;

const std::string kOut = "C:\\drop\\PC042";
const char* const kAdapters =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";

const preview::CodePage& Cp1252() {
  static std::string error;
  static const std::unique_ptr<preview::CodePage> page = preview::CodePage::Open(1252, &error);
  return *page;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

// Values of every kind the exports must carry, below the five keys, and
// keys beside them that no export may take along.
void FillRegistry(bool text_only) {
  memory::PutString(kLM, "SOFTWARE\\Corvane", "", "default value");
  memory::PutString(kLM, "SOFTWARE\\Corvane\\NLX\\Settings", "GinaInstallOption", "1");
  memory::PutString(kLM, "SOFTWARE\\Corvane\\NLX\\Settings", "Path \"quoted\" = \\x\\",
                    "C:\\Program Files\\\"Client\"");
  memory::PutString(kLM, "SOFTWARE\\Corvane\\NLX\\Settings", "Empty", "");
  memory::PutString(kLM, "SOFTWARE\\Corvane\\NLX\\Settings", "Latin", "caf\xE9 \xA7 [x]");
  memory::PutDword(kLM, "SOFTWARE\\Corvane\\NLX\\Settings", "wModeSelect", 0xDEADBEEF);
  memory::PutDword(kLM, "SOFTWARE\\Corvane\\NLX\\Settings", "Zero", 0);
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\NLX\\Settings", "Binary", platform::kRegBinary,
                   std::string(300, '\xA5') + Bytes({0, 1, 0x7F, 0xFF}));
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\NLX\\Settings", "Expand", platform::kRegExpandSz,
                   std::string("%windir%\\system32\0", 19));
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\NLX\\Settings", "Multi", 7,
                   std::string("one\0two\0\0", 9));
  memory::PutKey(kLM, "SOFTWARE\\Corvane\\Empty key");
  memory::PutString(kLM, "SOFTWARE\\Corvane\\A]b [c]", "x", "y");
  memory::PutString(kLM, "Software\\VERDO Installer\\{1-2}", "InstallOption", "1");
  memory::PutString(kCU, "Software\\VERDO Installer", "InstallOption", "0");
  memory::PutString(kLM, std::string(kAdapters) + "\\0000", "ComponentId", "pci\\ven_1");
  memory::PutString(kLM, std::string(kAdapters) + "\\0000\\Ndi\\params\\writeBlockSize",
                    "default", "0");
  memory::PutString(kLM, std::string(kAdapters) + "\\0001", "ComponentId", "usb\\x");
  // Beside the five: never exported.
  memory::PutString(kLM, "SOFTWARE\\Corvane2", "x", "not exported");
  memory::PutString(kLM, "SOFTWARE\\Other", "x", "not exported");
  if (text_only) return;
  // What only "hex(1)" carries byte for byte; REGEDIT4 text cannot.
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\Odd", "CR", 1, std::string("a\rb\0", 4));
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\Odd", "LF", 1, std::string("a\nb\0", 4));
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\Odd", "NoEnd", 1, "abc");
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\Odd", "Inner zero", 1, std::string("a\0b\0", 4));
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\Odd", "Nothing", 1, "");
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\Odd", "Short dword", 4, Bytes({1, 2, 3}));
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\Odd", "Long dword", 4, Bytes({1, 2, 3, 4, 5}));
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\Odd", "None", 0, "");
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\Odd", "Qword", 11, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\Odd", "High type", 0x12345678, "xyz");
  memory::PutValue(kLM, "SOFTWARE\\Corvane\\Odd", "Line\r\nbreak", 1, std::string("v\0", 2));
  memory::PutValue(kLM, "Software\\setup install", "", 3, std::string(2000, '\x11'));
}

bool Exported(Root root, const std::u16string& compared) {
  for (const preview::ExportedKey& key : preview::kExportedKeys) {
    const std::u16string top = memory::ComparedName(memory::StoredName(key.path));
    if (key.root == root && compared.compare(0, top.size(), top) == 0 &&
        (compared.size() == top.size() || compared[top.size()] == u'\\')) {
      return true;
    }
  }
  return false;
}

// The keys at or below the five, as stored: values in their order.
using Image = std::map<std::pair<Root, std::u16string>, std::vector<memory::StoredValue>>;
Image ExportedImage() {
  Image image;
  for (const memory::StoredKey& key : memory::SavedRegistry()) {
    const std::u16string compared = memory::ComparedName(key.path);
    if (Exported(key.root, compared)) image[{key.root, compared}] = key.values;
  }
  return image;
}

void ExpectSame(const Image& expected, const Image& found) {
  ASSERT_EQ(expected.size(), found.size());
  for (const auto& [key, values] : expected) {
    SCOPED_TRACE(std::string(key.second.begin(), key.second.end()));
    auto it = found.find(key);
    ASSERT_NE(found.end(), it);
    ASSERT_EQ(values.size(), it->second.size());
    for (size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(values[i].name, it->second[i].name);
      EXPECT_EQ(values[i].type, it->second[i].type);
      EXPECT_EQ(values[i].data, it->second[i].data);
    }
  }
}

// The collected folder's exports, read by the preview's reader, loaded into
// a fresh registry of the same kind.
Image ReadBack(memory::TextStorage storage) {
  std::vector<preview::Source> sources;
  for (const preview::ExportedKey& key : preview::kExportedKeys) {
    const std::string path = kOut + "\\" + key.file;
    if (!memory::HasFile(path)) continue;
    preview::Source source{key.file, {}};
    regfile::Error error;
    EXPECT_TRUE(regfile::Parse(memory::FileContents(path), &source.file, &error))
        << key.file << " line " << error.line << ": " << error.message;
    EXPECT_EQ(regfile::Version::k4, source.file.version);
    EXPECT_EQ(regfile::Encoding::kBytes, source.file.encoding);
    sources.push_back(std::move(source));
  }
  memory::UseTextStorage(storage, &Cp1252());
  (void)preview::LoadSources(sources, Cp1252());
  return ExportedImage();
}

TEST(KitCollect, ExportsReadBackToTheSameRegistry) {
  const struct {
    const char* why;
    memory::TextStorage storage;
    bool text_only;  // NT's import ends unterminated text: leave it out
  } cases[] = {
      {"9x", memory::TextStorage::kAnsi, false},
      {"NT", memory::TextStorage::kUtf16, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    memory::Reset();
    memory::UseTextStorage(c.storage, &Cp1252());
    FillRegistry(c.text_only);
    const Image before = ExportedImage();
    ASSERT_EQ(c.text_only ? 14u : 16u, before.size());
    const kit_test::Result result = Kit("collect " + kOut);
    ASSERT_EQ(0, result.code) << result.err;
    EXPECT_EQ("", result.out + result.err);
    EXPECT_EQ(0, memory::OpenHandles());
    EXPECT_EQ(0, memory::OpenFiles());
    ExpectSame(before, ReadBack(c.storage));
  }
}

TEST(KitCollect, WritesRegedit4AsWindows9xDoes) {
  memory::Reset();
  memory::PutString(kLM, "Software\\setup install", "", "a \"b\" \\c");
  memory::PutDword(kLM, "Software\\setup install", "n", 0x12AB);
  memory::PutValue(kLM, "Software\\setup install", "x", 3, std::string(30, '\x0F'));
  memory::PutValue(kLM, "Software\\setup install\\Sub", "m", 7, std::string("a\0\0", 3));
  memory::PutValue(kLM, "Software\\setup install\\Sub", "cr", 1, std::string("a\rb\0", 4));
  memory::PutValue(kLM, "Software\\setup install\\Sub", "lf", 1, std::string("\n\0", 2));
  memory::PutValue(kLM, "Software\\setup install\\Sub", "open", 1, "ab");
  ASSERT_EQ(0, Kit("collect " + kOut).code);
  // The hex line breaks once it reaches 77 columns, as regedit's does:
  // after 23 bytes behind "x"=hex:, after 25 on the lines that follow.
  EXPECT_EQ(
      "REGEDIT4\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\setup install]\r\n"
      "@=\"a \\\"b\\\" \\\\c\"\r\n"
      "\"n\"=dword:000012ab\r\n"
      "\"x\"=hex:0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,0f,\\\r\n"
      "  0f,0f,0f,0f,0f,0f,0f\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\setup install\\Sub]\r\n"
      "\"m\"=hex(7):61,00,00\r\n"
      "\"cr\"=hex(1):61,0d,62,00\r\n"
      "\"lf\"=hex(1):0a,00\r\n"
      "\"open\"=hex(1):61,62\r\n"
      "\r\n",
      memory::FileContents(kOut + "\\marker.reg"));
}

TEST(KitCollect, ReplacesAnEarlierCollection) {
  memory::Reset();
  memory::PutString(kLM, "SOFTWARE\\Corvane", "x", "now");
  for (const char* file : {"corvane.reg", "marker.reg", "adapters.reg", "staged.txt"}) {
    memory::PutFile(kOut + "\\" + file, "stale");
  }
  memory::PutFile(kOut + "\\ver.txt", "Windows 98");
  memory::PutFile(kOut + "\\notes.txt", "kept");
  ASSERT_EQ(0, Kit("collect " + kOut).code);
  std::vector<std::string> files = memory::FilesIn(kOut);
  std::sort(files.begin(), files.end());
  // ver.txt goes too: the script writes it once the collection is whole.
  const std::vector<std::string> expected = {"corvane.reg", "notes.txt", "staged.txt"};
  EXPECT_EQ(expected, files);
  EXPECT_NE(std::string::npos, memory::FileContents(kOut + "\\corvane.reg").find("\"x\"=\"now\""));
}

TEST(KitCollect, ListsTheStagingFolder) {
  const struct {
    const char* why;
    const char* system;
    std::vector<std::string> staged;
    bool folder;
  } cases[] = {
      {"NT", "C:\\WINDOWS\\system32", {"setup.exe", "setup.iss", "data1.cab"}, true},
      {"9x", "C:\\WINDOWS\\SYSTEM", {"SETUP.EXE"}, true},
      {"empty folder", "C:\\WINNT\\system32", {}, true},
      {"no folder", "C:\\WINDOWS\\system32", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    memory::Reset();
    memory::SetSystemDirectory(c.system);
    const std::string staging = std::string(c.system) + "\\SilentSetup";
    if (c.folder) memory::PutFolder(staging);
    for (const std::string& name : c.staged) memory::PutFile(staging + "\\" + name, "x");
    memory::PutFile("C:\\WINDOWS\\system32\\other.dll", "x");
    ASSERT_EQ(0, Kit("collect " + kOut).code);
    std::string expected;
    for (const std::string& name : memory::FilesIn(staging)) expected += name + "\r\n";
    EXPECT_EQ(c.staged.size(), memory::FilesIn(staging).size());
    EXPECT_EQ(expected, memory::FileContents(kOut + "\\staged.txt"));
    EXPECT_TRUE(memory::HasFile(kOut + "\\staged.txt"));
  }
}

TEST(KitCollect, MakesTheFolderAndThoseAboveIt) {
  for (const std::string folder : {"C:\\drop\\site\\PC042", "C:\\drop\\site\\PC042\\", "PC042"}) {
    SCOPED_TRACE(folder);
    memory::Reset();
    memory::SetCurrentDirectory("D:\\kit");
    ASSERT_EQ(0, Kit("collect " + folder).code);
    const std::string made = folder == "PC042" ? "D:\\kit\\PC042" : "C:\\drop\\site\\PC042";
    EXPECT_TRUE(memory::HasFolder(made));
    EXPECT_EQ(std::vector<std::string>{"staged.txt"}, memory::FilesIn(made));
  }
}

TEST(KitCollect, FailsWithOneLineAndLeavesNoHalfFile) {
  const struct {
    const char* why;
    void (*arrange)();
    const char* message;
    std::vector<std::string> files;  // in the folder afterwards
  } cases[] = {
      {"a file where the folder goes", [] { memory::PutFile("C:\\drop", "x"); },
       "cannot make the folder", {}},
      {"an earlier export that cannot go",
       [] { memory::PutFile(kOut + "\\corvane.reg", "old", platform::kFileAttributeReadOnly); },
       "cannot delete", {"corvane.reg"}},
      {"a value too large",
       [] {
         memory::PutValue(kLM, "SOFTWARE\\Corvane\\Big", "v", 3, std::string(70000, 'x'));
       },
       "corvane.reg: a value too large to export", {"marker.reg", "staged.txt"}},
      {"a key this user may not read",
       [] { memory::DenyRead(kLM, "SOFTWARE\\Corvane"); },
       "corvane.reg: cannot open the key", {"marker.reg", "staged.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    memory::Reset();
    memory::PutString(kLM, "SOFTWARE\\Corvane", "x", "y");
    memory::PutString(kLM, "Software\\setup install", "x", "y");
    c.arrange();
    const kit_test::Result result = Kit("collect " + kOut);
    EXPECT_EQ(1, result.code);
    EXPECT_TRUE(kit_test::IsOneLine(result.err)) << result.err;
    EXPECT_NE(std::string::npos, result.err.find(c.message)) << result.err;
    std::vector<std::string> files = memory::FilesIn(kOut);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(c.files, files);
    EXPECT_EQ(0, memory::OpenHandles());
    EXPECT_EQ(0, memory::OpenFiles());
  }
}

TEST(KitCollect, LeavesOutSubkeysThisUserMayNotOpen) {
  memory::Reset();
  memory::PutString(kLM, std::string(kAdapters) + "\\0000", "ComponentId", "a");
  memory::PutString(kLM, std::string(kAdapters) + "\\Properties", "Security", "s");
  memory::PutString(kLM, std::string(kAdapters) + "\\0001", "ComponentId", "b");
  memory::DenyRead(kLM, std::string(kAdapters) + "\\Properties");
  ASSERT_EQ(0, Kit("collect " + kOut).code);
  const std::string text = memory::FileContents(kOut + "\\adapters.reg");
  EXPECT_NE(std::string::npos, text.find("\\0001]\r\n\"ComponentId\"=\"b\""));
  EXPECT_EQ(std::string::npos, text.find("Properties"));
}

TEST(KitCollect, AFailingCallLeavesNoHalfFile) {
  // Each fallible call made to fail in turn: an export in the folder reads
  // whole (a write cut short would end inside the long value), a failure is
  // told in one line, nothing is left open. A subkey whose open is refused
  // is left out, as one this user may not read.
  for (int n = 1;; ++n) {
    SCOPED_TRACE(n);
    memory::Reset();
    memory::PutString(kLM, "SOFTWARE\\Corvane\\NLX", "x", std::string(5000, 'y'));
    memory::PutFolder(kOut);
    memory::FailCall(n);
    const kit_test::Result result = Kit("collect " + kOut);
    if (memory::FallibleCalls() < n) break;  // nothing left to fail
    if (result.code != 0) {
      EXPECT_TRUE(kit_test::IsOneLine(result.err)) << result.err;
    }
    if (memory::HasFile(kOut + "\\corvane.reg")) {
      regfile::File file;
      regfile::Error error;
      const std::string text = memory::FileContents(kOut + "\\corvane.reg");
      ASSERT_TRUE(regfile::Parse(text, &file, &error)) << error.message;
      EXPECT_EQ("\r\n\r\n", text.substr(text.size() - 4));
      EXPECT_TRUE(file.items.size() == 3 || file.items.size() == 1) << text.substr(0, 100);
    }
    EXPECT_EQ(0, memory::OpenFiles());
    EXPECT_EQ(0, memory::OpenHandles());
    ASSERT_LT(n, 200);
  }
}

}  // namespace
