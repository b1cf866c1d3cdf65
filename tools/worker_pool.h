// Runs batches of work in worker processes forked from this one, each with
// its own copy of the loaded plug-in (forked after CS_Prepare, so the tables
// are shared copy-on-write and prepared once). The plug-in itself stays
// single-threaded: each worker calls it from its one thread.
//
// Batches go to the least busy worker over a socket; results come back in
// any order and are delivered in the order the batches were submitted, so
// the output does not depend on the number of workers. A worker that dies
// has each batch it held delivered as failed, with the reason, and is
// replaced.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel::cli {

class WorkerPool {
 public:
  // Turns one encoded batch into its encoded result, appended to `result`
  // (runs in the workers).
  using Work = std::function<void(std::string_view batch, std::string* result)>;
  // Receives batch `index`'s result, or when `ok` is false the reason its
  // worker died (runs in this process, in submission order).
  using Deliver = std::function<void(uint64_t index, bool ok, std::string&& result)>;

  // Batches a worker may hold at once: one being worked on and several
  // waiting, so that it does not idle while this process is not running
  // (with more processes than cores, it waits its turn for a core).
  static constexpr size_t kHeldPerWorker = 8;

  WorkerPool(int workers, Work work, Deliver deliver);
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  // Stops the workers.
  ~WorkerPool();

  // Starts the workers. False with `*error` set when none could start.
  bool Start(std::string* error);
  // Queues a batch; waits (delivering results) while every worker is busy.
  void Submit(std::string batch);
  // Waits for every result.
  void Finish();

  // Workers that died during the run.
  int deaths() const { return deaths_; }
  // The bytes kept for sending to the workers (sent part way or queued).
  size_t buffered_bytes() const;

 private:
  struct Worker {
    pid_t pid = -1;
    int fd = -1;
    std::string out;          // frames not yet sent
    size_t out_at = 0;
    std::string in;           // bytes received, not yet a whole frame
    std::deque<uint64_t> held;  // batches sent, in order
  };

  bool Spawn(Worker& worker, std::string* error);
  [[noreturn]] void Serve(int fd);
  void Pump();
  bool Send(Worker& worker);
  bool Receive(Worker& worker);
  void Bury(Worker& worker);
  void Complete(uint64_t index, bool ok, std::string&& result);

  int size_;
  Work work_;
  Deliver deliver_;
  std::vector<Worker> workers_;
  std::map<uint64_t, std::pair<bool, std::string>> done_;  // waiting for earlier batches
  std::vector<char> chunk_;
  uint64_t submitted_ = 0;
  uint64_t delivered_ = 0;
  int deaths_ = 0;
};

// The number of processors this process may run on; at least 1.
int AvailableCores();

}  // namespace zorvel::cli
