#include "preview/fleet/parallel.h"

#include <atomic>
#include <vector>

#include <chrono>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <thread>
#endif

namespace preview {

namespace {

struct Work {
  size_t count;
  const std::function<void(size_t)>* job;
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::atomic<unsigned> running{0};
};

void Worker(Work* work) {
  for (;;) {
    const size_t i = work->next.fetch_add(1);
    if (i >= work->count) break;
    (*work->job)(i);
    work->done.fetch_add(1);
  }
  work->running.fetch_sub(1);
}

#ifdef _WIN32
DWORD WINAPI ThreadStart(LPVOID work) {
  Worker(static_cast<Work*>(work));
  return 0;
}
#endif

void Pause() {
#ifdef _WIN32
  Sleep(10);
#else
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
#endif
}

}  // namespace

unsigned Cores() {
#ifdef _WIN32
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
#else
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? n : 1;
#endif
}

void RunInParallel(size_t count, unsigned workers,
                   const std::function<void(size_t)>& job,
                   const std::function<void(size_t)>& progress) {
  Work work;
  work.count = count;
  work.job = &job;
  if (workers == 0) workers = 1;
  if (workers > count) workers = count > 0 ? static_cast<unsigned>(count) : 1;
  if (workers == 1) {
    // No thread at all: where threads cannot be had, one worker is the
    // calling thread itself.
    auto last = std::chrono::steady_clock::now();
    for (size_t i = 0; i < count; ++i) {
      job(i);
      if (std::chrono::steady_clock::now() - last >= std::chrono::milliseconds(250)) {
        last = std::chrono::steady_clock::now();
        progress(i + 1);
      }
    }
    progress(count);
    return;
  }
  work.running = workers;
#ifdef _WIN32
  std::vector<HANDLE> threads;
  for (unsigned i = 0; i < workers; ++i) {
    HANDLE thread = CreateThread(nullptr, 0, ThreadStart, &work, 0, nullptr);
    if (thread == nullptr) {
      work.running.fetch_sub(1);  // the others take its share
    } else {
      threads.push_back(thread);
    }
  }
  if (threads.empty()) {
    work.running = 1;
    Worker(&work);
  }
#else
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < workers; ++i) threads.emplace_back(Worker, &work);
#endif
  for (int tick = 0; work.running.load() > 0; ++tick) {
    if (tick % 25 == 24) progress(work.done.load());
    Pause();
  }
#ifdef _WIN32
  for (HANDLE thread : threads) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
#else
  for (std::thread& thread : threads) thread.join();
#endif
  progress(work.done.load());
}

}  // namespace preview
