// The one UTF-8 reader every part of the preview uses: the .reg reader, the
// file names, the escaping of text outputs and the fleet page.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "preview/exports/unicode.h"

namespace {

using preview::NextUtf8;
using preview::Utf8Sequence;

TEST(Utf8, OneSequence) {
  struct Case {
    const char* what;
    std::string text;
    size_t length;
    char32_t point;
    bool cut;
  };
  const Case cases[] = {
      {"ASCII", "A", 1, U'A', false},
      {"two bytes", "\xC3\xBC", 2, U'\u00FC', false},
      {"C1 is well-formed", "\xC2\x85", 2, 0x85, false},
      {"three bytes", "\xE2\x82\xAC", 3, U'\u20AC', false},
      {"four bytes", "\xF0\x9F\x98\x80", 4, 0x1F600, false},
      {"last code point", "\xF4\x8F\xBF\xBF", 4, 0x10FFFF, false},
      {"overlong two", "\xC0\xAF", 0, 0, false},
      {"overlong three", "\xE0\x80\xAF", 0, 0, false},
      {"overlong four", "\xF0\x80\x80\xAF", 0, 0, false},
      {"surrogate", "\xED\xA0\x80", 0, 0, false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", 0, 0, false},
      {"lead F5", "\xF5\x80\x80\x80", 0, 0, false},
      {"lone continuation", "\x80", 0, 0, false},
      {"bad continuation", "\xE2\x28\xA1", 0, 0, false},
      {"cut after the lead", "\xE2", 0, 0, true},
      {"cut after two of four", "\xF0\x9F", 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Utf8Sequence got = NextUtf8(c.text, 0);
    EXPECT_EQ(c.length, got.length);
    if (c.length != 0) {
      EXPECT_EQ(static_cast<uint32_t>(c.point), static_cast<uint32_t>(got.point));
    }
    EXPECT_EQ(c.cut, got.cut);
  }
}

TEST(Utf8, WholeTextsAsUtf16) {
  EXPECT_EQ(u"B\u00FCro \U0001F600", preview::Utf16FromUtf8("B\xC3\xBCro \xF0\x9F\x98\x80"));
  EXPECT_EQ(std::nullopt, preview::Utf16FromUtf8("ok \xE2\x82"));  // cut at the end
  EXPECT_EQ(std::nullopt, preview::Utf16FromUtf8("\xED\xA0\x80"));
  // Back and forth without loss.
  const std::string text = "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
  EXPECT_EQ(text, preview::Utf8(*preview::Utf16FromUtf8(text)));
}

}  // namespace
