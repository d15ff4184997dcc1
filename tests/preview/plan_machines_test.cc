// A plan keeps the machine it ran on: plans of every family exist side by
// side, each read in its own storage form whatever was made after it, and
// making or reading one leaves the thread's current machine as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preview/exports/windows_version.h"
#include "preview/fleet/fleet.h"
#include "preview/machine/plan.h"
#include "preview/output/escape.h"
#include "preview/output/fleet_table.h"
#include "preview/output/plan_output.h"
#include "tests/preview/test_machine.h"

namespace {

using preview_test::Cp1252;

preview::Source Reg4(const std::string& body) {
  preview::Source source{"test.reg", {}};
  regfile::Error error;
  EXPECT_TRUE(regfile::Parse("REGEDIT4\r\n\r\n" + body, &source.file, &error)) << error.message;
  return source;
}

// Text beyond ASCII, which a 9x registry keeps as bytes and an NT one as
// UTF-16, carried over and set by the option: read in the wrong storage
// form, the plan's names and data come out garbled.
const std::string kBefore =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
    "\"GinaInstallOption\"=\"B\xFCro\"\r\n\"wModeSelect\"=dword:0000000d\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings]\r\n"
    "\"Stra\xDF" "e\"=\"\xC4nderung\"\r\n\"XRStatus\"=hex(2):c4,00\r\n";

const struct {
  const char* windows;
  const char* tail;
} kMachines[] = {{"98", "-gina /S /I1"}, {"xp", "-gina -sl -XR /S /I3"},
                 {"2000", "-wm=13 /S /I1"}, {"xp", "/S /UPDATE"}, {"95", "/S /I1"}};

preview::Plan PlanOf(const char* windows, const char* tail) {
  preview::Machine machine;
  machine.version_word = *preview::ParseVersion(windows);
  machine.command_line = std::string("C:\\Pkg\\launcher.exe ") + tail;
  machine.sources = {Reg4(kBefore)};
  return preview::MakePlan(machine, Cp1252());
}

// Every output of a plan that reads its registry images, read while the
// thread's current machine stores text as 9x does, then as NT does: the
// plan's own storage form must decide, so both readings are the same.
std::string Outputs(const preview::Plan& plan) {
  const auto read = [&] {
    const preview::FleetRow row = preview::RowOfPlan(plan, "PC", {}, Cp1252());
    return preview::PlanText(plan, Cp1252()) +
           preview::DumpJson(preview::PlanJson(plan, Cp1252())) + preview::FleetLine(row);
  };
  memory::Machine ansi, utf16;
  std::string text;
  {
    const memory::UseMachine use(ansi);
    text = read();
  }
  const memory::UseMachine use(utf16);
  memory::UseTextStorage(memory::TextStorage::kUtf16, &Cp1252());
  EXPECT_EQ(text, read());
  return text;
}

TEST(PlanMachines, PlansOfEveryFamilyHeldTogetherReadAsEachAlone) {
  std::vector<std::string> alone;
  for (const auto& m : kMachines) alone.push_back(Outputs(PlanOf(m.windows, m.tail)));

  std::vector<preview::Plan> together;
  for (const auto& m : kMachines) together.push_back(PlanOf(m.windows, m.tail));
  // Read last made first, then in order: each after plans of other families.
  for (size_t i = together.size(); i-- > 0;) {
    SCOPED_TRACE(std::string(kMachines[i].windows) + " " + kMachines[i].tail);
    EXPECT_EQ(alone[i], Outputs(together[i]));
  }
  for (size_t i = 0; i < together.size(); ++i) {
    SCOPED_TRACE(std::string(kMachines[i].windows) + " " + kMachines[i].tail);
    EXPECT_EQ(alone[i], Outputs(together[i]));
    // The text beyond ASCII as it is (UTF-8), in the settings shown.
    EXPECT_NE(std::string::npos, alone[i].find("\"B\xC3\xBCro\"")) << alone[i];
    EXPECT_NE(std::string::npos, alone[i].find("\"\xC3\x84nderung\"")) << alone[i];
  }
}

TEST(PlanMachines, MakingAndReadingAPlanLeaveTheCurrentMachineAlone) {
  memory::Reset();
  memory::UseTextStorage(memory::TextStorage::kUtf16, &Cp1252());
  memory::PutString(platform::Root::kLocalMachine, "SOFTWARE\\Mine", "Kept", "1");
  memory::Machine* const current = &memory::CurrentMachine();
  for (const auto& m : kMachines) {
    SCOPED_TRACE(std::string(m.windows) + " " + m.tail);
    const preview::Plan plan = PlanOf(m.windows, m.tail);
    (void)Outputs(plan);
    EXPECT_EQ(current, &memory::CurrentMachine());
    EXPECT_EQ(memory::TextStorage::kUtf16, memory::CurrentTextStorage());
    EXPECT_TRUE(memory::HasKey(platform::Root::kLocalMachine, "SOFTWARE\\Mine"));
    EXPECT_TRUE(memory::Journal().empty());
    // The plan's own machine holds its after-state.
    const memory::UseMachine use = preview::UseMachineOf(plan);
    EXPECT_FALSE(memory::HasKey(platform::Root::kLocalMachine, "SOFTWARE\\Mine"));
    EXPECT_EQ(plan.after.size(), memory::SavedRegistry().size());
  }
}

}  // namespace
