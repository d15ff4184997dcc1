// The reader over .reg files from public repositories, kept beside the
// repository in shared/realreg (never copied into it): every file reads or
// is refused with a line and a printable message, and every file read
// comes back the same through the writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "preview/exports/reg_file.h"

namespace {

namespace fs = std::filesystem;

using regfile::Item;

fs::path Folder() {
  return fs::path(LAUNCHER_SOURCE_DIR "/../shared/realreg/files").lexically_normal();
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool PrintableAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// Line ends as bytes: no text can have more lines than one past them.
int MaxLine(const std::string& content) {
  return 1 + static_cast<int>(std::count_if(content.begin(), content.end(),
                                            [](char c) { return c == '\n' || c == '\r'; }));
}

bool SameItem(const Item& a, const Item& b) {
  return a.kind == b.kind && a.key.root == b.key.root && a.key.path == b.key.path &&
         a.name == b.name &&
         (a.kind != Item::Kind::kValue ||
          (a.data.form == b.data.form && a.data.type == b.data.type &&
           a.data.text == b.data.text && a.data.bytes == b.data.bytes));
}

TEST(RealRegFiles, ReadOrRefusedWithLineAndPrintableMessage) {
  const fs::path folder = Folder();
  if (!fs::is_directory(folder)) {
    GTEST_SKIP() << folder.string() << " is absent: no real .reg files to read";
  }
  std::vector<fs::path> paths;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".reg") paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end());
  ASSERT_FALSE(paths.empty()) << folder.string();

  int read = 0, refused = 0, skipped_keys = 0;
  for (const fs::path& path : paths) {
    SCOPED_TRACE(path.filename().string());
    const std::string content = ReadAll(path);
    regfile::File file;
    regfile::Error error;
    if (!regfile::Parse(content, &file, &error)) {
      ++refused;
      std::cout << "refused " << path.filename().string() << ":" << error.line << ": "
                << error.message << "\n";
      EXPECT_FALSE(error.message.empty());
      EXPECT_TRUE(PrintableAscii(error.message)) << error.message;
      // Only an empty file has no line to blame.
      if (error.message != "empty file") {
        EXPECT_GE(error.line, 1);
        EXPECT_LE(error.line, MaxLine(content));
      }
      continue;
    }
    ++read;
    skipped_keys += file.skipped_other_root_keys;
    EXPECT_GE(file.skipped_other_root_keys, 0);
    // Written in its own version and encoding, the file reads back to the
    // same items. The writer opens a key before a value whose key was not
    // opened; a file read never has such a value, as every value follows
    // its key line.
    const std::string written = regfile::Write(file.version, file.encoding, file.items);
    regfile::File again;
    ASSERT_TRUE(regfile::Parse(written, &again, &error)) << error.line << ": " << error.message;
    EXPECT_EQ(file.version, again.version);
    EXPECT_EQ(file.encoding, again.encoding);
    EXPECT_EQ(0, again.skipped_other_root_keys);
    ASSERT_EQ(file.items.size(), again.items.size());
    for (size_t i = 0; i < file.items.size(); ++i) {
      EXPECT_TRUE(SameItem(file.items[i], again.items[i]))
          << "item " << i << " on line " << file.items[i].line;
    }
  }
  std::cout << read << " of " << paths.size() << " files read, " << refused
            << " refused; " << skipped_keys << " keys of other roots skipped\n";
  RecordProperty("read", read);
  RecordProperty("refused", refused);
  // 89 read before the reader took Ctrl-Z, '#' comments and other roots.
  EXPECT_GE(read, 100);
}

}  // namespace
