// What the preview's tests share: files written into scratch folders, and
// the code page most machines have.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "preview/exports/code_page.h"

namespace preview_test {

inline void Write(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

inline const preview::CodePage& Cp1252() {
  static std::string error;
  static const std::unique_ptr<preview::CodePage> page = preview::CodePage::Open(1252, &error);
  return *page;
}

}  // namespace preview_test
