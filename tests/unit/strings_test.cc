// The string helpers whose exact behaviour the option match, the staging
// paths and the adapter fix depend on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

TEST(CompareNoCase, FoldsOnlyAsciiCapitalsAndComparesUnsigned) {
  const struct {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      {"", "", 0},
      {"/s /update", "/S /UPDATE", 0},
      {"-WM=12 /s /i3", "-wm=12 /S /I3", 0},
      {"abc", "abd", -1},
      {"abd", "abc", 1},
      {"ab", "abc", -1},  // the shorter one ends first
      {"abc", "ab", 1},
      // Folded before ordering: "B" sorts after "a", "_" before "A".
      {"a", "B", -1},
      {"_", "A", -1},
      // Neighbours of A-Z are not letters.
      {"@", "`", -1},
      {"[", "{", -1},
      // Bytes from 0x80 up are neither folded nor signed.
      {"\xC4", "\xE4", -1},
      {"\xC0", "\xE0", -1},
      {"\x80", "a", 1},
      {"a\xFF", "A\x01", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(c.expected, platform::CompareNoCase(c.a, c.b));
  }
}

TEST(FindLast, CountsTheTerminator) {
  const char path[] = "C:\\Pkg\\launcher.exe";
  EXPECT_EQ(path + 6, platform::FindLast(path, '\\'));
  EXPECT_EQ(path + 0, platform::FindLast(path, 'C'));
  EXPECT_EQ(nullptr, platform::FindLast(path, '/'));
  EXPECT_EQ(path + std::strlen(path), platform::FindLast(path, '\0'));
  const char empty[] = "";
  EXPECT_EQ(empty, platform::FindLast(empty, '\0'));
  EXPECT_EQ(nullptr, platform::FindLast(empty, 'x'));
  const char high[] = "a\xE9" "b\xE9";
  EXPECT_EQ(high + 3, platform::FindLast(high, '\xE9'));
}

TEST(CopyN, CopiesAtMostNMinusOneAndTerminates) {
  const struct {
    const char* source;
    unsigned long n;
    const char* expected;  // nullptr: nothing written
  } cases[] = {
      {"abcdef", 4, "abc"}, {"abc", 4, "abc"}, {"abc", 10, "abc"},
      {"abc", 1, ""},       {"", 5, ""},       {"abc", 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.source) + "/" + std::to_string(c.n));
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    platform::CopyN(buffer, c.source, c.n);
    if (c.expected == nullptr) {
      EXPECT_EQ('#', buffer[0]);
      continue;
    }
    EXPECT_STREQ(c.expected, buffer);
    EXPECT_EQ('#', buffer[std::strlen(c.expected) + 1]);  // nothing beyond
  }
}

TEST(CopyBounded, WritesExactlyNBytes) {
  const std::string forty(40, 'x');
  const struct {
    std::string source;
    unsigned long n;
    std::string expected;  // the n bytes written
  } cases[] = {
      {forty, 37, std::string(37, 'x')},  // no terminator
      {forty.substr(0, 37), 37, std::string(37, 'x')},
      {"abc", 6, std::string("abc\0\0\0", 6)},
      {"", 3, std::string(3, '\0')},
      {"abc", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source.size());
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    platform::CopyBounded(buffer, c.source.c_str(), c.n);
    EXPECT_EQ(c.expected, std::string(buffer, c.n));
    EXPECT_EQ('#', buffer[c.n]);
  }
}

TEST(Append, AppendsOnlyWhatFitsWithItsTerminator) {
  const struct {
    const char* start;
    unsigned long capacity;
    const char* piece;
    bool fits;
  } cases[] = {
      {"abc", 8, "defg", true},    // 7 characters + terminator: exactly full
      {"abc", 8, "defgh", false},  // one too many
      {"", 1, "", true},
      {"", 1, "a", false},
      {"abcdefg", 8, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.start) + "+" + c.piece);
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    std::strcpy(buffer, c.start);
    char before[16];
    std::memcpy(before, buffer, sizeof buffer);
    EXPECT_EQ(c.fits, platform::Append(buffer, c.capacity, c.piece));
    if (c.fits) {
      EXPECT_EQ(std::string(c.start) + c.piece, buffer);
    } else {
      EXPECT_EQ(0, std::memcmp(before, buffer, sizeof buffer));
    }
    EXPECT_EQ('#', buffer[c.capacity]);  // never beyond capacity
  }
}

TEST(Append, RefusesAnUnterminatedDestination) {
  char buffer[5] = {'a', 'b', 'c', 'd', 'e'};
  EXPECT_FALSE(platform::Append(buffer, sizeof buffer, ""));
  EXPECT_EQ(0, std::memcmp(buffer, "abcde", 5));
}

TEST(Compose, FillsOrLeavesEmpty) {
  char path[12];
  std::memset(path, '#', sizeof path);
  ASSERT_TRUE(platform::Compose(path, "C:", "\\", "abc"));
  EXPECT_STREQ("C:\\abc", path);
  for (size_t i = std::strlen(path); i < sizeof path; ++i) {
    EXPECT_EQ('\0', path[i]) << i;  // zero-filled behind the text
  }

  ASSERT_TRUE(platform::Compose(path, "C:\\", "12345678"));  // 11 + terminator
  EXPECT_STREQ("C:\\12345678", path);

  EXPECT_FALSE(platform::Compose(path, "C:\\", "1234", "56789"));
  EXPECT_EQ(std::string(sizeof path, '\0'), std::string(path, sizeof path));

  // The capacity given, not the array, bounds the explicit form.
  char wide[32];
  std::memset(wide, '#', sizeof wide);
  EXPECT_FALSE(platform::Compose(wide, 4, "abcd"));
  EXPECT_EQ(std::string(4, '\0'), std::string(wide, 4));
  EXPECT_EQ('#', wide[4]);
}

}  // namespace
