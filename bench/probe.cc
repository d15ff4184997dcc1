// Benchmark helper run under Wine by bench/run.sh. It prepares the machine
// the way the end-to-end runner does (Windows XP for both programs, the
// fake setup's script, adapter entries), then either starts the launcher or
// does the launcher's job by hand (copy the package files, start the setup),
// and prints the milliseconds from its start tick to the fake setup's
// recorded start tick.
//
//   probe.exe launch <package> <hold ms> <adapter keys> <launcher options>
//   probe.exe copy   <package>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/e2e/e2e_paths.h"

namespace {

const char* const kFiles[][2] = {
    {"layout.bin", "layout.bin"},   {"data1.cab", "data1.cab"},
    {"data2.cab", "data2.cab"},     {"ikernel.ex_", "ikernel.ex_"},
    {"data1.hdr", "data1.hdr"},     {"setup.ini", "setup.ini"},
    {"setup.inx", "setup.inx"},     {"CorvaneAdminConfig.dat", "CorvaneAdminConfig.dat"},
    {"setup.exe", "data3.cab\\setup.iss"},
};
const char* const kIds[] = {
    "PCI\\VEN_FC7A&DEV_1001&SUBSYS_0001FC7A", "PCI\\VEN_FC7A&DEV_1001&SUBSYS_0002FC7A",
    "PCI\\VEN_FC7A&DEV_1001&SUBSYS_0003FC7A", "PCI\\VEN_FC7A&DEV_1002&SUBSYS_0011FC7A",
    "PCI\\VEN_FC7A&DEV_1002&SUBSYS_0012FC7A", "PCI\\VEN_FC7A&DEV_1003&SUBSYS_0021FC7A",
};

std::string SystemFolder() {
  char buffer[MAX_PATH] = {};
  GetSystemDirectoryA(buffer, sizeof buffer);
  return buffer;
}

bool SetString(HKEY root, const std::string& path, const char* name, const std::string& value) {
  HKEY key;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const bool ok = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

bool Arrange(unsigned long hold_ms, int adapters) {
  for (const char* exe : {"launcher.exe", "setup.exe"}) {
    if (!SetString(HKEY_CURRENT_USER, std::string("Software\\Wine\\AppDefaults\\") + exe, "Version",
                   "winxp")) {
      return false;
    }
  }
  const std::string script = hold_ms ? "sleep:" + std::to_string(hold_ms) + ";" : "";
  if (!SetString(HKEY_LOCAL_MACHINE, e2e::kControlKey, "Script", script)) return false;
  for (int i = 0; i < adapters; ++i) {
    const std::string path = std::string(e2e::kAdapterClassKey) + "\\" + std::to_string(9100 + i);
    if (!SetString(HKEY_LOCAL_MACHINE, path, "ComponentId", kIds[i % 6])) return false;
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, e2e::kMarkerKey);
  DeleteFileA(e2e::kSetupLog);
  return true;
}

void ClearFolder(const std::string& folder) {
  for (const auto& file : kFiles) {
    const std::string path = folder + "\\" + file[0];
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
}

// The tick the fake setup recorded at its start, 0 when it did not start.
unsigned long SetupStartTick() {
  FILE* f = std::fopen(e2e::kSetupLog, "rb");
  if (f == nullptr) return 0;
  char line[1024];
  unsigned long tick = 0, pid = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::sscanf(line, "start\t%lu\t%lu", &pid, &tick) == 2) break;
    tick = 0;
  }
  std::fclose(f);
  return tick;
}

bool RunAndWait(const std::string& command, const std::string& cwd) {
  std::string writable = command;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(),
                      &startup, &process)) {
    return false;
  }
  WaitForSingleObject(process.hProcess, 600000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// Waits for the fake setup to finish its log, then prints the delay.
int Report(unsigned long start) {
  for (int i = 0; i < 100 && SetupStartTick() == 0; ++i) Sleep(100);
  const unsigned long setup = SetupStartTick();
  if (setup == 0) {
    std::printf("error: the setup did not start\n");
    return 1;
  }
  std::printf("start_to_setup_ms %lu\n", setup - start);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const std::string mode = argc > 2 ? argv[1] : "";
  const std::string package = argc > 2 ? argv[2] : "";
  if (mode == "launch" && argc == 6) {
    if (!Arrange(std::strtoul(argv[3], nullptr, 10), std::atoi(argv[4]))) return 1;
    ClearFolder(SystemFolder() + "\\SilentSetup");
    const unsigned long start = GetTickCount();
    if (!RunAndWait("\"" + package + "\\launcher.exe\" " + argv[5], package)) return 1;
    return Report(start);
  }
  if (mode == "copy" && argc == 3) {
    if (!Arrange(0, 0)) return 1;
    const std::string folder = SystemFolder() + "\\BenchCopy";
    CreateDirectoryA(folder.c_str(), nullptr);
    ClearFolder(folder);
    const unsigned long start = GetTickCount();
    for (const auto& file : kFiles) {
      const std::string from = package + "\\" + file[1];
      const std::string to = folder + "\\" + file[0];
      if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) return 1;
    }
    if (!RunAndWait("\"" + folder + "\\setup.exe\"", folder)) return 1;
    return Report(start);
  }
  std::fprintf(stderr, "usage: probe.exe launch <package> <hold ms> <adapters> <options>\n"
                       "       probe.exe copy <package>\n");
  return 2;
}
