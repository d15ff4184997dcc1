// The sample package's setup program, staged by the launcher as setup.exe.
// It installs nothing: it records how it was started, plays the part the
// test asks of it (adapter entries appearing, a slow install) and removes
// the marker key, as the real setup does when it ends.
//
// Log record (one line per event, tab-separated, appended to the log file):
//   start <pid> <tick> <marker present 0/1> <GetVersion, hex> <command line>
//         <first line of the setup.iss beside it, or <none>>
//   end   <pid> <tick when the marker key was removed>
//
// Script (HKLM\Software\E2E Control, value "Script"), steps separated by ';':
//   adapter:<subkey>:<ComponentId>   create an adapter instance key
//   sleep:<ms>
// Without a script the marker key is removed at once.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/e2e/e2e_paths.h"

namespace {

std::string ReadFirstLine(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "<none>";
  std::string text;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);
  const size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  return text;
}

void AppendLog(const std::string& line) {
  // Opened and closed per line, so a record is on disk before the marker
  // key goes and the test looks.
  HANDLE log = CreateFileA(e2e::kSetupLog, FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  const std::string record = line + "\r\n";
  DWORD written = 0;
  WriteFile(log, record.data(), static_cast<DWORD>(record.size()), &written,
            nullptr);
  CloseHandle(log);
}

bool MarkerPresent() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, e2e::kMarkerKey, 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

std::string ReadScript() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, e2e::kControlKey, 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return "";
  }
  char data[4096] = {};
  DWORD size = sizeof data - 1;
  DWORD type = 0;
  std::string script;
  if (RegQueryValueExA(key, "Script", nullptr, &type,
                       reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
    script = data;
  }
  RegCloseKey(key);
  return script;
}

void CreateAdapter(const std::string& subkey, const std::string& component_id) {
  const std::string path = std::string(e2e::kAdapterClassKey) + "\\" + subkey;
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, "ComponentId", 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(component_id.c_str()),
                 static_cast<DWORD>(component_id.size() + 1));
  RegCloseKey(key);
}

void RunStep(const std::string& step) {
  const size_t colon = step.find(':');
  const std::string verb = step.substr(0, colon);
  const std::string rest = colon == std::string::npos ? "" : step.substr(colon + 1);
  if (verb == "sleep") {
    Sleep(static_cast<DWORD>(std::strtoul(rest.c_str(), nullptr, 10)));
  } else if (verb == "adapter") {
    const size_t second = rest.find(':');
    CreateAdapter(rest.substr(0, second),
                  second == std::string::npos ? "" : rest.substr(second + 1));
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // A GUI program owns a message queue from its first moment, as an
  // installer does; nothing waits on it, but a launcher might.
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);

  char own_path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, own_path, sizeof own_path);
  std::string folder = own_path;
  folder.resize(folder.rfind('\\') == std::string::npos ? 0 : folder.rfind('\\'));

  char head[96];
  std::snprintf(head, sizeof head, "start\t%lu\t%lu\t%d\t%08lx\t",
                GetCurrentProcessId(), GetTickCount(), MarkerPresent() ? 1 : 0,
                GetVersion());
  AppendLog(head + std::string(GetCommandLineA()) + "\t" +
            ReadFirstLine(folder + "\\setup.iss"));

  const std::string script = ReadScript();
  size_t from = 0;
  while (from < script.size()) {
    size_t end = script.find(';', from);
    if (end == std::string::npos) end = script.size();
    RunStep(script.substr(from, end - from));
    from = end + 1;
  }

  RegDeleteKeyA(HKEY_LOCAL_MACHINE, e2e::kMarkerKey);
  char tail[64];
  std::snprintf(tail, sizeof tail, "end\t%lu\t%lu", GetCurrentProcessId(),
                GetTickCount());
  AppendLog(tail);
  return 0;
}
