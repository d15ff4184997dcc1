// The end-to-end runner's view of the machine: the registry keys and files
// the launcher touches, in a compact text form that the case table uses.
//
// Keys are named by one letter:
//   S settings key, L legacy key, I installer key (HKLM), U installer key
//   (HKCU), M marker key, C the fake setup's control key.
// A value is written "sz:text", "esz:text", "dw:12" or "bin:0a0b"; "sz:" and
// "esz:" store the text with its terminator.
// A key's contents are "-" when the key is absent, else its values as
// "Name=value,Name=value" sorted by name ("" for a key without values).
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

struct RegValue {
  DWORD type = REG_NONE;
  std::string bytes;
};

struct KeyRef {
  HKEY root;
  const char* path;
};

bool KeyByLetter(char letter, KeyRef* key);
bool ParseValue(const std::string& text, RegValue* value);
std::string FormatValue(const RegValue& value);

// "-" or the sorted values of the key.
std::string DumpKey(const KeyRef& key);
bool KeyExists(const KeyRef& key);
// Reads one value; false when the key or the value is absent.
bool ReadValue(const KeyRef& key, const char* name, RegValue* value);
bool WriteValue(const KeyRef& key, const char* name, const RegValue& value);
void DeleteTree(HKEY root, const char* path);

// Applies "L;L.GinaInstallOption=sz:1;U.InstallOption=sz:..." (a bare letter
// creates the key). Returns "" or what could not be done.
std::string Arrange(const std::string& items_text);
// "" when the key holds exactly the expected contents (names compared
// without regard to case), else a description of the difference.
std::string CompareKey(char letter, const std::string& expected);

// Files.
bool ReadWholeFile(const std::string& path, std::string* bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// Names in a folder, sorted, without "." and ".."; empty when it is absent.
std::vector<std::string> ListFolder(const std::string& path);
// Removes the folder and everything in it, read-only files included.
void DeleteFolder(const std::string& path);
bool FolderExists(const std::string& path);

std::string Lower(std::string text);

}  // namespace e2e
