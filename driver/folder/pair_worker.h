// The folder run's worker processes. The library keeps one state per process, so pairs never
// share a process at once; but a process may run one pair after another. A worker is forked
// once from the folder run (which has loaded the libraries and started netCDF), and compares
// the pairs it is sent one by one: for each it points the tool's names at the pair (INFILE1,
// INFILE2, BRINDLEWICK_JSON, BRINDLEWICK_MAPS), its standard output at the pair's report file
// or /dev/null and its standard error at a file of its own, runs the single-pair comparison,
// takes it back when the comparison ends through XQEXIT, returns the library to its state
// before INIT3 and answers with the status the single-pair run would have left with. A worker
// that dies in a pair (a signal, or an end that leaves the process, such as memory running out)
// is reaped by the folder run, which names its end and starts another one for the next pair.
#ifndef BRINDLEWICK_PAIR_WORKER_H
#define BRINDLEWICK_PAIR_WORKER_H

#include <sys/types.h>

#include <span>
#include <string>

#include "run/run.h"

namespace brindlewick {

// What a worker is told of one pair: the files, where its JSON result and standard error go,
// its report file (empty: /dev/null) and its maps' folder (empty: none drawn).
struct PairRequest {
  std::string file1;
  std::string file2;
  std::string json;
  std::string err;
  std::string report;
  std::string maps;
};

// What every pair of a worker shares.
struct WorkerSettings {
  std::string stack;  // STACK1 for every pair; empty: unset
  LocationSource source = LocationSource::kGrid;
  bool reports = false;  // reports are kept: BRINDLEWICK_MAX_REPORTS is left as it is
};

// One worker process, seen from the folder run.
class PairWorker {
 public:
  PairWorker() = default;
  PairWorker(const PairWorker&) = delete;
  PairWorker& operator=(const PairWorker&) = delete;
  PairWorker(PairWorker&& other) noexcept;
  PairWorker& operator=(PairWorker&&) = delete;
  ~PairWorker();  // retires a worker still alive

  // Forks the worker. OTHERS are the run's other workers, whose connections the new process
  // closes. False with ERROR when it cannot be started.
  [[nodiscard]] bool start(const WorkerSettings& settings, std::span<const PairWorker> others,
                           std::string& error);
  bool alive() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Pairs sent to this process so far.
  unsigned served() const { return served_; }
  // The connection to poll for the answer to the pair sent.
  int connection() const { return fd_; }
  // Sends a pair; false when the worker is gone (reap it with end()).
  [[nodiscard]] bool send(const PairRequest& request);
  // Once the connection is readable, or a send failed: the pair's end as waitpid gives a
  // process's. A worker that answered stays alive; one that died is reaped and its wait status
  // given.
  int end();
  // Tells the worker to stop once it is idle, and waits for it.
  void retire();

 private:
  int reap();
  pid_t pid_ = -1;
  int fd_ = -1;
  unsigned served_ = 0;
};

}  // namespace brindlewick

#endif  // BRINDLEWICK_PAIR_WORKER_H
