#include "launcher/launcher.h"

#include "launcher/dispatch.h"
#include "launcher/options.h"
#include "launcher/staging.h"
#include "launcher/state.h"
#include "launcher/wait.h"
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
  platform::EnterPhase(platform::Phase::kMarkerKey);
  CreateMarkerKey();

  platform::EnterPhase(platform::Phase::kStaging);
  FindSourceFolder(state, platform::FullCommandLine());
  StagePackage(state);

  const int option = ResolveOption(tail);
  const bool started = Dispatch(state, option);

  // Only a started setup removes the marker key; without one the wait
  // would never end.
  if (started) {
    platform::EnterPhase(platform::Phase::kWait);
    WaitForCompletion(option);
  }

  return 0;
}

}  // namespace launcher
