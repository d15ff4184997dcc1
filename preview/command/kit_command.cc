// launcher-preview rollout-kit: the kit written into a folder.
#include <filesystem>
#include <iostream>

#include "preview/command/commands.h"
#include "preview/exports/paths.h"
#include "preview/fleet/rollout_kit.h"
#include "preview/output/escape.h"

namespace preview {

namespace fs = std::filesystem;

int RunRolloutKit(const KitOptions& options) {
  try {
    std::string helper;
    if (options.helper) {
      helper = *options.helper;
    } else {
      std::error_code error;
      const fs::path self = fs::absolute(PathOf(options.program), error);
      helper = Utf8Of(self.parent_path() / "KIT.EXE");
    }
    WriteKit(options.folder, KitPlaces{options.package, options.drop}, helper);
  } catch (const std::exception& error) {
    std::cerr << "launcher-preview: rollout-kit: " << EscapeText(error.what()) << "\n";
    return 2;
  }
  std::cerr << "rollout-kit: written into " << EscapeText(options.folder)
            << "; call its LOGON.BAT from the login script, and release machines with "
               "fleet --release\n";
  return 0;
}

}  // namespace preview
