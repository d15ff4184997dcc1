#include "kit/rights.h"

#include "kit/commands.h"
#include "platform/kit_platform.h"

namespace kit {

bool CanInstall() {
  char path[kPathCapacity];
  platform::ZeroFill(path, sizeof path);
  if (platform::SystemDirectory(path, sizeof path) == 0 ||
      !platform::Append(path, sizeof path, "\\KITRIGHT.TMP")) {
    return false;
  }
  platform::File file = nullptr;
  if (platform::CreateOutputFile(path, &file) != platform::kSuccess) return false;
  const bool closed = platform::CloseFile(file);
  if (!platform::RemoveFile(path) || !closed) return false;

  platform::ScopedKey key;
  return platform::OpenKey(platform::Root::kLocalMachine, "SOFTWARE",
                           platform::kKeyCreateSubKey | platform::kKeySetValue,
                           key.Receive()) == platform::kSuccess;
}

}  // namespace kit
