// KIT state and KIT mark over the in-memory machine: the decision, every
// line printed, and the rights check with rights denied.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "kit/marks.h"
#include "kit_test_support.h"
#include "platform/memory_testing.h"

namespace {

using kit_test::Kit;
using platform::Root;

constexpr unsigned long kWord95 = 0xC0000004;     // 4.0, high bit
constexpr unsigned long kWord98 = 0xC0000A04;     // 4.10
constexpr unsigned long kWord2000 = 0x08930005;   // 5.0.2195
constexpr unsigned long kWordXP = 0x0A280105;     // 5.1.2600
constexpr unsigned long kWordVista = 0x17700006;  // 6.0.6000

const char* const kSystem = "C:\\WINDOWS\\system32";
const char* const kRecord = "R:\\kit\\REL\\PC042.TXT";

struct Machine {
  unsigned long word = kWordXP;
  unsigned long build = 2600;
  std::optional<std::string> computer = std::string("PC042");
  std::optional<std::string> record = std::string("release=R7\r\ntail=-gina /S /I1\r\n");
  const char* started = nullptr;  // the marks held before
  const char* done = nullptr;
  bool deny_file = false;     // no file may be made in the system folder
  bool deny_software = false; // HKLM\SOFTWARE not writable
};

void Arrange(const Machine& m) {
  memory::Reset();
  memory::SetVersion(m.word);
  memory::SetBuildNumber(m.build);
  memory::SetComputerName(m.computer);
  memory::PutFolder("R:\\kit\\REL");
  if (m.record) memory::PutFile(kRecord, *m.record);
  memory::PutKey(Root::kLocalMachine, "SOFTWARE\\Microsoft");
  if (m.started) memory::PutString(Root::kLocalMachine, kit::kMarksKey, "Started", m.started);
  if (m.done) memory::PutString(Root::kLocalMachine, kit::kMarksKey, "Done", m.done);
  if (m.deny_file) memory::DenyFileCreate(kSystem);
  if (m.deny_software) memory::DenyWrite(Root::kLocalMachine, "SOFTWARE");
}

std::string Lines(const std::string& name, const std::string& family, const std::string& win,
                  const std::string& rights, const std::string& release,
                  const std::string& tail, const std::string& step, const std::string& why) {
  return "set KNAME=" + name + "\r\nset KFAM=" + family + "\r\nset KWIN=" + win +
         "\r\nset KRIGHTS=" + rights + "\r\nset KREL=" + release + "\r\nset KTAIL=" + tail +
         "\r\nset KSTEP=" + step + "\r\nset KWHY=" + why + "\r\n";
}

Machine With(void (*change)(Machine&)) {
  Machine m;
  change(m);
  return m;
}

TEST(KitState, DecidesTheStepAndPrintsEveryLine) {
  const std::string tail = "-gina /S /I1";
  const struct {
    const char* why;
    Machine machine;
    const char* arguments;
    std::string expected;
  } cases[] = {
      {"XP, released, rights", Machine(), "R:\\kit",
       Lines("PC042", "xp", "5.1.2600", "yes", "R7", tail, "run", "released")},
      {"2000", With([](Machine& m) { m.word = kWord2000; m.build = 2195; }), "R:\\kit",
       Lines("PC042", "2000", "5.0.2195", "yes", "R7", tail, "run", "released")},
      {"98 needs no rights", With([](Machine& m) {
         m.word = kWord98; m.build = 2222; m.deny_file = true; m.deny_software = true; }),
       "R:\\kit", Lines("PC042", "9x", "4.10.2222", "yes", "R7", tail, "run", "released")},
      {"95", With([](Machine& m) { m.word = kWord95; m.build = 950; }), "R:\\kit\\",
       Lines("PC042", "9x", "4.0.950", "yes", "R7", tail, "run", "released")},
      {"Vista is skipped", With([](Machine& m) { m.word = kWordVista; m.build = 6000; }),
       "R:\\kit", Lines("PC042", "other", "6.0.6000", "yes", "R7", tail, "skip", "windows")},
      {"other before a bad name", With([](Machine& m) { m.word = kWordVista; }),
       "R:\\kit CON", Lines("", "other", "6.0.2600", "yes", "", "", "skip", "windows")},
      {"name given", With([](Machine& m) { m.computer = std::string("OTHER"); }),
       "R:\\kit PC042", Lines("PC042", "xp", "5.1.2600", "yes", "R7", tail, "run", "released")},
      {"name given in another case", Machine(), "R:\\kit pc042",
       Lines("pc042", "xp", "5.1.2600", "yes", "R7", tail, "run", "released")},
      {"computer name not a valid name",
       With([](Machine& m) { m.computer = std::string("PC.042"); }), "R:\\kit",
       Lines("", "xp", "5.1.2600", "yes", "", "", "skip", "name")},
      {"no computer name", With([](Machine& m) { m.computer = std::nullopt; }), "R:\\kit",
       Lines("", "xp", "5.1.2600", "yes", "", "", "skip", "name")},
      {"device name given", Machine(), "R:\\kit LPT1",
       Lines("", "xp", "5.1.2600", "yes", "", "", "skip", "name")},
      {"name too long given", Machine(), "R:\\kit PC04212345678901",
       Lines("", "xp", "5.1.2600", "yes", "", "", "skip", "name")},
      {"no record", With([](Machine& m) { m.record = std::nullopt; }), "R:\\kit",
       Lines("PC042", "xp", "5.1.2600", "yes", "", "", "collect", "unreleased")},
      {"no REL folder", Machine(), "R:\\other",
       Lines("PC042", "xp", "5.1.2600", "yes", "", "", "collect", "unreleased")},
      {"record fails validation",
       With([](Machine& m) { m.record = std::string("release=R7\r\ntail=/S & del x\r\n"); }),
       "R:\\kit", Lines("PC042", "xp", "5.1.2600", "yes", "", "", "skip", "record")},
      {"record too large to read",
       With([](Machine& m) { m.record = "release=R7\r\ntail=/S\r\n" + std::string(5000, '#'); }),
       "R:\\kit", Lines("PC042", "xp", "5.1.2600", "yes", "", "", "skip", "record")},
      {"done", With([](Machine& m) { m.started = "R7"; m.done = "R7"; }), "R:\\kit",
       Lines("PC042", "xp", "5.1.2600", "yes", "R7", tail, "done", "done")},
      {"started, not done", With([](Machine& m) { m.started = "R7"; m.done = "R6"; }),
       "R:\\kit", Lines("PC042", "xp", "5.1.2600", "yes", "R7", tail, "after", "interrupted")},
      {"interrupted even without rights",
       With([](Machine& m) { m.started = "R7"; m.deny_software = true; }), "R:\\kit",
       Lines("PC042", "xp", "5.1.2600", "no", "R7", tail, "after", "interrupted")},
      {"an earlier release done", With([](Machine& m) { m.started = "R6"; m.done = "R6"; }),
       "R:\\kit", Lines("PC042", "xp", "5.1.2600", "yes", "R7", tail, "run", "released")},
      {"marks differ in case", With([](Machine& m) { m.started = "r7"; m.done = "r7"; }),
       "R:\\kit", Lines("PC042", "xp", "5.1.2600", "yes", "R7", tail, "run", "released")},
      {"mark longer than an id",
       With([](Machine& m) { m.done = "R7R7R7R7R7"; }), "R:\\kit",
       Lines("PC042", "xp", "5.1.2600", "yes", "R7", tail, "run", "released")},
      {"no file in the system folder", With([](Machine& m) { m.deny_file = true; }),
       "R:\\kit", Lines("PC042", "xp", "5.1.2600", "no", "R7", tail, "norights", "rights")},
      {"SOFTWARE not writable", With([](Machine& m) { m.deny_software = true; }), "R:\\kit",
       Lines("PC042", "xp", "5.1.2600", "no", "R7", tail, "norights", "rights")},
      {"2000 without rights",
       With([](Machine& m) { m.word = kWord2000; m.build = 2195; m.deny_software = true; }),
       "R:\\kit", Lines("PC042", "2000", "5.0.2195", "no", "R7", tail, "norights", "rights")},
      {"no rights, no record",
       With([](Machine& m) { m.deny_file = true; m.record = std::nullopt; }), "R:\\kit",
       Lines("PC042", "xp", "5.1.2600", "no", "", "", "collect", "unreleased")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    Arrange(c.machine);
    const kit_test::Result result = Kit(std::string("state ") + c.arguments);
    EXPECT_EQ(0, result.code);
    EXPECT_EQ(c.expected, result.out);
    EXPECT_EQ("", result.err);
  }
}

TEST(KitState, RightsCheckLeavesNothingBehind) {
  for (const bool deny_software : {false, true}) {
    SCOPED_TRACE(deny_software);
    Machine m;
    m.deny_software = deny_software;
    Arrange(m);
    ASSERT_EQ(0, Kit("state R:\\kit").code);
    EXPECT_TRUE(memory::FilesIn(kSystem).empty());
    EXPECT_EQ(std::vector<std::string>{"Microsoft"},
              memory::SubkeyNames(Root::kLocalMachine, "SOFTWARE"));
    EXPECT_TRUE(memory::RegistryWrites().empty());
    EXPECT_EQ(0, memory::OpenHandles());
    EXPECT_EQ(0, memory::OpenFiles());
  }
}

TEST(KitState, ARecordThatDoesNotReadIsSkipped) {
  const struct {
    const char* why;
    bool file;  // a valid record there
    void (*arrange)();
  } cases[] = {
      {"held by another", true, [] { memory::HoldFile(kRecord, 1); }},
      {"a folder of that name", false, [] { memory::PutFolder(kRecord); }},
      {"read fails", true, [] { memory::FailCall(1); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    Machine m;
    m.record = std::nullopt;
    m.word = kWord98;  // no rights check before the record is read
    m.build = 2222;
    Arrange(m);
    if (c.file) memory::PutFile(kRecord, "release=R7\r\ntail=\r\n");
    c.arrange();
    const kit_test::Result result = Kit("state R:\\kit");
    EXPECT_EQ(Lines("PC042", "9x", "4.10.2222", "yes", "", "", "skip", "record"), result.out);
  }
}

TEST(KitMark, WritesTheMarkThatStateReads) {
  Machine m;
  Arrange(m);
  ASSERT_EQ(0, Kit("mark started R7").code);
  EXPECT_NE(std::string::npos, Kit("state R:\\kit").out.find("KSTEP=after\r\n"));
  ASSERT_EQ(0, Kit("MARK Done R7").code);
  EXPECT_NE(std::string::npos, Kit("state R:\\kit").out.find("KSTEP=done\r\n"));
  const auto done = memory::GetValue(Root::kLocalMachine, "SOFTWARE\\Rollout Kit", "Done");
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(platform::kRegSz, done->type);
  EXPECT_EQ(std::string("R7", 3), done->data);
  const std::vector<std::string> writes = {
      "create HKLM\\SOFTWARE\\Rollout Kit", "set HKLM\\SOFTWARE\\Rollout Kit:Started",
      "set HKLM\\SOFTWARE\\Rollout Kit:Done"};
  EXPECT_EQ(writes, memory::RegistryWrites());
  EXPECT_EQ(0, memory::OpenHandles());
}

TEST(KitMark, RefusesWhatItCannotWrite) {
  const struct {
    const char* arguments;
    bool deny;
  } cases[] = {
      {"mark begun R7", false},
      {"mark started R7.1", false},
      {"mark started ABCDEFGHI", false},
      {"mark started", false},
      {"mark started R7 R8", false},
      {"mark done R7", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    Machine m;
    m.deny_software = c.deny;
    Arrange(m);
    const kit_test::Result result = Kit(c.arguments);
    EXPECT_EQ(1, result.code);
    EXPECT_TRUE(kit_test::IsOneLine(result.err)) << result.err;
    EXPECT_EQ("", result.out);
    EXPECT_TRUE(memory::RegistryWrites().empty());
  }
}

}  // namespace
