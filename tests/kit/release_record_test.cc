#include "kit/release_record.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ReleaseRecord, ReadsBothLinesOrNothing) {
  const struct {
    const char* why;
    std::string text;
    bool valid;
    const char* id;
    const char* tail;
  } cases[] = {
      {"CR LF", "release=R1\r\ntail=-gina /S /I1\r\n", true, "R1", "-gina /S /I1"},
      {"LF, tail first", "tail=/S /I1\nrelease=2024a\n", true, "2024a", "/S /I1"},
      {"no final line end", "release=R1\r\ntail=/S", true, "R1", "/S"},
      {"empty tail", "release=R1\r\ntail=\r\n", true, "R1", ""},
      {"blanks in the tail kept", "release=R1\ntail= /S  /I1 \n", true, "R1", " /S  /I1 "},
      {"unknown lines ignored", "# comment\r\nrelease=R1\r\nnote=a|b\r\ntail=/S\r\n", true,
       "R1", "/S"},
      {"8-character id", "release=ABCDEFGH\ntail=x\n", true, "ABCDEFGH", "x"},
      {"60-character tail", "release=R\ntail=" + std::string(60, 'x') + "\n", true, "R",
       "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
      {"empty file", "", false, "", ""},
      {"no tail line", "release=R1\r\n", false, "", ""},
      {"no release line", "tail=/S\r\n", false, "", ""},
      {"two release lines", "release=R1\nrelease=R1\ntail=/S\n", false, "", ""},
      {"two tail lines", "release=R1\ntail=/S\ntail=/S\n", false, "", ""},
      {"empty id", "release=\ntail=/S\n", false, "", ""},
      {"9-character id", "release=ABCDEFGHI\ntail=/S\n", false, "", ""},
      {"id with a dot", "release=R1.2\ntail=/S\n", false, "", ""},
      {"id with a blank", "release=R1 \ntail=/S\n", false, "", ""},
      {"61-character tail", "release=R\ntail=" + std::string(61, 'x') + "\n", false, "", ""},
      {"percent", "release=R1\ntail=/S %PATH%\n", false, "", ""},
      {"quote", "release=R1\ntail=\"/S\"\n", false, "", ""},
      {"redirection", "release=R1\ntail=/S > x\n", false, "", ""},
      {"input", "release=R1\ntail=/S < x\n", false, "", ""},
      {"pipe", "release=R1\ntail=/S | x\n", false, "", ""},
      {"ampersand", "release=R1\ntail=/S & x\n", false, "", ""},
      {"caret", "release=R1\ntail=/S ^x\n", false, "", ""},
      {"tab", "release=R1\ntail=/S\t/I1\n", false, "", ""},
      {"lone CR inside", "release=R1\ntail=/S\r/I1\n", false, "", ""},
      {"not ASCII", "release=R1\ntail=/S \xE9\n", false, "", ""},
      {"zero byte", std::string("release=R1\ntail=/S\0x\n", 21), false, "", ""},
      {"key in another case", "Release=R1\ntail=/S\n", false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    kit::Release release;
    EXPECT_EQ(c.valid, kit::ParseRelease(c.text.data(),
                                         static_cast<unsigned long>(c.text.size()),
                                         &release));
    EXPECT_STREQ(c.id, release.id);
    EXPECT_STREQ(c.tail, release.tail);
  }
}

}  // namespace
