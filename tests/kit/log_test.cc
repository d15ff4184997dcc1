// KIT log and the command line over the in-memory machine.
#include <gtest/gtest.h>

#include <string>

#include "kit_test_support.h"
#include "platform/memory_testing.h"

namespace {

using kit_test::Kit;

const std::string kLog = "R:\\drop\\logon.log";

TEST(KitLog, AppendsOneDatedLine) {
  const struct {
    const char* why;
    platform::LocalTime time;
    const char* arguments;
    const char* line;
  } cases[] = {
      {"text", {2026, 12, 9, 7, 5, 3}, "PC042 run started -gina /S /I1",
       "2026-12-09 07:05:03 PC042 run started -gina /S /I1\r\n"},
      {"no text", {1999, 1, 31, 23, 59, 59}, "PC042 collect",
       "1999-01-31 23:59:59 PC042 collect\r\n"},
      {"blanks inside kept, at the end dropped", {2001, 10, 25, 0, 0, 0},
       "PC042 skip\tname  a  b \t ", "2001-10-25 00:00:00 PC042 skip name  a  b\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    memory::Reset();
    memory::SetLocalTime(c.time);
    memory::PutFile(kLog, "earlier\r\n");
    const kit_test::Result result = Kit("log " + kLog + " " + c.arguments);
    EXPECT_EQ(0, result.code) << result.err;
    EXPECT_EQ("", result.out + result.err);
    EXPECT_EQ(std::string("earlier\r\n") + c.line, memory::FileContents(kLog));
    EXPECT_EQ(0, memory::OpenFiles());
  }
}

TEST(KitLog, MakesTheFileAndWaitsForAnotherWriter) {
  const struct {
    const char* why;
    int held;  // opens refused while another machine writes
    int code;
    int sleeps;
  } cases[] = {
      {"free", 0, 0, 0},
      {"held a while", 3, 0, 3},
      {"held too long", 1000, 1, 39},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    memory::Reset();
    memory::PutFolder("R:\\drop");
    memory::HoldFile(kLog, c.held);
    const kit_test::Result result = Kit("log " + kLog + " PC042 done");
    EXPECT_EQ(c.code, result.code);
    EXPECT_EQ(c.sleeps, memory::SleepCount());
    EXPECT_EQ(c.code == 0, memory::HasFile(kLog));
    if (c.code == 0) {
      EXPECT_EQ("2001-10-25 12:00:00 PC042 done\r\n", memory::FileContents(kLog));
    } else {
      EXPECT_TRUE(kit_test::IsOneLine(result.err)) << result.err;
    }
  }
}

TEST(KitLog, FailsWithOneLine) {
  const struct {
    const char* why;
    std::string arguments;
  } cases[] = {
      {"no folder for the file", "R:\\nowhere\\x.log PC042 run"},
      {"a folder in the way", "R:\\drop PC042 run"},
      {"a line too long", kLog + " PC042 run " + std::string(5000, 'x')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    memory::Reset();
    memory::PutFolder("R:\\drop");
    const kit_test::Result result = Kit("log " + c.arguments);
    EXPECT_EQ(1, result.code);
    EXPECT_TRUE(kit_test::IsOneLine(result.err)) << result.err;
    EXPECT_FALSE(memory::HasFile(kLog));
  }
}

TEST(KitCommandLine, RefusesWhatItDoesNotKnow) {
  const char* const cases[] = {
      "",
      "   ",
      "help",
      "state R:\\kit PC042 extra",
      "collect",
      "collect a b",
      "log R:\\x.log PC042",
      "mark done R7 extra",
  };
  for (const char* tail : cases) {
    SCOPED_TRACE(tail);
    memory::Reset();
    const kit_test::Result result = Kit(tail);
    EXPECT_EQ(1, result.code);
    EXPECT_EQ("", result.out);
    EXPECT_TRUE(kit_test::IsOneLine(result.err)) << result.err;
    EXPECT_EQ(0u, result.err.find("kit: usage: "));
  }
}

TEST(KitCommandLine, TakesWordsBetweenBlanksInAnyCase) {
  memory::Reset();
  memory::PutFolder("R:\\kit\\REL");
  const kit_test::Result result = Kit(" \tSTATE \t R:\\kit\t PC042  ");
  EXPECT_EQ(0, result.code);
  EXPECT_EQ(0u, result.out.find("set KNAME=PC042\r\n"));
  const kit_test::Result long_word = Kit("collect C:\\" + std::string(300, 'x'));
  EXPECT_EQ(1, long_word.code);
  EXPECT_TRUE(kit_test::IsOneLine(long_word.err)) << long_word.err;
}

}  // namespace
