// Shared plumbing of the in-memory platform's parts (registry, files,
// process). Not for tests: they use fake_platform.h.
#pragma once

#include <string>

namespace fake {
namespace internal {

// Win32 codes the fake answers with besides those in fake_platform.h.
constexpr long kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
constexpr long kBadPathname = 161;      // ERROR_BAD_PATHNAME
constexpr long kKeyDeleted = 1018;      // ERROR_KEY_DELETED

// Counts one fallible operation; true when it is the one chosen to fail.
bool InjectedFailure();

// Folds A-Z onto a-z, nothing else: how the registry and the file system
// of the fake compare names.
std::string Fold(const std::string& text);

void ResetRegistry();
void ResetFiles();
void ResetProcess();

}  // namespace internal
}  // namespace fake
