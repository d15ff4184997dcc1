#include "launcher/wait.h"

#include <gtest/gtest.h>

#include <string>

#include "adapter/write_block_size.h"
#include "launcher/launcher.h"
#include "launcher/options.h"
#include "platform/memory_testing.h"

namespace {

using memory::Root;

const std::string kClass = adapter::kAdapterClassKey;
const std::string kMarker = launcher::kMarkerKeyPath;

void PutAdapter(const std::string& name) {
  memory::PutString(Root::kLocalMachine, kClass + "\\" + name, "ComponentId",
                  adapter::kHardwareIds[5]);
}

bool HasFix(const std::string& name) {
  return memory::GetValue(Root::kLocalMachine, kClass + "\\" + name,
                        "writeBlockSize")
      .has_value();
}

class WaitTest : public ::testing::Test {
 protected:
  void SetUp() override { memory::Reset(); }
};

TEST_F(WaitTest, EndsAtTheFirstPollWithoutTheMarkerKey) {
  const struct {
    const char* label;
    bool present;
    bool readable;
    int sleeps;
  } kCases[] = {
      {"removed during the first sleep", true, true, 1},
      {"never created", false, true, 0},
      {"not readable", true, false, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    memory::Reset();
    if (c.present) memory::PutKey(Root::kLocalMachine, kMarker);
    if (!c.readable) memory::DenyRead(Root::kLocalMachine, kMarker);
    memory::SetSleepHook([](unsigned long ms) {
      EXPECT_EQ(ms, launcher::kPollIntervalMs);
      memory::RemoveKey(Root::kLocalMachine, kMarker);
    });
    launcher::WaitForCompletion(1);
    EXPECT_EQ(memory::SleepCount(), c.sleeps);
    EXPECT_EQ(memory::SleptMs(), c.sleeps * 2000ull);
    EXPECT_EQ(memory::OpenHandles(), 0);
  }
}

// The setup installs a second adapter during the first sleep and ends
// during the third. Only the "/wbs" options touch the adapters, at once
// and again on each later poll.
TEST_F(WaitTest, RunsTheFixOnEachPollOnlyForWbsOptions) {
  for (int option = launcher::kNoOption; option <= launcher::kOptionCount;
       ++option) {
    SCOPED_TRACE(launcher::OptionString(option));
    const bool wbs = std::string(launcher::OptionString(option)).find("/wbs") !=
                     std::string::npos;
    memory::Reset();
    memory::PutKey(Root::kLocalMachine, kMarker);
    PutAdapter("0000");
    bool fixed_before_first_sleep = false;
    bool second_fixed_at_second_poll = false;
    int sleeps = 0;
    memory::SetSleepHook([&](unsigned long) {
      switch (++sleeps) {
        case 1:
          fixed_before_first_sleep = HasFix("0000");
          PutAdapter("0001");
          break;
        case 2:
          second_fixed_at_second_poll = HasFix("0001");
          break;
        default:
          memory::RemoveKey(Root::kLocalMachine, kMarker);
      }
    });
    launcher::WaitForCompletion(option);
    EXPECT_EQ(memory::SleepCount(), 3);
    EXPECT_EQ(fixed_before_first_sleep, wbs);
    EXPECT_EQ(second_fixed_at_second_poll, wbs);
    EXPECT_EQ(HasFix("0000") && HasFix("0001"), wbs);
    if (!wbs) {
      EXPECT_TRUE(memory::RegistryWrites().empty());
    }
    EXPECT_EQ(memory::OpenHandles(), 0);
  }
}

}  // namespace
