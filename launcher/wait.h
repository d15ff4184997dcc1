// Keeps the launcher alive until the setup removes the marker key.
#pragma once

namespace launcher {

constexpr unsigned long kPollIntervalMs = 2000;

// Polls the marker key every 2000 ms until it no longer opens; runs the
// write-block-size fix on each poll for the "/wbs" options.
void WaitForCompletion(int option);

}  // namespace launcher
