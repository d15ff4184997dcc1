// The short forms the kit's login script uses: KIT.EXE takes its kit from
// where it lies (KIT.INI names the drop share), the machine's name from
// %COMPUTERNAME% on NT and GetComputerNameA on 9x, and its release from
// REL\<NAME>.TXT, so the script's lines stay short.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "kit/marks.h"
#include "kit_test_support.h"
#include "platform/memory_platform.h"

namespace {

using kit_test::Kit;
using platform::Root;

constexpr unsigned long kWord98 = 0xC0000A04;
constexpr unsigned long kWordXP = 0x0A280105;
const char* const kKit = "N:\\kit";

struct Machine {
  unsigned long word = kWordXP;
  std::optional<std::string> computer = std::string("HOSTNAME");  // GetComputerNameA
  std::optional<std::string> variable = std::string("PC042");      // %COMPUTERNAME%
  bool ini = true;
  bool record = true;
};

void Arrange(const Machine& s) {
  memory::Reset();
  memory::SetVersion(s.word);
  memory::SetComputerName(s.computer);
  memory::SetEnvironment("COMPUTERNAME", s.variable);
  memory::SetProgramFolder(kKit);
  memory::PutFolder(std::string(kKit) + "\\REL");
  memory::PutFolder("S:\\drop");
  memory::PutKey(Root::kLocalMachine, "SOFTWARE\\Microsoft");
  if (s.ini) memory::PutFile(std::string(kKit) + "\\KIT.INI", "package=S:\\pkg\r\ndrop=S:\\drop\r\n");
  for (const char* name : {"PC042", "HOSTNAME"}) {
    if (s.record) {
      memory::PutFile(std::string(kKit) + "\\REL\\" + name + ".TXT",
                      "release=R7\r\ntail=-gina /S /I1\r\n");
    }
  }
}

TEST(KitSteps, TheNameOnEachFamilyAndWhatTheScriptIsTold) {
  const struct {
    const char* name;
    Machine setup;
    const char* out;
  } cases[] = {
      {"xp: %COMPUTERNAME%", {}, "set KNAME=PC042\r\nset KTAIL=-gina /S /I1\r\nset KSTEP=run\r\n"},
      {"xp without the variable", {kWordXP, std::string("HOSTNAME"), std::nullopt},
       "set KNAME=HOSTNAME\r\nset KTAIL=-gina /S /I1\r\nset KSTEP=run\r\n"},
      // 9x has no such variable: what a user sets there does not count.
      {"98: GetComputerNameA", {kWord98},
       "set KNAME=HOSTNAME\r\nset KTAIL=-gina /S /I1\r\nset KSTEP=run\r\n"},
      {"a name no folder may have", {kWordXP, std::nullopt, std::string("PC 42&")},
       "set KNAME=\r\nset KTAIL=\r\nset KSTEP=skip\r\n"},
      {"not released", {kWordXP, std::string("HOSTNAME"), std::string("PC042"), true, false},
       "set KNAME=PC042\r\nset KTAIL=\r\nset KSTEP=collect\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Arrange(c.setup);
    const kit_test::Result result = Kit("step");
    EXPECT_EQ(0, result.code) << result.err;
    EXPECT_EQ(c.out, result.out);
  }
}

TEST(KitSteps, CollectLogAndMarkGoWhereTheKitSays) {
  Arrange({});
  ASSERT_EQ(0, Kit("collect before").code);
  EXPECT_TRUE(memory::HasFolder("S:\\drop\\before\\PC042"));
  ASSERT_EQ(0, Kit("collect AFTER").code);
  EXPECT_TRUE(memory::HasFolder("S:\\drop\\after\\PC042"));

  // The log folder is made by the first machine that logs.
  ASSERT_FALSE(memory::HasFolder("S:\\drop\\log"));
  ASSERT_EQ(0, Kit("log started").code);
  ASSERT_EQ(0, Kit("log done").code);
  EXPECT_EQ(
      "2001-10-25 12:00:00 PC042 started launcher.exe -gina /S /I1 (release R7)\r\n"
      "2001-10-25 12:00:00 PC042 done after the run (release R7)\r\n",
      memory::FileContents("S:\\drop\\log\\PC042.TXT"));

  // mark takes the release's id from the record; state then says so.
  ASSERT_EQ(0, Kit("mark started").code);
  EXPECT_EQ("set KNAME=PC042\r\nset KTAIL=-gina /S /I1\r\nset KSTEP=after\r\n", Kit("step").out);
  ASSERT_EQ(0, Kit("mark done").code);
  EXPECT_EQ("set KNAME=PC042\r\nset KTAIL=-gina /S /I1\r\nset KSTEP=done\r\n", Kit("step").out);
}

TEST(KitSteps, WithoutWhatTheyNeedTheyFailInOneLine) {
  const struct {
    const char* name;
    Machine setup;
    const char* tail;
  } cases[] = {
      {"no KIT.INI: no drop share", {kWordXP, std::string("H"), std::string("PC042"), false}, "collect before"},
      {"no KIT.INI, log", {kWordXP, std::string("H"), std::string("PC042"), false}, "log collected"},
      {"no release to mark", {kWordXP, std::string("H"), std::string("PC042"), true, false}, "mark started"},
      {"no name to collect by", {kWordXP, std::nullopt, std::string("-bad name-!")}, "collect before"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Arrange(c.setup);
    const kit_test::Result result = Kit(c.tail);
    EXPECT_EQ(1, result.code);
    EXPECT_TRUE(kit_test::IsOneLine(result.err)) << result.err;
  }
  // A machine without a usable name still leaves a line, its name escaped.
  Arrange({kWordXP, std::nullopt, std::string("PC 42&")});
  ASSERT_EQ(0, Kit("log skipped").code);
  EXPECT_EQ("2001-10-25 12:00:00 ? skipped computer name unusable: PC\\x2042\\x26\r\n",
            memory::FileContents("S:\\drop\\log\\unnamed.txt"));
}

}  // namespace
