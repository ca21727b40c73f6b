#include "folder/folder_run.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

#include "folder/folder_read.h"
#include "folder/pair_worker.h"
#include "kavro/kavro.h"
#include "options/file_names.h"
#include "outputs/diff_map.h"
#include "run/run.h"

namespace brindlewick {
namespace fs = std::filesystem;
namespace {

constexpr const char* kMemoryFolder = "/dev/shm";

// Set by SIGINT or SIGTERM while the pairs run: no pair is started after it.
volatile std::sig_atomic_t stop_signal = 0;

void note_stop(int sig) { stop_signal = sig; }

// While it lasts, SIGINT and SIGTERM are noted rather than ending the process, so the workers
// alive are waited for and the temporary folder is removed.
class StopSignals {
 public:
  StopSignals() {
    stop_signal = 0;
    struct sigaction noted {};
    noted.sa_handler = note_stop;
    sigemptyset(&noted.sa_mask);
    noted.sa_flags = 0;  // no SA_RESTART: the wait returns to see the note
    ::sigaction(SIGINT, &noted, &old_int_);
    ::sigaction(SIGTERM, &noted, &old_term_);
  }
  ~StopSignals() {
    ::sigaction(SIGINT, &old_int_, nullptr);
    ::sigaction(SIGTERM, &old_term_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
};

// A worker compares this many pairs, then a fresh one takes over: what a pair's end leaves
// behind in the process (the comparison's end jumps back over its frames) stays bounded.
constexpr unsigned kPairsPerWorker = 100;

std::string read_all(const std::string& path, bool& found) {
  std::ifstream in(path, std::ios::binary);
  found = static_cast<bool>(in);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Why a pair stopped when it left no JSON result: its last "brindlewick: " line.
std::string pair_said(const std::string& err_path) {
  bool found = false;
  const std::string text = read_all(err_path, found);
  constexpr std::string_view kPrefix = "brindlewick: ";
  std::string last;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(kPrefix)) last = line.substr(kPrefix.size());
  }
  return last;
}

unsigned jobs_of(unsigned asked) {
  if (asked > 0) return asked;
  const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  return cores > 0 ? static_cast<unsigned>(cores) : 1U;
}

// The maps of a pair's differing variables, each moved out of the pair's own map folder
// (DIR/I) to DIR/I-K.png (K the variable's place in the pair) and named in map_png; the pair's
// folder is then removed with any map left in it.
void keep_maps(PairResult& pair, const std::string& dir, std::size_t i) {
  const std::string own = dir + "/" + std::to_string(i);
  for (std::size_t k = 0; k < pair.variables.size(); ++k) {
    VariableFigures& v = pair.variables[k];
    if (v.differing == 0) continue;
    const std::string kept = dir + "/" + std::to_string(i) + "-" + std::to_string(k) + ".png";
    std::error_code ec;
    fs::rename(own + "/" + map_file_name(v.name), kept, ec);
    if (!ec) v.map_png = kept;
  }
  std::error_code ec;
  fs::remove_all(own, ec);
}

}  // namespace

bool TempFolder::make(bool in_memory, std::string& error) {
  // A memory file system when asked for and there is one.
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = tmp != nullptr && *tmp != '\0'                           ? tmp
                        : in_memory && ::access(kMemoryFolder, W_OK | X_OK) == 0 ? kMemoryFolder
                                                                                 : "/tmp";
  pattern.append("/brindlewick-folder.XXXXXX");
  if (::mkdtemp(pattern.data()) == nullptr) {
    error = "could not make a temporary folder (" + pattern + "): " + std::strerror(errno);
    return false;
  }
  path_ = pattern;
  return true;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

void read_pair_end(PairResult& pair, int wait_status, const std::string& json_path,
                   const std::string& err_path, bool keep_json) {
  bool found = false;
  const std::string text = read_all(json_path, found);
  std::string error;
  if (WIFSIGNALED(wait_status)) {
    const int sig = WTERMSIG(wait_status);
    pair.verdict = PairVerdict::kFailed;
    pair.exit_status = 128 + sig;
    pair.reason = "the comparison ended by signal " + std::to_string(sig) + " (" +
                  std::string(::strsignal(sig)) + ")";
  } else {
    pair.exit_status = WEXITSTATUS(wait_status);
    if (!found) {
      pair.verdict = PairVerdict::kFailed;
      pair.reason = pair_said(err_path);
      if (pair.reason.empty()) {
        pair.reason = "the comparison ended with status " + std::to_string(pair.exit_status) +
                      " and wrote no JSON result";
      }
    } else if (!read_pair_document(text, keep_json, pair, error)) {
      pair.verdict = PairVerdict::kFailed;
      pair.reason = error;
    }
  }
  std::remove(json_path.c_str());
}

namespace {

// The workers of a run, at most one pair each, and the pairs they are comparing.
class Workers {
 public:
  // Each worker's standard error goes to a file of its own in FOLDER.
  Workers(unsigned jobs, WorkerSettings settings, const std::string& folder)
      : settings_(std::move(settings)), workers_(jobs), pairs_(jobs) {
    for (unsigned w = 0; w < jobs; ++w)
      err_paths_.push_back(folder + "/" + std::to_string(w) + ".err");
  }

  // A worker without a pair, or none.
  std::optional<std::size_t> idle() const {
    for (std::size_t w = 0; w < pairs_.size(); ++w) {
      if (!pairs_[w]) return w;
    }
    return std::nullopt;
  }
  bool any_busy() const {
    return std::any_of(pairs_.begin(), pairs_.end(), [](const auto& p) { return p.has_value(); });
  }
  const std::string& err_path(std::size_t w) const { return err_paths_.at(w); }

  // Sends pair I to worker W, started (again) when it has none alive or has served its share.
  // False with ERROR when no worker takes it.
  bool dispatch(std::size_t w, std::size_t i, const PairRequest& request, std::string& error) {
    PairWorker& worker = workers_[w];
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (worker.alive() && worker.served() >= kPairsPerWorker) worker.retire();
      if (!worker.alive() && !worker.start(settings_, workers_, error)) return false;
      if (worker.send(request)) {
        pairs_[w] = std::make_pair(i, request);
        return true;
      }
      static_cast<void>(worker.end());  // gone while idle: reaped, and one more try
    }
    error = "could not start the comparison: the worker process ended";
    return false;
  }

  // Waits for workers to end their pairs; for each, FINISH(pair, wait status, request).
  // False with errno's text in ERROR when the wait fails; a signal ends the wait early.
  template <typename Finish>
  bool wait(const Finish& finish, std::string& error) {
    std::vector<pollfd> fds;
    std::vector<std::size_t> of;
    for (std::size_t w = 0; w < pairs_.size(); ++w) {
      if (!pairs_[w]) continue;
      fds.push_back({workers_[w].connection(), POLLIN, 0});
      of.push_back(w);
    }
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) return true;
      error = std::string("could not wait for a comparison: ") + std::strerror(errno);
      return false;
    }
    for (std::size_t k = 0; k < fds.size(); ++k) {
      if (fds[k].revents == 0) continue;
      const std::size_t w = of[k];
      const int status = workers_[w].end();
      const auto [i, request] = std::move(*pairs_[w]);
      pairs_[w].reset();
      finish(i, status, request);
    }
    return true;
  }

 private:
  WorkerSettings settings_;
  std::vector<PairWorker> workers_;
  std::vector<std::optional<std::pair<std::size_t, PairRequest>>> pairs_;
  std::vector<std::string> err_paths_;
};

// What worker W is told of pair I: its standard error goes to the worker's own file (removed
// first, so that nothing of the pair before is read as this one's), its JSON result to a file
// of the pair's own.
PairRequest request_for(const PairResult& pair, std::size_t i, const FolderOptions& options,
                        const std::string& temp, const std::string& err) {
  PairRequest r{pair.file1, pair.file2, temp + "/" + std::to_string(i) + ".json", err, "", ""};
  std::remove(err.c_str());
  if (!options.reports_dir.empty()) {
    r.report = options.reports_dir + "/" + pair.path + ".txt";
    std::error_code ec;
    fs::create_directories(fs::path(r.report).parent_path(), ec);
  }
  if (!options.maps_dir.empty()) {
    r.maps = options.maps_dir + "/" + std::to_string(i);
    std::error_code ec;
    fs::create_directory(r.maps, ec);
  }
  return r;
}

}  // namespace

bool run_folder(const FolderOptions& options, FolderResult& result, const PairReady& ready,
                const FolderProgress& progress, std::string& error) {
  PairListing listing;
  if (!list_pairs(options.dir1, options.side2, options.filter, listing, error)) return false;
  TempFolder temp;
  // Each pair creates and removes its JSON file there.
  if (!temp.make(true, error)) return false;
  result.dir1 = options.dir1;
  result.dir2 = listing.dir2;
  result.pairs.clear();
  result.documents.reset();
  result.pairs.resize(listing.pairs.size());
  std::vector<bool> done(listing.pairs.size(), false);
  const LocationSource source =
      location_file_given(options.stack.empty() ? nullptr : options.stack.c_str())
          ? LocationSource::kFile
          : LocationSource::kGrid;
  std::size_t next_ready = 0, finished = 0, differ = 0;
  const auto mark_done = [&](std::size_t i) {
    done[i] = true;
    ++finished;
    const PairVerdict v = result.pairs[i].verdict;
    if (v != PairVerdict::kIdentical && v != PairVerdict::kFailed) ++differ;
    if (progress) progress(finished, done.size(), differ);
    for (; next_ready < done.size() && done[next_ready]; ++next_ready) {
      if (ready) ready(result.pairs[next_ready]);
    }
  };
  const auto finish = [&](std::size_t i, int status, const PairRequest& request) {
    PairResult& pair = result.pairs[i];
    read_pair_end(pair, status, request.json, request.err, options.keep_pair_json);
    std::string why;
    if (!set_aside_document(result, pair, why)) {
      pair.verdict = PairVerdict::kFailed;
      pair.reason = why;
    }
    if (!options.maps_dir.empty()) keep_maps(pair, options.maps_dir, i);
    mark_done(i);
  };

  // netCDF reads its run-control files and starts its network libraries on its first use: done
  // once here, every worker inherits it. A failure here is not the run's: each worker then
  // meets it on its own and says so.
  kavro::start_netcdf();
  // The signals are noted until the workers are retired (destroyed in the reverse order).
  const StopSignals stop;
  Workers workers(jobs_of(options.jobs),
                  WorkerSettings{options.stack, source, !options.reports_dir.empty()}, temp.path());
  std::size_t next = 0;
  while ((stop_signal == 0 && next < listing.pairs.size()) || workers.any_busy()) {
    // Start pairs while a worker is free; a file on one side only needs none.
    for (std::optional<std::size_t> w = workers.idle();
         stop_signal == 0 && next < listing.pairs.size() && w;) {
      const std::size_t i = next++;
      PathPair& p = listing.pairs[i];
      PairResult& pair = result.pairs[i];
      pair.path = std::move(p.path);
      pair.file1 = std::move(p.file1);
      pair.file2 = std::move(p.file2);
      if (pair.file1.empty() || pair.file2.empty()) {
        pair.verdict = pair.file2.empty() ? PairVerdict::kOnlyInDir1 : PairVerdict::kOnlyInDir2;
        pair.reason = pair.file2.empty() ? "only in dir1" : "only in dir2";
        mark_done(i);
        continue;
      }
      std::string why;
      if (!workers.dispatch(*w, i, request_for(pair, i, options, temp.path(), workers.err_path(*w)),
                            why)) {
        pair.verdict = PairVerdict::kFailed;
        pair.reason = why;
        pair.exit_status = kavro::kExitFailure;
        mark_done(i);
        continue;
      }
      w = workers.idle();
    }
    if (workers.any_busy() && !workers.wait(finish, error)) return false;
  }
  if (stop_signal != 0) {
    const int sig = stop_signal;
    error = "stopped by signal " + std::to_string(sig) + " (" + ::strsignal(sig) + ") after " +
            std::to_string(finished) + " of " + std::to_string(listing.pairs.size()) + " pairs";
    return false;
  }
  return true;
}

}  // namespace brindlewick
