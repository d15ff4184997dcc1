// The launcher's working buffers, alive for the whole run.
#pragma once

namespace launcher {

constexpr unsigned long kPathSize = 500;  // 499 characters and a terminator

struct State {
  char source_folder[kPathSize];  // no trailing backslash
  char separator[5];              // "\" or ""
  char staging_folder[kPathSize];
  char source_path[kPathSize];    // scratch
  char target_path[kPathSize];    // scratch, finally the setup's command
  // The folder before the last backslash did not fit source_folder: no
  // package file is copied rather than one from the current directory.
  bool source_unfit;
};

}  // namespace launcher
