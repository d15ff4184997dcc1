#include "launcher/wait.h"

#include "adapter/write_block_size.h"
#include "launcher/launcher.h"
#include "launcher/options.h"
#include "platform/platform.h"

namespace launcher {

namespace {

// Any failure to open, a lack of read rights included, means the setup
// has ended.
bool MarkerKeyPresent() {
  platform::ScopedKey marker;
  return platform::OpenKey(platform::Root::kLocalMachine, kMarkerKeyPath,
                           platform::kKeyRead,
                           marker.Receive()) == platform::kSuccess;
}

}  // namespace

void WaitForCompletion(int option) {
  // The first poll comes at once, so adapters already present are fixed
  // before the first pause.
  while (MarkerKeyPresent()) {
    if (IsWriteBlockSizeOption(option)) adapter::ApplyWriteBlockSizeFix();
    platform::SleepMs(kPollIntervalMs);
  }
}

}  // namespace launcher
