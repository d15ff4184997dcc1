// KIT state: what this machine is to do at this logon, as `set` lines.
#include "kit/commands.h"
#include "kit/machine_name.h"
#include "kit/marks.h"
#include "kit/release_record.h"
#include "kit/rights.h"
#include "kit/writer.h"
#include "launcher/dispatch.h"
#include "platform/kit_platform.h"

namespace kit {

namespace {

using launcher::Family;

enum class Record { kNone, kUnreadable, kValid };

const char* FamilyWord(Family family) {
  switch (family) {
    case Family::kWindows9x: return "9x";
    case Family::kWindows2000: return "2000";
    case Family::kWindowsXP: return "xp";
    case Family::kOther: break;
  }
  return "other";
}

// KITDIR\REL\<NAME>.TXT. A record that is absent (its file or folder) is
// no release; one that exists but does not read whole is a bad record.
Record ReadRecord(const char* kit_dir, const char* name, Workspace& work,
                  Release* release) {
  char path[kPathCapacity];
  const unsigned long length = platform::Length(kit_dir);
  const bool separator = length > 0 && kit_dir[length - 1] == '\\';
  if (!platform::Compose(path, kit_dir, separator ? "REL\\" : "\\REL\\", name) ||
      !platform::Append(path, sizeof path, ".TXT")) {
    return Record::kUnreadable;
  }
  unsigned long size = 0;
  const platform::Status status =
      platform::ReadWholeFile(path, work.record, kRecordCapacity, &size);
  if (status == platform::kErrorFileNotFound ||
      status == platform::kErrorPathNotFound) {
    return Record::kNone;
  }
  if (status != platform::kSuccess) return Record::kUnreadable;
  return ParseRelease(work.record, size, release) ? Record::kValid
                                                  : Record::kUnreadable;
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

int StateCommand(const char* kit_dir, const char* name, Workspace& work) {
  const unsigned long word = platform::VersionWord();
  const Family family = launcher::ClassifyFamily(word);

  char machine[kMaxMachineName + 1];
  platform::ZeroFill(machine, sizeof machine);
  if (name != nullptr) {
    platform::CopyN(machine, name, sizeof machine);
    if (platform::Length(name) >= sizeof machine) machine[0] = 0;
  } else if (platform::ComputerName(machine, sizeof machine) == 0) {
    machine[0] = 0;
  }
  if (!IsValidMachineName(machine)) machine[0] = 0;

  // 9x has no rights to lack.
  const bool rights = family == Family::kWindows9x || CanInstall();

  Release release;
  platform::ZeroFill(&release, sizeof release);
  Record record = Record::kNone;
  if (machine[0] != 0) record = ReadRecord(kit_dir, machine, work, &release);

  const Step step = Decide(family, machine[0] != 0, record, release.id, rights);

  char buffer[512];
  Writer out = MakeWriter(platform::StandardOutput(), buffer, sizeof buffer);
  PutSet(out, "KNAME", machine);
  PutSet(out, "KFAM", FamilyWord(family));
  Put(out, "set KWIN=");
  PutDecimal(out, word & 0xFF, 1);
  PutChar(out, '.');
  PutDecimal(out, (word >> 8) & 0xFF, 1);
  PutChar(out, '.');
  PutDecimal(out, platform::BuildNumber() & 0xFFFF, 1);
  Put(out, "\r\n");
  PutSet(out, "KRIGHTS", rights ? "yes" : "no");
  PutSet(out, "KREL", release.id);
  PutSet(out, "KTAIL", release.tail);
  PutSet(out, "KSTEP", step.step);
  PutSet(out, "KWHY", step.why);
  return Flush(out) ? 0 : Fail("state: cannot write to standard output");
}

}  // namespace kit
