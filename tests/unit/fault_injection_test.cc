// Whole runs with one platform operation made to fail, for every operation
// a run makes: the run still ends with 0 after the marker key is gone, every
// handle is closed, nothing is written where it does not belong, and no
// moved setting is lost.
#include <gtest/gtest.h>

#include <string>

#include "adapter/write_block_size.h"
#include "launcher/launcher.h"
#include "platform/memory_testing.h"
#include "run_invariants.h"
#include "settings_test_support.h"

namespace {

using namespace settings_test;

constexpr unsigned long k9x = 0xC0000A04, k2000 = 0x08930005, kXP = 0x0A280105,
                        kOther = 0x00000006;
const std::string kSystem = "C:\\WINDOWS\\system32";
const std::string kStaging = kSystem + "\\SilentSetup";
const std::string kPackage = "C:\\Pkg";
const std::string kClass = adapter::kAdapterClassKey;
constexpr int kMarkerPolls = 2;  // the setup ends during the second sleep

struct Scenario {
  const char* label;
  unsigned long version;
  const char* tail;
  // Older settings to carry over, with this GinaInstallOption stored
  // without its zero byte; none when null.
  const char* legacy_gina = nullptr;
  bool settings = false;      // current settings present
  bool user_install = false;  // install type only under HKEY_CURRENT_USER
  bool adapters = false;      // one adapter at start, one during the wait
};

// Fills the 50-byte read: moved as 49 characters, and then still readable.
const std::string kFull(50, 'g');

const Scenario kScenarios[] = {
    {"9x silent", k9x, "/S /I1"},
    {"9x uninstall, user install type", k9x, "/S /UNINSTALL", nullptr, false,
     true},
    {"2000 gina and leap, carry-over", k2000, "-gina -sl /S /I1", "1", true},
    {"XP mode, legacy only", kXP, "-wm=12 /S /I3", kFull.c_str()},
    {"XP update wbs", kXP, "/S /UPDATE /wbs", "1", false, true, true},
    {"XP uninstall wbs, settings", kXP, "/S /UNINSTALL /wbs", nullptr, true,
     true, true},
    {"XP -XR, interactive", kXP, "-XR", nullptr, true, false, true},
    {"other family", kOther, "/S /I1 /wbs", "1", false, false, true},
};

void PutAdapter(const std::string& name) {
  Put(kMachine, kClass + "\\" + name, "ComponentId",
      Sz(std::string(adapter::kHardwareIds[2]) + "\\4&1"));
}

void Arrange(const Scenario& s) {
  memory::Reset();
  memory::SetVersion(s.version);
  memory::SetCommandLine(kPackage + "\\launcher.exe " + s.tail);
  for (const char* name :
       {"layout.bin", "data1.cab", "setup.ini", "data3.cab\\setup.iss",
        "data3.cab\\SI1.iss", "data3.cab\\SI1XP.iss", "data3.cab\\SI3XP.iss",
        "data3.cab\\SUPDATEDA.iss", "data3.cab\\SUNINSTALL.iss"}) {
    memory::PutFile(kPackage + "\\" + name, name);
  }
  memory::PutFile(kStaging + "\\setup.iss", "old",
                platform::kFileAttributeReadOnly);
  if (s.legacy_gina != nullptr) {
    Put(kMachine, kOld, "GinaInstallOption", {platform::kRegSz, s.legacy_gina});
    Put(kMachine, kOld, "SilentLeapOption", Sz("0"));
    Put(kMachine, kOld, "wModeSelect", Dword(13));
  }
  if (s.settings) {
    Put(kMachine, kSet, "GinaInstallOption", Sz("0"));
    Put(kMachine, kSet, "XRStatus", Sz("1"));
  }
  if (s.user_install) {
    Put(kUser, kInst, "InstallOption", Sz("Install Driver Only"));
  }
  if (s.adapters) PutAdapter("0000");
  // The setup: adds an adapter while it installs and removes the marker key
  // when it ends; later sleeps would mean the wait outlived it.
  memory::SetSleepHook([s](unsigned long) {
    const int poll = memory::SleepCount();
    if (s.adapters && poll == 1) PutAdapter("0001");
    if (poll >= kMarkerPolls) {
      memory::RemoveKey(kMachine, launcher::kMarkerKeyPath);
    }
  });
}

run_check::Before Snapshot() {
  return run_check::Before({"C:\\", kPackage, kPackage + "\\data3.cab",
                            "C:\\WINDOWS", kSystem, kStaging},
                           kStaging);
}

TEST(FaultInjection, EveryFallibleCallOfEveryScenario) {
  for (const Scenario& s : kScenarios) {
    SCOPED_TRACE(s.label);
    Arrange(s);
    const run_check::Before clean = Snapshot();
    ASSERT_EQ(0, launcher::LauncherMain(s.tail));
    ASSERT_EQ("", clean.Verify(s.tail, false));
    const int calls = memory::FallibleCalls();
    for (int n = 1; n <= calls; ++n) {
      SCOPED_TRACE(n);
      Arrange(s);
      const run_check::Before before = Snapshot();
      memory::FailCall(n);
      EXPECT_EQ(0, launcher::LauncherMain(s.tail));
      EXPECT_LE(memory::SleepCount(), kMarkerPolls);
      EXPECT_EQ("", before.Verify(s.tail, true));
    }
  }
}

}  // namespace
