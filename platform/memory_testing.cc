// The test-only controls of the in-memory platform.
#include "platform/memory_testing.h"

#include "platform/memory_internal.h"

namespace memory {

namespace {
const char* RootName(Root root) {
  return root == Root::kLocalMachine ? "HKLM" : "HKCU";
}
}  // namespace

void DenyWrite(Root root, const std::string& path) {
  internal::AddDenial(root, path, true);
}

void DenyRead(Root root, const std::string& path) {
  internal::AddDenial(root, path, false);
}

int OpenHandles() { return internal::HandleCount(); }

std::vector<std::string> RegistryWrites() {
  std::vector<std::string> writes;
  for (const Event& event : Journal()) {
    std::string verb;
    switch (event.operation) {
      case Operation::kKeyCreated: verb = "create"; break;
      case Operation::kSetValue: verb = "set"; break;
      case Operation::kDeleteValue: verb = "delete"; break;
      default: continue;
    }
    if (event.status != platform::kSuccess) continue;
    std::string line = verb + " " + RootName(event.root);
    if (!event.key.empty()) line += "\\" + event.key;
    if (event.operation != Operation::kKeyCreated) line += ":" + event.name;
    writes.push_back(line);
  }
  return writes;
}

void SetStartSucceeds(bool succeeds) {
  internal::TheControls().start_succeeds = succeeds;
}

int FallibleCalls() { return internal::TheControls().calls; }

void FailCall(int n) { internal::TheControls().countdown = n > 0 ? n : 0; }

void DenyFileCreate(const std::string& folder) {
  internal::DenyFileCreate(folder);
}

void HoldFile(const std::string& path, int opens) {
  internal::HoldFile(path, opens);
}

int OpenFiles() { return internal::OpenFileCount(); }

}  // namespace memory
