#include "worker_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zorvel::cli {
namespace {

constexpr size_t kReadChunk = 256 * 1024;

void PutLength(std::string* frame, uint64_t length) {
  frame->append(reinterpret_cast<const char*>(&length), sizeof length);
}

// Reads exactly `size` bytes; false at the end of the input or on an error.
bool ReadAll(int fd, char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string HowItEnded(int status) {
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    return "was killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
  }
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  return "ended";
}

}  // namespace

int AvailableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return count;
  }
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int>(online) : 1;
}

WorkerPool::WorkerPool(int workers, Work work, Deliver deliver)
    : size_(workers < 1 ? 1 : workers), work_(std::move(work)), deliver_(std::move(deliver)) {}

WorkerPool::~WorkerPool() {
  for (Worker& worker : workers_) {
    if (worker.fd >= 0) ::close(worker.fd);
    if (worker.pid > 0) {
      ::kill(worker.pid, SIGKILL);
      ::waitpid(worker.pid, nullptr, 0);
    }
  }
}

bool WorkerPool::Start(std::string* error) {
  workers_.resize(static_cast<size_t>(size_));
  for (Worker& worker : workers_) {
    if (!Spawn(worker, error)) return false;
  }
  return true;
}

bool WorkerPool::Spawn(Worker& worker, std::string* error) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) {
    *error = std::string("cannot start a worker: ") + std::strerror(errno);
    return false;
  }
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) {
    *error = std::string("cannot start a worker: ") + std::strerror(errno);
    ::close(ends[0]);
    ::close(ends[1]);
    return false;
  }
  if (pid == 0) {
    // A worker dies with the process that feeds it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(1);
    ::close(ends[0]);
    // Its copies of the other workers' sockets would keep them from seeing
    // the end of their input.
    for (const Worker& other : workers_) {
      if (other.fd >= 0) ::close(other.fd);
    }
    Serve(ends[1]);
  }
  ::close(ends[1]);
  ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
  worker = Worker();
  worker.pid = pid;
  worker.fd = ends[0];
  return true;
}

void WorkerPool::Serve(int fd) {
  // Both buffers serve every batch, so that a batch costs no allocation.
  std::string batch;
  std::string frame;
  for (;;) {
    uint64_t length;
    if (!ReadAll(fd, reinterpret_cast<char*>(&length), sizeof length)) break;
    batch.resize(length);
    if (!ReadAll(fd, batch.data(), length)) break;
    // The result is written after room for its length.
    frame.assign(sizeof length, '\0');
    work_(batch, &frame);
    length = frame.size() - sizeof length;
    std::memcpy(frame.data(), &length, sizeof length);
    if (!WriteAll(fd, frame.data(), frame.size())) break;
  }
  // Nothing of this process's state (buffered output included) is flushed
  // or destroyed here: it belongs to the process that forked it.
  ::_exit(0);
}

void WorkerPool::Submit(std::string batch) {
  for (;;) {
    Worker* least = nullptr;
    for (Worker& worker : workers_) {
      if (worker.fd >= 0 && (least == nullptr || worker.held.size() < least->held.size())) {
        least = &worker;
      }
    }
    if (least == nullptr) {
      // Every worker died and none could be started again.
      Complete(submitted_++, false, "no worker process could be started");
      return;
    }
    if (least->held.size() < kHeldPerWorker) {
      PutLength(&least->out, batch.size());
      least->out += batch;
      least->held.push_back(submitted_++);
      Send(*least);
      return;
    }
    Pump();
  }
}

void WorkerPool::Finish() {
  for (;;) {
    bool busy = false;
    for (const Worker& worker : workers_) busy |= !worker.held.empty();
    if (!busy) break;
    Pump();
  }
  for (Worker& worker : workers_) {
    if (worker.fd >= 0) ::close(worker.fd);
    worker.fd = -1;
    if (worker.pid > 0) ::waitpid(worker.pid, nullptr, 0);
    worker.pid = -1;
  }
}

void WorkerPool::Pump() {
  std::vector<pollfd> polls;
  std::vector<Worker*> polled;
  for (Worker& worker : workers_) {
    if (worker.fd < 0) continue;
    short events = POLLIN;
    if (worker.out_at < worker.out.size()) events |= POLLOUT;
    polls.push_back({worker.fd, events, 0});
    polled.push_back(&worker);
  }
  if (polls.empty()) return;
  if (::poll(polls.data(), polls.size(), -1) < 0) return;  // EINTR: the caller loops
  for (size_t i = 0; i < polls.size(); ++i) {
    Worker& worker = *polled[i];
    bool alive = true;
    if (polls[i].revents & (POLLIN | POLLHUP | POLLERR)) alive = Receive(worker);
    if (alive && (polls[i].revents & POLLOUT)) alive = Send(worker);
    if (!alive) Bury(worker);
  }
}

bool WorkerPool::Send(Worker& worker) {
  bool alive = true;
  while (worker.out_at < worker.out.size()) {
    const ssize_t n = ::send(worker.fd, worker.out.data() + worker.out_at,
                             worker.out.size() - worker.out_at, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      alive = false;
      break;
    }
    worker.out_at += static_cast<size_t>(n);
  }
  // A frame larger than the socket holds is still part way sent when the
  // next is queued behind it, so the frames sent are dropped once they are
  // half of what is kept: otherwise every frame of the run could be kept.
  if (worker.out_at == worker.out.size()) {
    worker.out.clear();
    worker.out_at = 0;
  } else if (worker.out_at >= worker.out.size() / 2) {
    worker.out.erase(0, worker.out_at);
    worker.out_at = 0;
  }
  return alive;
}

size_t WorkerPool::buffered_bytes() const {
  size_t bytes = 0;
  for (const Worker& worker : workers_) bytes += worker.out.size();
  return bytes;
}

bool WorkerPool::Receive(Worker& worker) {
  chunk_.resize(kReadChunk);
  for (;;) {
    const ssize_t n = ::read(worker.fd, chunk_.data(), chunk_.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) return false;
    worker.in.append(chunk_.data(), static_cast<size_t>(n));
  }
  for (;;) {
    uint64_t length;
    if (worker.in.size() < sizeof length) break;
    std::memcpy(&length, worker.in.data(), sizeof length);
    if (worker.in.size() - sizeof length < length) break;
    if (worker.held.empty()) return false;  // an answer nobody asked for
    const uint64_t index = worker.held.front();
    worker.held.pop_front();
    Complete(index, true, worker.in.substr(sizeof length, length));
    worker.in.erase(0, sizeof length + length);
  }
  return true;
}

void WorkerPool::Bury(Worker& worker) {
  ::close(worker.fd);
  worker.fd = -1;
  int status = 0;
  ::kill(worker.pid, SIGKILL);  // one that broke the protocol is ended too
  ::waitpid(worker.pid, &status, 0);
  ++deaths_;
  const std::string reason =
      "worker process " + std::to_string(worker.pid) + " " + HowItEnded(status);
  std::deque<uint64_t> held = std::move(worker.held);
  std::string error;
  Spawn(worker, &error);  // when it cannot, the other workers carry on
  for (uint64_t index : held) Complete(index, false, std::string(reason));
}

void WorkerPool::Complete(uint64_t index, bool ok, std::string&& result) {
  done_[index] = {ok, std::move(result)};
  while (!done_.empty() && done_.begin()->first == delivered_) {
    auto entry = std::move(done_.begin()->second);
    done_.erase(done_.begin());
    deliver_(delivered_++, entry.first, std::move(entry.second));
  }
}

}  // namespace zorvel::cli
