// Machines as objects: every part of a machine belongs to it alone, the
// current one is the one the operations reach, and the thread's default
// machine stays as it was while another is current.
#include "platform/memory_kit.h"
#include "platform/memory_testing.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

namespace {

using platform::Root;
constexpr Root kLM = Root::kLocalMachine;

// One part of a machine: a change to it, and whether a machine shows it.
struct Part {
  const char* name;
  std::function<void()> change;
  std::function<bool()> shows;
};

std::string ComputerName() {
  char name[32] = {};
  return platform::ComputerName(name, sizeof name) > 0 ? name : "(none)";
}

const std::vector<Part>& Parts() {
  static const std::vector<Part> parts = {
      {"registry", [] { memory::PutString(kLM, "SOFTWARE\\Mine", "V", "1"); },
       [] { return memory::HasKey(kLM, "SOFTWARE\\Mine"); }},
      {"files", [] { memory::PutFile("C:\\mine.txt", "x"); },
       [] { return memory::HasFile("C:\\mine.txt"); }},
      {"current folder", [] { memory::SetCurrentDirectory("D:\\Work"); },
       [] {
         memory::PutFile("probe.txt", "");
         return memory::HasFile("D:\\Work\\probe.txt");
       }},
      {"command line", [] { memory::SetCommandLine("X:\\launcher.exe /S"); },
       [] { return std::string(platform::FullCommandLine()) == "X:\\launcher.exe /S"; }},
      {"version", [] { memory::SetVersion(0xC0000A04); },
       [] { return platform::VersionWord() == 0xC0000A04; }},
      {"lead bytes", [] { memory::SetLeadByteRange(0x81, 0x9F); },
       [] { return platform::IsLeadByte(0x81); }},
      {"journal", [] { platform::SleepMs(5); },
       [] { return memory::SleepCount() == 1 && memory::SleptMs() == 5; }},
      {"text storage", [] { memory::UseTextStorage(memory::TextStorage::kUtf16, nullptr); },
       [] { return memory::CurrentTextStorage() == memory::TextStorage::kUtf16; }},
      {"kit", [] { memory::SetComputerName(std::string("OTHER")); },
       [] { return ComputerName() == "OTHER"; }},
      {"test controls", [] { memory::SetStartSucceeds(false); },
       [] {
         memory::PutFile("C:\\setup.exe", "");
         return !platform::StartProgram("C:\\setup.exe", "setup");
       }},
  };
  return parts;
}

TEST(MemoryMachine, EveryPartBelongsToItsMachine) {
  for (const Part& part : Parts()) {
    SCOPED_TRACE(part.name);
    memory::Reset();
    memory::Machine changed, other;
    {
      memory::UseMachine use(changed);
      part.change();
    }
    {
      memory::UseMachine use(other);
      EXPECT_FALSE(part.shows()) << "a fresh machine shows another's change";
    }
    EXPECT_FALSE(part.shows()) << "the thread's default machine shows it";
    memory::UseMachine use(changed);
    EXPECT_TRUE(part.shows()) << "the machine lost its own change";
  }
}

TEST(MemoryMachine, ANewMachineIsAsResetLeavesOne) {
  const auto observe = [] {
    std::string seen = platform::FullCommandLine();
    seen += memory::HasFolder("C:\\WINDOWS\\system32") ? " system32" : " no-system32";
    seen += " " + ComputerName();
    seen += memory::CurrentTextStorage() == memory::TextStorage::kAnsi ? " ansi" : " utf16";
    seen += " " + std::to_string(memory::Journal().size());
    seen += " " + std::to_string(memory::OpenHandles());
    return seen;
  };
  memory::Reset();
  const std::string reset = observe();
  memory::Machine fresh;
  memory::UseMachine use(fresh);
  EXPECT_EQ(reset, observe());
}

TEST(MemoryMachine, UseRestoresTheMachineCurrentBefore) {
  memory::Reset();
  memory::Machine outer, inner;
  memory::Machine* const before = &memory::CurrentMachine();
  {
    memory::UseMachine use_outer(outer);
    EXPECT_EQ(&outer, &memory::CurrentMachine());
    {
      memory::UseMachine use_inner(inner);
      EXPECT_EQ(&inner, &memory::CurrentMachine());
      memory::PutKey(kLM, "Inner");
    }
    EXPECT_EQ(&outer, &memory::CurrentMachine());
    EXPECT_FALSE(memory::HasKey(kLM, "Inner"));
  }
  EXPECT_EQ(before, &memory::CurrentMachine());
  EXPECT_FALSE(memory::HasKey(kLM, "Inner"));
}

// A machine made on one thread runs on another; that thread's default
// machine and this one's are apart from it and from each other.
TEST(MemoryMachine, MachinesAndThreadDefaultsAreApart) {
  memory::Reset();
  memory::PutKey(kLM, "MainDefault");
  memory::Machine shared;
  bool worker_default_clean = false, worker_saw_main = true;
  std::thread worker([&] {
    worker_default_clean = !memory::HasKey(kLM, "MainDefault");
    memory::UseMachine use(shared);
    memory::PutKey(kLM, "FromWorker");
    worker_saw_main = memory::HasKey(kLM, "MainDefault");
  });
  worker.join();
  EXPECT_TRUE(worker_default_clean);
  EXPECT_FALSE(worker_saw_main);
  EXPECT_TRUE(memory::HasKey(kLM, "MainDefault"));
  EXPECT_FALSE(memory::HasKey(kLM, "FromWorker"));
  memory::UseMachine use(shared);
  EXPECT_TRUE(memory::HasKey(kLM, "FromWorker"));
}

// A handle is its machine's: the same number on another machine is no
// key there, and closing it there leaves it open on its own.
TEST(MemoryMachine, HandlesStayWithTheirMachine) {
  memory::Machine a, b;
  platform::RegKey key = nullptr;
  {
    memory::UseMachine use(a);
    ASSERT_EQ(0, platform::CreateKey(kLM, "SOFTWARE\\A", &key));
  }
  {
    memory::UseMachine use(b);
    EXPECT_EQ(memory::kInvalidHandle, platform::CloseKey(key));
  }
  memory::UseMachine use(a);
  EXPECT_EQ(1, memory::OpenHandles());
  EXPECT_EQ(0, platform::CloseKey(key));
}

}  // namespace
