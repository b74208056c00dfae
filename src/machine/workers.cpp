// The run's worker pool and its thread count. Tasks are handed out in
// ascending order from one counter; which thread runs a task never changes
// a result, because every task writes only its own part of the output.
#include "machine/workers.h"

#include <sched.h>

#include <cerrno>
#include <cstdlib>

#include "base/messages.h"

namespace {

constexpr long kMaxThreads = 1024;

uint32_t affinity_count() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  const int count = CPU_COUNT(&set);
  if (count < 1) return 1;
  return count > kMaxThreads ? static_cast<uint32_t>(kMaxThreads) : static_cast<uint32_t>(count);
}

}  // namespace

Workers::Workers(uint32_t count) : count_(count < 1 ? 1 : count) {
  threads_.reserve(count_ - 1);
  for (uint32_t w = 1; w < count_; ++w) threads_.emplace_back([this, w] { serve(w); });
}

Workers::~Workers() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread &t : threads_) t.join();
}

void Workers::take_tasks(uint32_t worker) {
  std::unique_lock<std::mutex> lock(mu_);
  while (next_ < tasks_) {
    const uint32_t t = next_++;
    lock.unlock();
    std::exception_ptr error;
    try {
      (*job_)(t, worker);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (error && (!failure_ || t < failed_task_)) {
      failure_ = error;
      failed_task_ = t;
    }
  }
}

void Workers::serve(uint32_t worker) {
  uint64_t seen = 0;
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
    if (stop_) return;
    seen = generation_;
    if (worker >= limit_) continue;
    ++running_;
    lock.unlock();
    take_tasks(worker);
    lock.lock();
    if (--running_ == 0) done_.notify_all();
  }
}

void Workers::run(uint32_t tasks, const std::function<void(uint32_t, uint32_t)> &task,
                  uint32_t limit) {
  if (tasks == 0) return;
  if (limit == 0 || limit > count_) limit = count_;
  if (limit > tasks) limit = tasks;
  if (limit == 1) {
    for (uint32_t t = 0; t < tasks; ++t) task(t, 0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mu_);
    job_ = &task;
    tasks_ = tasks;
    next_ = 0;
    limit_ = limit;
    failure_ = nullptr;
    ++generation_;
  }
  wake_.notify_all();
  take_tasks(0);
  std::unique_lock<std::mutex> lock(mu_);
  // A helper that woke late finds no task left and leaves at once; the
  // caller waits only for those still inside a task.
  done_.wait(lock, [&] { return running_ == 0 && next_ >= tasks_; });
  tasks_ = 0;
  job_ = nullptr;
  if (failure_) {
    std::exception_ptr error = failure_;
    failure_ = nullptr;
    lock.unlock();
    std::rethrow_exception(error);
  }
}

Workers &serial_workers() {
  static Workers one(1);
  return one;
}

uint32_t settle_thread_count(uint32_t from_switch) {
  if (from_switch != 0) return from_switch;
  const char *text = std::getenv("VANTOR_THREADS");
  if (text == nullptr) return affinity_count();
  char *end = nullptr;
  errno = 0;
  const long n = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || n < 1 || n > kMaxThreads)
    fatal("VANTOR_THREADS=%s: not a count from 1 to 1024\n", text);
  return static_cast<uint32_t>(n);
}

std::vector<uint32_t> even_bounds(uint32_t count, uint32_t parts) {
  if (parts > count) parts = count;
  std::vector<uint32_t> b(1, 0);
  for (uint32_t p = 1; p <= parts; ++p)
    b.push_back(static_cast<uint32_t>(uint64_t{count} * p / parts));
  return b;
}

std::vector<uint32_t> group_bounds(uint32_t count, uint32_t most, uint32_t workers) {
  if (workers == 0) workers = 1;
  uint64_t groups = (uint64_t{count} + most - 1) / most;
  groups = (groups + workers - 1) / workers * workers;
  if (groups > count) groups = count;
  std::vector<uint32_t> b(1, 0);
  if (groups == 0) return b;
  const uint64_t size = count / groups, larger = count % groups;
  for (uint64_t g = 0; g < groups; ++g)
    b.push_back(b.back() + static_cast<uint32_t>(size + (g < larger)));
  return b;
}

std::vector<uint32_t> triangle_bounds(uint32_t m, uint32_t parts, uint32_t per_row) {
  if (parts > m) parts = m;
  uint64_t total = 0;
  for (uint32_t i = 0; i < m; ++i) total += m - i + per_row;
  std::vector<uint32_t> b(1, 0);
  uint64_t acc = 0;
  for (uint32_t i = 0; i < m && b.size() < parts; ++i) {
    acc += m - i + per_row;
    if (acc * parts >= total * b.size()) b.push_back(i + 1);
  }
  if (b.back() != m) b.push_back(m);
  return b;
}
