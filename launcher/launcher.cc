#include "launcher/launcher.h"

#include "launcher/options.h"
#include "launcher/state.h"
#include "platform/platform.h"

namespace launcher {

namespace {
void CreateMarkerKey() {
  platform::ScopedKey marker;
  (void)platform::CreateKeyPlain(platform::Root::kLocalMachine, kMarkerKeyPath,
                                 marker.Receive());
}
}  // namespace

int LauncherMain(const char* tail) {
  State state;
  platform::ZeroFill(&state, sizeof state);

  // Before any file is touched, so it is present during staging too.
  CreateMarkerKey();

  // Staging: source folder from the full command line, then the package.

  const int option = ResolveOption(tail);
  (void)option;

  // Dispatch: family, carry-over, settings actions, response file, start.

  // Wait: poll the marker key until the setup removes it.

  return 0;
}

}  // namespace launcher
