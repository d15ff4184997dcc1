#include "preview/command/output_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "preview/command/options.h"
#include "preview/exports/paths.h"

namespace preview {

namespace fs = std::filesystem;

void WriteAll(const std::vector<std::pair<std::string, std::string>>& all) {
  std::vector<std::pair<std::string, std::string>> files;
  const std::string* to_stdout = nullptr;
  for (const auto& file : all) {
    if (file.first == "-") {
      to_stdout = &file.second;
    } else {
      files.push_back(file);
    }
  }
  std::vector<std::string> temporaries;
  const auto discard = [&] {
    for (const std::string& t : temporaries) fs::remove(PathOf(t));
  };
  for (const auto& [path, content] : files) {
    const std::string temporary = path + ".tmp-launcher-preview";
    std::ofstream out(PathOf(temporary), std::ios::binary | std::ios::trunc);
    if (out) out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
      const std::string reason = std::strerror(errno);
      discard();
      fs::remove(PathOf(temporary));
      throw InputError{path + ": cannot write: " + reason};
    }
    temporaries.push_back(temporary);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    std::error_code error;
    fs::rename(PathOf(temporaries[i]), PathOf(files[i].first), error);
    if (error) {
      discard();
      throw InputError{files[i].first + ": cannot write: " + error.message()};
    }
  }
  if (to_stdout != nullptr) std::cout << *to_stdout << std::flush;
}

bool OneToStdout(const std::vector<const std::optional<std::string>*>& outputs) {
  int count = 0;
  for (const auto* output : outputs) count += *output && **output == "-" ? 1 : 0;
  if (count > 1) throw InputError{"only one output can be \"-\" (standard output)"};
  return count == 1;
}

}  // namespace preview
