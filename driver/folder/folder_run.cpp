#include "folder/folder_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

#include "folder/folder_read.h"
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

// While it lasts, SIGINT and SIGTERM are noted rather than ending the process, so the children
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

// What one child is given.
struct ChildFiles {
  const std::string* file1;
  const std::string* file2;
  std::string json;    // its JSON result
  std::string err;     // its standard error
  std::string report;  // its standard output; empty: /dev/null
  std::size_t slot;    // of the children alive at once
  std::string maps;    // its difference maps' folder; empty: none drawn
};

bool redirect(int fd, const std::string& path, int flags) {
  const int opened = ::open(path.c_str(), flags, 0644);
  if (opened < 0) return false;
  const bool moved = ::dup2(opened, fd) == fd;
  ::close(opened);
  return moved;
}

// The child: the pair's names and files, then the single-pair run, which never returns.
[[noreturn]] void run_child(const ChildFiles& c, const std::string& stack, LocationSource source,
                            bool reports) {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  if (!redirect(STDERR_FILENO, c.err, O_WRONLY | O_CREAT | O_TRUNC) ||
      !redirect(STDIN_FILENO, "/dev/null", O_RDONLY)) {
    ::_exit(kavro::kExitFailure);
  }
  const std::string out = c.report.empty() ? "/dev/null" : c.report;
  if (!redirect(STDOUT_FILENO, out, O_WRONLY | O_CREAT | O_TRUNC)) {
    std::fprintf(stderr, "brindlewick: could not create the report file \"%s\": %s\n", out.c_str(),
                 std::strerror(errno));
    ::_exit(kavro::kExitFailure);
  }
  // Settings that name one file for the whole run would collide between pairs; the maps go to
  // the pair's own folder when the run keeps them.
  ::unsetenv("BRINDLEWICK_CSV");
  if (c.maps.empty() ? ::unsetenv("BRINDLEWICK_MAPS") != 0
                     : ::setenv("BRINDLEWICK_MAPS", c.maps.c_str(), 1) != 0) {
    std::fprintf(stderr, "brindlewick: could not set the pair's environment\n");
    ::_exit(kavro::kExitFailure);
  }
  if (!reports && std::getenv("BRINDLEWICK_MAX_REPORTS") == nullptr) {
    ::setenv("BRINDLEWICK_MAX_REPORTS", "0", 1);  // no report is formatted to be thrown away
  }
  const bool set = ::setenv("INFILE1", c.file1->c_str(), 1) == 0 &&
                   ::setenv("INFILE2", c.file2->c_str(), 1) == 0 &&
                   (stack.empty() || ::setenv("STACK1", stack.c_str(), 1) == 0) &&
                   ::setenv("LOGFILE", "/dev/null", 1) == 0 &&
                   ::setenv("BRINDLEWICK_JSON", c.json.c_str(), 1) == 0 &&
                   ::setenv("BRINDLEWICK_EXIT_ON_DIFF", "Y", 1) == 0;
  if (!set) {
    std::fprintf(stderr, "brindlewick: could not set the pair's environment\n");
    ::_exit(kavro::kExitFailure);
  }
  set_floating_point_modes();
  compare_files(kavro::INIT3(), source);
}

std::string read_all(const std::string& path, bool& found) {
  std::ifstream in(path, std::ios::binary);
  found = static_cast<bool>(in);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Why a child stopped when it left no JSON result: its last "brindlewick: " line.
std::string child_said(const std::string& err_path) {
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

void read_child_end(PairResult& pair, int wait_status, const std::string& json_path,
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
      pair.reason = child_said(err_path);
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

  // netCDF reads its run-control files and starts its network libraries on its first use: done
  // once here, every child inherits it (a third of a small pair's time). A failure here is
  // not the run's: each child then meets it on its own and says so.
  kavro::start_netcdf();
  const unsigned jobs = jobs_of(options.jobs);
  std::map<pid_t, std::pair<std::size_t, ChildFiles>> running;
  std::vector<std::size_t> free_slots;
  for (std::size_t k = jobs; k > 0; --k) free_slots.push_back(k - 1);
  std::size_t next = 0;
  const StopSignals stop;
  while ((stop_signal == 0 && next < listing.pairs.size()) || !running.empty()) {
    // Start pairs while there is room; a file on one side only needs no child.
    while (stop_signal == 0 && next < listing.pairs.size() && running.size() < jobs) {
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
      // Standard error goes to the file of a free slot, truncated by the child: one file
      // per slot rather than one per pair.
      const std::size_t slot = free_slots.back();
      free_slots.pop_back();
      ChildFiles files{&pair.file1,
                       &pair.file2,
                       temp.path() + "/" + std::to_string(i) + ".json",
                       temp.path() + "/" + std::to_string(slot) + ".err",
                       "",
                       slot,
                       ""};
      if (!options.reports_dir.empty()) {
        files.report = options.reports_dir + "/" + pair.path + ".txt";
        std::error_code ec;
        fs::create_directories(fs::path(files.report).parent_path(), ec);
      }
      if (!options.maps_dir.empty()) {
        files.maps = options.maps_dir + "/" + std::to_string(i);
        std::error_code ec;
        fs::create_directory(files.maps, ec);
      }
      // Nothing this process has buffered may be written again by the child.
      std::fflush(nullptr);
      const pid_t pid = ::fork();
      if (pid == 0) run_child(files, options.stack, source, !options.reports_dir.empty());
      if (pid < 0) {
        pair.verdict = PairVerdict::kFailed;
        pair.reason = std::string("could not start the comparison: ") + std::strerror(errno);
        pair.exit_status = kavro::kExitFailure;
        free_slots.push_back(slot);
        mark_done(i);
        continue;
      }
      running.emplace(pid, std::make_pair(i, std::move(files)));
    }
    if (running.empty()) continue;
    int status = 0;
    const pid_t pid = ::waitpid(-1, &status, 0);
    if (pid < 0) {
      if (errno == EINTR) continue;
      error = std::string("could not wait for a comparison: ") + std::strerror(errno);
      return false;
    }
    const auto it = running.find(pid);
    if (it == running.end()) continue;
    const std::size_t i = it->second.first;
    const ChildFiles& files = it->second.second;
    read_child_end(result.pairs[i], status, files.json, files.err, options.keep_pair_json);
    if (!options.maps_dir.empty()) keep_maps(result.pairs[i], options.maps_dir, i);
    free_slots.push_back(files.slot);
    running.erase(it);
    mark_done(i);
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
