// The run's worker threads: a small pool made once per run, the thread
// count it is made with (switch, environment, processor affinity), and the
// ways a phase splits its index range into parts for the pool.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The threads of a run. The calling thread is worker 0 and takes tasks
// itself, so a pool of one starts no thread and runs every task inline.
class Workers {
 public:
  explicit Workers(uint32_t count);
  ~Workers();
  Workers(const Workers &) = delete;
  Workers &operator=(const Workers &) = delete;

  uint32_t count() const { return count_; }

  // Calls task(t, worker) once for every t in [0, tasks), handing tasks out
  // in ascending order to at most `limit` workers (0: all), and returns when
  // all have returned. When tasks throw, the exception of the lowest t is
  // rethrown here. Not reentrant: a task must not call run().
  void run(uint32_t tasks, const std::function<void(uint32_t task, uint32_t worker)> &task,
           uint32_t limit = 0);

 private:
  void serve(uint32_t worker);
  void take_tasks(uint32_t worker);

  uint32_t count_;
  std::vector<std::thread> threads_;
  std::mutex mu_;
  std::condition_variable wake_, done_;
  const std::function<void(uint32_t, uint32_t)> *job_ = nullptr;
  uint32_t tasks_ = 0, next_ = 0, limit_ = 0, running_ = 0;
  uint64_t generation_ = 0;
  bool stop_ = false;
  uint32_t failed_task_ = 0;
  std::exception_ptr failure_;
};

// A pool of one, for callers without a run (tests, benchmarks).
Workers &serial_workers();

// The thread count of a run: the switch when given (1..1024); else
// VANTOR_THREADS, which must then be a count from 1 to 1024 (anything else
// ends the run with an error rather than silently running some other
// count); else the processors this process may run on, at most 1024.
uint32_t settle_thread_count(uint32_t from_switch);

// Bounds b[0] = 0 < ... < b[parts'] = count of at most `parts` ranges of
// nearly equal length (fewer when count is smaller; none when it is 0).
std::vector<uint32_t> even_bounds(uint32_t count, uint32_t parts);

// Bounds of groups of at most `most` items (most >= 1) for tasks handed
// out in order: the fewest groups whose number is a multiple of `workers`
// (or one item each when there are too few items), sizes within one of
// each other and the larger first, so that equal items leave no worker
// with a whole group more than another.
std::vector<uint32_t> group_bounds(uint32_t count, uint32_t most, uint32_t workers);

// Row bounds of at most `parts` ranges of an m x m upper triangle holding
// about the same number of pairs (row i holds m - i), plus `per_row` units
// of work for each row.
std::vector<uint32_t> triangle_bounds(uint32_t m, uint32_t parts, uint32_t per_row);
