// KIT state: what this machine is to do at this logon, as `set` lines.
#include "kit/commands.h"
#include "kit/machine_name.h"
#include "kit/marks.h"
#include "kit/release_record.h"
#include "kit/rights.h"
#include "kit/this_machine.h"
#include "kit/writer.h"
#include "launcher/dispatch.h"
#include "platform/kit_platform.h"

namespace kit {

namespace {

using launcher::Family;

const char* FamilyWord(Family family) {
  switch (family) {
    case Family::kWindows9x: return "9x";
    case Family::kWindows2000: return "2000";
    case Family::kWindowsXP: return "xp";
    case Family::kOther: break;
  }
  return "other";
}

struct Step {
  const char* step;
  const char* why;
};

Step Decide(Family family, bool named, Record record, const char* release,
            bool rights) {
  if (family == Family::kOther) return {"skip", "windows"};
  if (!named) return {"skip", "name"};
  if (record == Record::kUnreadable) return {"skip", "record"};
  if (record == Record::kNone) return {"collect", "unreleased"};
  if (HasMark(kDoneValue, release)) return {"done", "done"};
  // Interrupted: collected and marked, never started twice.
  if (HasMark(kStartedValue, release)) return {"after", "interrupted"};
  if (!rights) return {"norights", "rights"};
  return {"run", "released"};
}

void PutSet(Writer& out, const char* variable, const char* value) {
  Put(out, "set ");
  Put(out, variable);
  PutChar(out, '=');
  Put(out, value);
  Put(out, "\r\n");
}

}  // namespace

int StateCommand(const char* kit_dir, const char* name, bool brief, Workspace& work) {
  const unsigned long word = platform::VersionWord();
  const Family family = launcher::ClassifyFamily(word);
  ThisMachine machine;
  LoadThisMachine(kit_dir, name, work, &machine);
  // 9x has no rights to lack.
  const bool rights = family == Family::kWindows9x || CanInstall();
  const Step step = Decide(family, machine.name[0] != 0, machine.record,
                           machine.release.id, rights);

  char buffer[512];
  Writer out = MakeWriter(platform::StandardOutput(), buffer, sizeof buffer);
  PutSet(out, "KNAME", machine.name);
  if (!brief) {
    PutSet(out, "KFAM", FamilyWord(family));
    Put(out, "set KWIN=");
    PutDecimal(out, word & 0xFF, 1);
    PutChar(out, '.');
    PutDecimal(out, (word >> 8) & 0xFF, 1);
    PutChar(out, '.');
    PutDecimal(out, platform::BuildNumber() & 0xFFFF, 1);
    Put(out, "\r\n");
    PutSet(out, "KRIGHTS", rights ? "yes" : "no");
    PutSet(out, "KREL", machine.release.id);
  }
  PutSet(out, "KTAIL", machine.release.tail);
  PutSet(out, "KSTEP", step.step);
  if (!brief) PutSet(out, "KWHY", step.why);
  return Flush(out) ? 0 : Fail("state: cannot write to standard output");
}

}  // namespace kit
