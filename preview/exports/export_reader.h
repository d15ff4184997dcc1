// Reading a machine's .reg files for a plan: as a stream, keeping what the
// launcher and the comparison of plans can see, and counting the key lines
// the warnings need as they go by.
#pragma once

#include "preview/exports/reg_file.h"
#include "preview/machine/registry_image.h"

namespace preview {

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
