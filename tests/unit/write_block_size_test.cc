#include "adapter/write_block_size.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory_testing.h"

namespace {

using memory::Root;

const std::string kClass = adapter::kAdapterClassKey;
const std::string kId = adapter::kHardwareIds[0];
const std::string kValueName = "writeBlockSize";

std::string InstancePath(const std::string& name) {
  return kClass + "\\" + name;
}

void PutAdapter(const std::string& name, std::optional<std::string> id) {
  memory::PutKey(Root::kLocalMachine, InstancePath(name));
  if (id) {
    memory::PutString(Root::kLocalMachine, InstancePath(name), "ComponentId",
                    *id);
  }
}

bool HasFix(const std::string& name) {
  auto value =
      memory::GetValue(Root::kLocalMachine, InstancePath(name), kValueName);
  return value && value->type == platform::kRegSz &&
         value->data == std::string("1", 2);
}

// Every value of every adapter key, for comparing whole states.
std::map<std::string, std::pair<unsigned long, std::string>> Snapshot() {
  std::map<std::string, std::pair<unsigned long, std::string>> all;
  for (const auto& key : memory::SubkeyNames(Root::kLocalMachine, kClass)) {
    for (const auto& name :
         memory::ValueNames(Root::kLocalMachine, InstancePath(key))) {
      auto value = memory::GetValue(Root::kLocalMachine, InstancePath(key), name);
      all[key + ":" + name] = {value->type, value->data};
    }
  }
  return all;
}

// The fix only ever sets writeBlockSize: no key is created, nothing else
// is written or deleted, and no handle stays open.
void ExpectOnlyFixWritten() {
  for (const auto& write : memory::RegistryWrites()) {
    const std::string suffix = ":" + kValueName;
    EXPECT_TRUE(
        write.size() > suffix.size() &&
        write.compare(write.size() - suffix.size(), suffix.size(), suffix) == 0)
        << write;
  }
  EXPECT_EQ(memory::OpenHandles(), 0);
}

class WriteBlockSizeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    memory::Reset();
    memory::PutKey(Root::kLocalMachine, kClass);
  }
};

TEST_F(WriteBlockSizeTest, ComparesTheFirst37CharactersIgnoringAsciiCase) {
  std::string lower = kId;
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  std::string other_last = kId;
  other_last.back() = other_last.back() == '0' ? '1' : '0';
  const struct {
    const char* label;
    std::string id;
    bool fixed;
  } kCases[] = {
      {"exact", kId, true},
      {"lower case", lower, true},
      {"revision suffix", kId + "&REV_01", true},
      {"fills the 500-byte buffer", kId + std::string(499 - kId.size(), 'x'),
       true},
      {"longer than the buffer", kId + std::string(500 - kId.size(), 'x'),
       false},
      {"one short", kId.substr(0, 36), false},
      {"last digit differs", other_last, false},
      {"id not at the start", "X" + kId, false},
      {"empty", "", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    SetUp();
    PutAdapter("0000", c.id);
    adapter::ApplyWriteBlockSizeFix();
    EXPECT_EQ(HasFix("0000"), c.fixed);
    if (!c.fixed) {
      EXPECT_TRUE(memory::RegistryWrites().empty());
    }
    ExpectOnlyFixWritten();
  }
}

TEST_F(WriteBlockSizeTest, EverySupportedIdMatches) {
  for (int i = 0; i < adapter::kHardwareIdCount; ++i) {
    ASSERT_EQ(std::string(adapter::kHardwareIds[i]).size(),
              adapter::kHardwareIdLength);
    PutAdapter("000" + std::to_string(i),
               std::string(adapter::kHardwareIds[i]));
  }
  adapter::ApplyWriteBlockSizeFix();
  for (int i = 0; i < adapter::kHardwareIdCount; ++i) {
    EXPECT_TRUE(HasFix("000" + std::to_string(i)));
  }
  ExpectOnlyFixWritten();
}

TEST_F(WriteBlockSizeTest, UnusableSubkeysBetweenMatchesArePassedOver) {
  PutAdapter("0000", kId);
  PutAdapter("0001", std::nullopt);  // no ComponentId
  PutAdapter("0002", kId);
  memory::DenyRead(Root::kLocalMachine, InstancePath("0002"));
  PutAdapter("0003", kId);
  memory::DenyWrite(Root::kLocalMachine, InstancePath("0003"));
  // Names too long for a 120-byte key path. The full path, class key
  // included, may have 260 characters (MAX_PATH), as the "A" functions
  // convert it: a name of 182 fits, one of 255 (the registry's limit) does
  // not open and is passed over as Windows passes it over.
  PutAdapter(std::string(182, 'n'), kId);
  PutAdapter(std::string(255, 'm'), kId);
  PutAdapter("0004", kId);
  adapter::ApplyWriteBlockSizeFix();
  EXPECT_TRUE(HasFix("0000"));
  EXPECT_TRUE(
      memory::ValueNames(Root::kLocalMachine, InstancePath("0001")).empty());
  EXPECT_FALSE(HasFix("0003"));
  EXPECT_TRUE(HasFix(std::string(182, 'n')));
  EXPECT_FALSE(HasFix(std::string(255, 'm')));
  EXPECT_TRUE(HasFix("0004"));
  EXPECT_EQ(memory::RegistryWrites().size(), 3u);
  ExpectOnlyFixWritten();
}

TEST_F(WriteBlockSizeTest, ReplacesAnyExistingValueAndIsIdempotent) {
  PutAdapter("0000", kId);
  memory::PutDword(Root::kLocalMachine, InstancePath("0000"), "WRITEBLOCKSIZE",
                 4096);
  PutAdapter("0001", kId + "&REV_02");
  memory::PutString(Root::kLocalMachine, InstancePath("0001"), kValueName, "1");
  PutAdapter("0002", "PCI\\VEN_0000&DEV_0000&SUBSYS_00000000");
  adapter::ApplyWriteBlockSizeFix();
  EXPECT_TRUE(HasFix("0000"));
  EXPECT_TRUE(HasFix("0001"));
  EXPECT_FALSE(HasFix("0002"));
  const auto once = Snapshot();
  adapter::ApplyWriteBlockSizeFix();
  EXPECT_EQ(Snapshot(), once);
  ExpectOnlyFixWritten();
}

TEST_F(WriteBlockSizeTest, ClassKeyWithoutSubkeysOrAbsentIsLeftAlone) {
  adapter::ApplyWriteBlockSizeFix();
  EXPECT_TRUE(memory::SubkeyNames(Root::kLocalMachine, kClass).empty());
  EXPECT_TRUE(memory::RegistryWrites().empty());
  EXPECT_EQ(memory::OpenHandles(), 0);

  memory::RemoveKey(Root::kLocalMachine, kClass);
  adapter::ApplyWriteBlockSizeFix();
  EXPECT_FALSE(memory::HasKey(Root::kLocalMachine, kClass));
  EXPECT_TRUE(memory::RegistryWrites().empty());
  EXPECT_EQ(memory::OpenHandles(), 0);
}

TEST_F(WriteBlockSizeTest, ClosesEveryHandleWhateverOperationFails) {
  PutAdapter("0000", kId);
  PutAdapter("0001", "no match");
  const int base = memory::FallibleCalls();
  adapter::ApplyWriteBlockSizeFix();
  const int calls = memory::FallibleCalls() - base;
  ASSERT_GT(calls, 0);
  for (int n = 1; n <= calls; ++n) {
    SCOPED_TRACE(n);
    memory::FailCall(n);
    adapter::ApplyWriteBlockSizeFix();
    memory::FailCall(0);
    EXPECT_EQ(memory::OpenHandles(), 0);
    EXPECT_FALSE(HasFix("0001"));
    EXPECT_EQ(memory::SubkeyNames(Root::kLocalMachine, kClass).size(), 2u);
  }
}

}  // namespace
