// The command-line tail: what is left behind the program name and the blanks
// after it, including double-byte program paths.
#include <gtest/gtest.h>

#include <string>

#include "platform/memory_testing.h"
#include "platform/platform.h"

namespace {

struct Case {
  const char* label;
  std::string line;
  std::string tail;
};

// The tail must be the end of the line itself, not a copy.
void ExpectTail(const Case& c) {
  SCOPED_TRACE(c.label);
  const char* tail = platform::CommandLineTail(c.line.c_str());
  EXPECT_EQ(c.tail, tail);
  EXPECT_EQ(c.line.c_str() + c.line.size() - c.tail.size(), tail);
}

TEST(CommandLineTail, SingleByteLines) {
  memory::Reset();
  const Case cases[] = {
      {"unquoted", "C:\\Pkg\\launcher.exe /S /I1", "/S /I1"},
      {"quoted", "\"C:\\My Pkg\\launcher.exe\" /S /I1", "/S /I1"},
      {"blanks and tabs", "launcher.exe \t  \t/S /I1", "/S /I1"},
      {"trailing blanks kept", "launcher.exe /S /I1  ", "/S /I1  "},
      {"inner blanks kept", "launcher.exe /S  /I1", "/S  /I1"},
      {"control characters skipped", "launcher.exe\x01\x1F/wbs", "/wbs"},
      {"no closing quote", "\"C:\\My Pkg\\launcher.exe /S /I1", ""},
      {"leading blank", " C:\\Pkg\\launcher.exe /S", "C:\\Pkg\\launcher.exe /S"},
      {"leading tab", "\tlauncher.exe /S", "launcher.exe /S"},
      {"right after the quote", "\"C:\\Pkg\\launcher.exe\"/S /I1", "/S /I1"},
      {"quote inside unquoted name", "C:\\Pk\"g\\l.exe -sl", "-sl"},
      {"empty quoted name", "\"\" -XR", "-XR"},
      {"name only", "launcher.exe", ""},
      {"quoted name only", "\"launcher.exe\"", ""},
      {"empty line", "", ""},
      // Bytes from 0x80 up are above 0x20, in the name and in the tail.
      {"high bytes in name", "C:\\\xE9t\xE9\\l.exe /S", "/S"},
      {"tail starting high", "l.exe \xA0x", "\xA0x"},
  };
  for (const Case& c : cases) ExpectTail(c);
}

// Code page 932: a lead byte inside a quoted program path takes the next
// byte along, even a double quote.
TEST(CommandLineTail, DoubleByteProgramPaths) {
  memory::Reset();
  memory::SetLeadByteRange(0x81, 0x9F);
  memory::SetLeadByteRange(0xE0, 0xFC);
  const Case cases[] = {
      {"0x80 is no lead byte", "\"C:\\\x80\" /S\" /T", "/S\" /T"},
      {"0x81 takes the quote", "\"C:\\\x81\" /S\" /T", "/T"},
      {"0x9F takes the quote", "\"C:\\\x9F\" /S\" /T", "/T"},
      {"0xA0 is no lead byte", "\"C:\\\xA0\" /S\" /T", "/S\" /T"},
      {"0xDF is no lead byte", "\"C:\\\xDF\" /S\" /T", "/S\" /T"},
      {"0xE0 takes the quote", "\"C:\\\xE0\" /S\" /T", "/T"},
      {"0xFC takes the quote", "\"C:\\\xFC\" /S\" /T", "/T"},
      {"0xFD is no lead byte", "\"C:\\\xFD\" /S\" /T", "/S\" /T"},
      {"pair then closing quote", "\"C:\\\x83\x5C\\l.exe\" -gina", "-gina"},
      {"lead byte pair before quote", "\"\x81\x81\" /S", "/S"},
      {"lead byte at the end", "\"C:\\x\x81", ""},
      {"lead byte and quote at the end", "\"C:\\x\x81\"", ""},
  };
  for (const Case& c : cases) ExpectTail(c);
}

TEST(CommandLineTail, NoLeadBytesWithoutDoubleByteCodePage) {
  memory::Reset();
  ExpectTail({"0x81 plain", "\"C:\\\x81\" /S\" /T", "/S\" /T"});
}

}  // namespace
