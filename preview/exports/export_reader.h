// Reading a machine's .reg files for a plan: as a stream, keeping what the
// launcher and the comparison of plans can see, and counting the key lines
// the warnings need as they go by.
#pragma once

#include <iterator>
#include <string>

#include "preview/exports/exports.h"
#include "preview/exports/reg_file.h"

namespace preview {

// A file's key lines ([key] and [-key] of the two roots), counted as it is
// read (its items may leave out keys the launcher never reads): all of them,
// and those at or below each exported key, letter case of A-Z aside.
struct KeyLineCounts {
  int all = 0;
  int within[std::size(kExportedKeys)] = {};
};

// A .reg file read for a plan.
struct Source {
  std::string name;  // as given on the command line
  regfile::File file;
  KeyLineCounts key_lines = {};  // filled by ReadSource
};

enum class Keep {
  // Every item at or below the exported keys (exports.h), and the key lines
  // of their parents; the rest is read for its form only. A key line of
  // another key that shares parents with them stands for those parents
  // (their letter case, first spelling wins), as one of the parents' lines.
  kLauncherKeys,
  kEveryKey,  // every item: plan --after shows every key of the files
};

// Reads input as the file source->name: its items into source->file, its
// key lines counted in source->key_lines. False with the error.
[[nodiscard]] bool ReadSource(regfile::Input& input, Keep keep,
                              const regfile::LeadBytes& lead_bytes, Source* source,
                              regfile::Error* error);

}  // namespace preview
