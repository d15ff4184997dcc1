// The commands as the rollout kit's login script gives them: the kit knows
// the machine, the drop share and the release itself, so that the script's
// lines stay short enough for command.com.
#include "kit/commands.h"
#include "kit/marks.h"
#include "kit/this_machine.h"
#include "kit/writer.h"
#include "launcher/dispatch.h"
#include "platform/kit_platform.h"

namespace kit {

namespace {

constexpr unsigned long kTextCapacity = 256;

// A computer name that fails the check, for the log only: what is no
// letter, digit, '-' or '_' written as \xNN.
void PutEscapedName(Writer& out, const char* name) {
  for (const char* p = name; *p != 0; ++p) {
    const char c = *p;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        c == '-' || c == '_') {
      PutChar(out, c);
    } else {
      Put(out, "\\x");
      PutHex(out, static_cast<unsigned char>(c), 2);
    }
  }
}

void PutRelease(Writer& out, const ThisMachine& machine) {
  Put(out, " (release ");
  Put(out, machine.release.id);
  PutChar(out, ')');
}

// What the step's word means on this machine, in words.
void PutText(Writer& out, const char* word, const ThisMachine& machine) {
  const auto is = [&](const char* w) { return platform::CompareNoCase(word, w) == 0; };
  if (is("collected")) {
    Put(out, "before the rollout");
  } else if (is("norights")) {
    Put(out, "no administrator rights: launcher not started");
  } else if (is("started")) {
    Put(out, "launcher.exe ");
    Put(out, machine.release.tail);
    PutRelease(out, machine);
  } else if (is("done")) {
    Put(out, "after the run");
    PutRelease(out, machine);
  } else if (is("recovered")) {
    Put(out, "after an interrupted run, not started again");
    PutRelease(out, machine);
  } else if (is("idle")) {
    Put(out, "nothing to do");
    PutRelease(out, machine);
  } else if (is("skipped")) {
    const unsigned long version = platform::VersionWord();
    if (launcher::ClassifyFamily(version) == launcher::Family::kOther) {
      Put(out, "no setup for Windows ");
      PutDecimal(out, version & 0xFF, 1);
      PutChar(out, '.');
      PutDecimal(out, (version >> 8) & 0xFF, 1);
    } else if (machine.name[0] == 0) {
      Put(out, "computer name unusable: ");
      PutEscapedName(out, machine.raw_name);
    } else {
      Put(out, "release record does not read");
    }
  } else if (is("failed")) {
    Put(out, "collection failed");
  }
}

}  // namespace

int CollectStep(const char* which, Workspace& work) {
  ThisMachine machine;
  LoadThisMachine(nullptr, nullptr, work, &machine);
  char folder[kPathCapacity];
  if (!DropPath(machine, which, "", folder)) {
    return Fail("collect: no drop share in KIT.INI, or no usable computer name");
  }
  return CollectCommand(folder, work);
}

int LogStep(const char* word, Workspace& work) {
  ThisMachine machine;
  LoadThisMachine(nullptr, nullptr, work, &machine);
  char file[kPathCapacity];
  const bool named = machine.name[0] != 0;
  if (machine.drop[0] == 0 ||
      !(named ? DropPath(machine, "log", ".TXT", file)
              : platform::Compose(file, machine.drop, "\\log\\unnamed.txt"))) {
    return Fail("log: no drop share in KIT.INI");
  }
  // The first machine to log makes the share's log folder.
  char folder[kPathCapacity];
  if (platform::Compose(folder, machine.drop, "\\log")) (void)platform::MakeFolder(folder);
  char text[kTextCapacity];
  Writer out = MakeWriter(nullptr, text, sizeof text);
  PutText(out, word, machine);
  if (out.failed) return Fail("log: the line is too long");
  return LogCommand(file, named ? machine.name : "?", word, text, out.used, work);
}

int MarkStep(const char* which, Workspace& work) {
  ThisMachine machine;
  LoadThisMachine(nullptr, nullptr, work, &machine);
  if (machine.record != Record::kValid) return Fail("mark: no release for this machine");
  return MarkCommand(which, machine.release.id);
}

}  // namespace kit
