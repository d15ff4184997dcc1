// Paths in the preview are UTF-8 text, on Windows too, where the file
// system's names are UTF-16 and the ANSI code page holds only some of them.
// Every path goes to the file system through PathOf, and every name comes
// back through Utf8Of.
#pragma once

#include <filesystem>
#include <string>

namespace preview {

inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::u8path(utf8);
}

inline std::string Utf8Of(const std::filesystem::path& path) { return path.u8string(); }

}  // namespace preview
