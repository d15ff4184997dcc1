#include "kit/this_machine.h"

#include "launcher/dispatch.h"
#include "platform/kit_platform.h"

namespace kit {

namespace {

constexpr const char* kConfigFile = "KIT.INI";

bool Join(char (&path)[kPathCapacity], const char* folder, const char* a,
          const char* b = "", const char* c = "") {
  const unsigned long length = platform::Length(folder);
  const bool separator = length > 0 && folder[length - 1] == '\\';
  return platform::Compose(path, folder, separator ? "" : "\\", a) &&
         platform::Append(path, sizeof path, b) && platform::Append(path, sizeof path, c);
}

// KITDIR\REL\<NAME>.TXT. A record that is absent (its file or folder) is
// no release; one that exists but does not read whole is a bad record.
Record ReadRecord(const char* kit_dir, const char* name, Workspace& work, Release* release) {
  char path[kPathCapacity];
  if (!Join(path, kit_dir, "REL\\", name, ".TXT")) return Record::kUnreadable;
  unsigned long size = 0;
  const platform::Status status = platform::ReadWholeFile(path, work.record, kRecordCapacity, &size);
  if (status == platform::kErrorFileNotFound || status == platform::kErrorPathNotFound) {
    return Record::kNone;
  }
  if (status != platform::kSuccess) return Record::kUnreadable;
  return ParseRelease(work.record, size, release) ? Record::kValid : Record::kUnreadable;
}

// The drop share from KIT.INI's "drop=" line; "" where none is usable.
void ReadDrop(const char* kit_dir, Workspace& work, char (&drop)[kPathCapacity]) {
  drop[0] = 0;
  char path[kPathCapacity];
  unsigned long size = 0;
  if (!Join(path, kit_dir, kConfigFile) ||
      platform::ReadWholeFile(path, work.record, kRecordCapacity, &size) != platform::kSuccess) {
    return;
  }
  const char* text = work.record;
  for (unsigned long line = 0; line < size;) {
    unsigned long end = line;
    while (end < size && text[end] != '\r' && text[end] != '\n') ++end;
    static const char kKey[] = "drop=";
    const unsigned long key = sizeof kKey - 1;
    bool match = end - line > key;
    for (unsigned long i = 0; match && i < key; ++i) match = text[line + i] == kKey[i];
    if (match && end - line - key < kPathCapacity) {
      char value[kPathCapacity];
      unsigned long n = 0;
      for (unsigned long i = line + key; i < end; ++i) value[n++] = text[i];
      value[n] = 0;
      if (IsKitPath(value)) platform::CopyN(drop, value, sizeof drop);
    }
    line = end + 1;
  }
}

}  // namespace

bool IsKitPath(const char* path) {
  const unsigned long length = platform::Length(path);
  if (length < 3 || length > 100) return false;
  for (unsigned long i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (c <= 0x20 || c >= 0x7F) return false;
    for (const char* bad = "%\"<>|&^*?"; *bad != 0; ++bad) {
      if (c == static_cast<unsigned char>(*bad)) return false;
    }
  }
  const bool unc = path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
  const bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                     path[1] == ':' && path[2] == '\\';
  return unc || drive;
}

void LoadThisMachine(const char* kit_dir, const char* name, Workspace& work,
                     ThisMachine* machine) {
  platform::ZeroFill(machine, sizeof *machine);
  if (kit_dir != nullptr) {
    platform::CopyN(machine->kit_dir, kit_dir, sizeof machine->kit_dir);
  } else if (platform::ProgramFolder(machine->kit_dir, sizeof machine->kit_dir) == 0) {
    machine->kit_dir[0] = 0;
  }
  char* raw = machine->raw_name;
  const unsigned long capacity = sizeof machine->raw_name;
  if (name != nullptr) {
    platform::CopyN(raw, name, capacity);
  } else {
    const bool nt = launcher::ClassifyFamily(platform::VersionWord()) !=
                    launcher::Family::kWindows9x;
    if (!nt || platform::EnvironmentValue("COMPUTERNAME", raw, capacity) == 0) {
      if (platform::ComputerName(raw, capacity) == 0) raw[0] = 0;
    }
  }
  const bool fits = name == nullptr || platform::Length(name) < capacity;
  if (fits && IsValidMachineName(raw)) platform::CopyN(machine->name, raw, sizeof machine->name);
  machine->record = Record::kNone;
  if (machine->name[0] != 0 && machine->kit_dir[0] != 0) {
    machine->record = ReadRecord(machine->kit_dir, machine->name, work, &machine->release);
  }
  ReadDrop(machine->kit_dir, work, machine->drop);
}

bool DropPath(const ThisMachine& machine, const char* part, const char* suffix,
              char (&path)[kPathCapacity]) {
  if (machine.drop[0] == 0 || machine.name[0] == 0) return false;
  return Join(path, machine.drop, part, "\\", machine.name) &&
         platform::Append(path, sizeof path, suffix);
}

}  // namespace kit
