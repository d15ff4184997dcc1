#include "tests/e2e/records.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "preview/exports/exports.h"
#include "tests/e2e/e2e_paths.h"
#include "tests/e2e/world.h"

namespace e2e {

namespace {

// The keys the preview reads, by the names its collection script gives
// their exports.
HKEY RootKey(platform::Root root) {
  return root == platform::Root::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

const char* RootName(platform::Root root) {
  return root == platform::Root::kCurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

constexpr DWORD kRegeditLimitMs = 30000;

std::string RunRegedit(const std::string& file, const std::string& key) {
  const std::string error =
      RunProgram(SystemProgram("regedit.exe"), "regedit.exe /e \"" + file + "\" \"" + key + "\"",
                 "", kRegeditLimitMs);
  return error == "regedit.exe did not end" ? "regedit did not end" : error;
}

// regedit's exports are UTF-16LE with a byte-order mark; the keys are ASCII.
// A file of another form, or of another key, would mislead whoever plans
// from it.
bool LooksLikeExport(const std::string& bytes, const std::string& key) {
  const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[" + key + "]\r\n";
  if (bytes.size() < 2 + 2 * head.size() || bytes.compare(0, 2, "\xff\xfe") != 0) return false;
  std::string narrow;
  for (size_t i = 0; i < head.size(); ++i) {
    const char low = bytes[2 + 2 * i];
    narrow += bytes[3 + 2 * i] == '\0' ? low : '?';
  }
  return Lower(narrow) == Lower(head);
}

}  // namespace

std::string SystemProgram(const std::string& name) {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, sizeof system);
  return std::string(system) + "\\" + name;
}

std::string RunProgram(const std::string& program, const std::string& command_line,
                       const std::string& output, unsigned long limit_ms,
                       unsigned long* exit_code) {
  std::string line = command_line;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  HANDLE out = INVALID_HANDLE_VALUE;
  if (!output.empty()) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return "cannot write " + output;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessA(program.c_str(), &line[0], nullptr, nullptr,
                                      out != INVALID_HANDLE_VALUE, 0, nullptr, nullptr,
                                      &startup, &process);
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  const std::string name = program.substr(program.rfind('\\') + 1);
  if (!started) return "cannot start " + program;
  const bool ended = WaitForSingleObject(process.hProcess, limit_ms) != WAIT_TIMEOUT;
  if (!ended) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 10000);
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  if (exit_code != nullptr) *exit_code = code;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!ended) return name + " did not end";
  return "";
}

void Record::Add(const std::string& key, const std::string& value) {
  text_ += key + "=" + value + "\r\n";
}

std::string FreshRecordsFolder(const std::string& name, std::string* folder) {
  *folder = std::string(kRecordsFolder) + "\\" + name;
  DeleteFolder(*folder);
  if (FolderExists(*folder)) return "cannot remove the stale " + *folder;
  CreateDirectoryA(kRecordsFolder, nullptr);
  for (const std::string& path : {*folder, *folder + "\\before", *folder + "\\after"}) {
    if (!CreateDirectoryA(path.c_str(), nullptr)) return "cannot make " + path;
  }
  return "";
}

std::string ExportKeys(const std::string& folder) {
  for (const preview::ExportedKey& e : preview::kExportedKeys) {
    if (!KeyExists({RootKey(e.root), e.path})) continue;
    const std::string key = std::string(RootName(e.root)) + "\\" + e.path;
    const std::string file = folder + "\\" + e.file;
    const std::string error = RunRegedit(file, key);
    if (!error.empty()) return error;
    std::string bytes;
    if (!ReadWholeFile(file, &bytes)) return "cannot export " + key;
    if (!LooksLikeExport(bytes, key)) return file + " is not regedit's export of " + key;
  }
  return "";
}

}  // namespace e2e
