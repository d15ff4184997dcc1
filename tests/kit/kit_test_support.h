// What the kit's tests share: a run of KIT.EXE's logic with a tail, over
// the in-memory machine, and what it wrote to its standard handles.
#pragma once

#include <memory>
#include <string>

#include "kit/kit.h"
#include "platform/memory_kit.h"

namespace kit_test {

struct Result {
  int code;
  std::string out;  // standard output written by this run
  std::string err;  // standard error written by this run
};

inline Result Kit(const std::string& tail) {
  static const std::unique_ptr<kit::Workspace> work(new kit::Workspace());
  const size_t out = memory::StandardOutputText().size();
  const size_t err = memory::StandardErrorText().size();
  const int code = kit::KitMain(tail.c_str(), *work);
  return {code, memory::StandardOutputText().substr(out),
          memory::StandardErrorText().substr(err)};
}

// One line of standard error, as every failure gives.
inline bool IsOneLine(const std::string& text) {
  return text.size() > 2 && text.compare(text.size() - 2, 2, "\r\n") == 0 &&
         text.find('\n') == text.size() - 1;
}

}  // namespace kit_test
