// launcher-preview verify: the machine planned from the folder collected
// before the rollout, judged by the folder collected after it.
#include <filesystem>
#include <iostream>

#include "preview/command/commands.h"
#include "preview/exports/paths.h"
#include "preview/fleet/verify.h"
#include "preview/output/escape.h"
#include "preview/output/verify_text.h"

namespace preview {

namespace fs = std::filesystem;

int RunVerify(const PlanOptions& options, const std::string& before, const std::string& after) {
  try {
    const std::unique_ptr<CodePage> code_page = OpenCodePage(options);
    const FleetSetup setup = SetupOf(InMachineText(options, *code_page));
    for (const std::string& folder : {before, after}) {
      if (!fs::is_directory(PathOf(folder))) throw InputError{folder + ": not a folder"};
    }
    FolderPlan planned;
    FolderError folder_error;
    if (!PlanFolder(before, setup, *code_page, &planned, &folder_error)) {
      throw InputError{folder_error.message};
    }
    Collected collected;
    if (!ReadCollected(after, &collected, &folder_error, code_page->LeadByteRanges())) {
      throw InputError{folder_error.message};
    }
    const Verification verification =
        Verify(planned.plan, collected, *code_page, planned.staged_before);
    if (options.json) {
      std::cout << DumpJson(VerificationJson(verification), 2) << "\n";
    } else {
      std::cout << VerificationText(verification);
    }
    return verification.verdict == verdict::kAsPlanned ? 0 : 1;
  } catch (const InputError& error) {
    std::cerr << "launcher-preview: " << EscapeText(error.message) << "\n";
    return 2;
  }
}

}  // namespace preview
