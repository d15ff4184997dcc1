// Output files written whole or not at all.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace preview {

// Writes files (path, content) only once all are ready, each through a
// temporary file, so a failure leaves none half written. "-" is standard
// output, written last. Throws InputError (options.h).
void WriteAll(const std::vector<std::pair<std::string, std::string>>& files);

// At most one output may be standard output ("-"); it then takes the
// report's place there. Whether one is; throws InputError for two.
bool OneToStdout(const std::vector<const std::optional<std::string>*>& outputs);

}  // namespace preview
