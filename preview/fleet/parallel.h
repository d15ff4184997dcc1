// Jobs spread over the machine's cores.
#pragma once

#include <cstddef>
#include <functional>

namespace preview {

// Runs job(0) .. job(count - 1), each exactly once, on up to `workers`
// threads; one worker is the calling thread itself. Meanwhile the calling
// thread calls progress(done) every quarter of a second or so, and once
// more at the end.
void RunInParallel(size_t count, unsigned workers,
                   const std::function<void(size_t)>& job,
                   const std::function<void(size_t)>& progress);

// The number of cores to use.
unsigned Cores();

}  // namespace preview
