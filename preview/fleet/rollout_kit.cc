#include "preview/fleet/rollout_kit.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "preview/exports/paths.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

// The part for Windows 95, 98 and Me: command.com's batch language only
// (no if /i, %~dp0, setlocal, &&, parentheses or for /f); %0\..\ is the
// kit's folder. As 9x keeps little room for variables, KIT.EXE prints only
// three. PKG and DROP stand for the places.
constexpr const char* kLogonBat = R"(@echo off
rem Rollout kit of the silent launcher. At each logon: a machine not yet
rem released is collected into DROP\before; a released one runs the
rem launcher once with its released tail and is collected into DROP\after;
rem then nothing more. Each logon logs what it did in DROP\log\NAME.TXT.
rem Written by launcher-preview rollout-kit: write the kit again rather
rem than edit it. Start it by its path, with no argument.
if "%OS%"=="Windows_NT" goto winnt
%0\..\KIT.EXE step > %windir%\KITSTEP.BAT
if errorlevel 1 goto nostate
call %windir%\KITSTEP.BAT
del %windir%\KITSTEP.BAT
goto s%KSTEP%
:scollect
%0\..\KIT.EXE collect before
if errorlevel 1 goto failed
ver > DROP\before\%KNAME%\ver.txt
%0\..\KIT.EXE log collected
goto end
:snorights
%0\..\KIT.EXE collect before
if errorlevel 1 goto failed
ver > DROP\before\%KNAME%\ver.txt
%0\..\KIT.EXE log norights
goto end
:srun
%0\..\KIT.EXE mark started
if errorlevel 1 goto failed
%0\..\KIT.EXE log started
start /w PKG\launcher.exe %KTAIL%
%0\..\KIT.EXE collect after
if errorlevel 1 goto failed
ver > DROP\after\%KNAME%\ver.txt
%0\..\KIT.EXE mark done
%0\..\KIT.EXE log done
goto end
:safter
%0\..\KIT.EXE collect after
if errorlevel 1 goto failed
ver > DROP\after\%KNAME%\ver.txt
%0\..\KIT.EXE mark done
%0\..\KIT.EXE log recovered
goto end
:sdone
%0\..\KIT.EXE log idle
goto end
:sskip
%0\..\KIT.EXE log skipped
goto end
:failed
%0\..\KIT.EXE log failed
goto end
:nostate
echo Rollout kit: KIT.EXE could not tell what to do on this machine.
goto end
:winnt
call %0\..\NT.CMD
goto done
:end
set KNAME=
set KTAIL=
set KSTEP=
:done
)";

// The part for Windows NT (2000, XP, and those the launcher has no setup
// for, which KIT.EXE skips). start /w waits as cmd would for a program of
// the batch file, and starts one a UNC path names. Errors are read from
// errorlevel on a line of their own: Wine's cmd takes a redirected
// command's || for a failure.
constexpr const char* kNtCmd = R"(@echo off
rem Rollout kit of the silent launcher, the part for Windows NT's cmd,
rem called by LOGON.BAT. Written by launcher-preview rollout-kit.
setlocal
set "KIT=%~dp0KIT.EXE"
if not defined TEMP set "TEMP=%SystemRoot%\TEMP"
"%KIT%" step > "%TEMP%\kitstep.cmd"
if errorlevel 1 goto nostate
call "%TEMP%\kitstep.cmd"
del "%TEMP%\kitstep.cmd"
goto s%KSTEP%
:scollect
:snorights
"%KIT%" collect before
if errorlevel 1 goto failed
ver > "DROP\before\%KNAME%\ver.txt"
"%KIT%" log %KSTEP:collect=collected%
goto end
:srun
"%KIT%" mark started
if errorlevel 1 goto failed
"%KIT%" log started
start "" /w PKG\launcher.exe %KTAIL%
"%KIT%" collect after
if errorlevel 1 goto failed
ver > "DROP\after\%KNAME%\ver.txt"
"%KIT%" mark done
"%KIT%" log done
goto end
:safter
"%KIT%" collect after
if errorlevel 1 goto failed
ver > "DROP\after\%KNAME%\ver.txt"
"%KIT%" mark done
"%KIT%" log recovered
goto end
:sdone
"%KIT%" log idle
goto end
:sskip
"%KIT%" log skipped
goto end
:failed
"%KIT%" log failed
goto end
:nostate
echo Rollout kit: KIT.EXE could not tell what to do on this machine.
:end
endlocal
)";

constexpr const char* kReadme = R"(Rollout kit of the silent launcher
==================================

Written by launcher-preview rollout-kit. Copy this folder beside the login
scripts (NETLOGON: users may read it, not write it) and call LOGON.BAT from
the login script by its path, with no argument:

    call \\SERVER\NETLOGON\kit\LOGON.BAT

(on Windows 95, 98 and Me by the drive letter NETLOGON is mapped to).

The package lies in   PKG
The drop share is     DROP   (users must be able to write it)

At each logon a machine does the next thing for it, and writes a line of
what it did into DROP\log\<name>.TXT (the logon that runs the launcher
two: one as it starts it, one when it is done):
1. not released: it is collected into DROP\before\<name>;
2. released (REL\<name>.TXT here, written by launcher-preview fleet
   --release): it starts PKG\launcher.exe with its released tail, waits for
   it to end, and is collected into DROP\after\<name>;
3. afterwards: nothing, until a new release for it. A run that was
   interrupted is not started again: the next logon collects it.

Files: LOGON.BAT (Windows 95, 98, Me), NT.CMD (Windows NT: 2000, XP; other
versions are skipped), KIT.EXE (names the machine, exports its registry keys,
reads its release, checks its rights), KIT.INI (the places), REL\ (releases).
)";

std::string WithPlaces(std::string text, const KitPlaces& places) {
  const auto replace = [&](const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
  };
  // Whole words only: PKG and DROP are upper case in the texts, nowhere else.
  replace("PKG\\", places.package + "\\");
  replace("PKG\n", places.package + "\n");
  replace("DROP\\", places.drop + "\\");
  replace("DROP ", places.drop + " ");
  return text;
}

std::string CrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

std::string KitPlacesProblem(const KitPlaces& places) {
  for (const auto& [what, path] : {std::pair<const char*, const std::string&>{"--package", places.package},
                                   {"--drop", places.drop}}) {
    const bool unc = path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
    const bool drive = path.size() > 2 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && path[2] == '\\';
    if (!unc && !drive) {
      return std::string(what) + ": \"" + path + "\" is no UNC path (\\\\SERVER\\SHARE) or drive path (X:\\...)";
    }
    if (path.size() > kMaxKitPath) {
      return std::string(what) + ": longer than " + std::to_string(kMaxKitPath) +
             " characters, more than command.com's lines of 127 hold with the rest";
    }
    for (char c : path) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (u <= 0x20 || u >= 0x7F || std::string("%\"<>|&^*?").find(c) != std::string::npos) {
        return std::string(what) + ": \"" + path +
               "\" holds a blank or a character batch files take for something else "
               "(use the share's short names)";
      }
    }
    if (path.back() == '\\') return std::string(what) + ": no backslash at the end, please";
  }
  return "";
}

std::vector<KitFile> KitScripts(const KitPlaces& places) {
  return {
      {"LOGON.BAT", CrLf(WithPlaces(kLogonBat, places))},
      {"NT.CMD", CrLf(WithPlaces(kNtCmd, places))},
      {"KIT.INI", CrLf("package=" + places.package + "\ndrop=" + places.drop + "\n")},
      {"README.TXT", CrLf(WithPlaces(kReadme, places))},
  };
}

void WriteKit(const std::string& folder, const KitPlaces& places, const std::string& helper) {
  const std::string problem = KitPlacesProblem(places);
  if (!problem.empty()) throw std::runtime_error(problem);
  std::error_code error;
  if (!fs::is_regular_file(PathOf(helper), error)) {
    throw std::runtime_error(helper + ": no KIT.EXE there (give --helper)");
  }
  fs::create_directories(PathOf(folder) / "REL", error);
  if (error) throw std::runtime_error(folder + ": cannot make the folder: " + error.message());
  for (const KitFile& file : KitScripts(places)) {
    const fs::path path = PathOf(folder) / file.name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
    out.close();
    if (!out) throw std::runtime_error(Utf8Of(path) + ": cannot write");
  }
  fs::copy_file(PathOf(helper), PathOf(folder) / "KIT.EXE", fs::copy_options::overwrite_existing,
                error);
  if (error) throw std::runtime_error(folder + "\\KIT.EXE: cannot copy: " + error.message());
}

bool ReadKitPlaces(const std::string& folder, KitPlaces* places) {
  std::ifstream in(PathOf(folder) / "KIT.INI", std::ios::binary);
  if (!in) return false;
  std::string line;
  *places = KitPlaces{};
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("package=", 0) == 0) places->package = line.substr(8);
    if (line.rfind("drop=", 0) == 0) places->drop = line.substr(5);
  }
  return !places->drop.empty() && !places->package.empty();
}

}  // namespace preview
