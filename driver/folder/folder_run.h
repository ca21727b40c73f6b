// A folder run: every pair of two folders compared by the single-pair run, several at once.
//
// The library keeps one state per process, so no two pairs share a process at once: this
// process, which has loaded the libraries and started netCDF once, keeps at most `jobs` worker
// processes (pair_worker.h), each comparing one pair at a time, one pair after another, and
// replaced by a fresh one after a hundred pairs or when it dies. A worker points the tool's
// names at its pair (INFILE1, INFILE2, the log to /dev/null, BRINDLEWICK_JSON to a file of the
// pair's own, standard output to the pair's report file or /dev/null, standard error to a file
// of its own) and runs the single-pair comparison in place. This process reads each pair's JSON
// result into a bounded summary, deletes the pair's files and sends the next pair. A worker
// ended by a signal fails its pair, which names the signal. SIGINT or SIGTERM to this process
// starts no further pair: the pairs being compared are waited for, the temporary files removed,
// and the run fails saying how far it got.
#ifndef BRINDLEWICK_FOLDER_RUN_H
#define BRINDLEWICK_FOLDER_RUN_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "folder/folder_pairs.h"
#include "folder/folder_result.h"

namespace brindlewick {

struct FolderOptions {
  std::string dir1;
  std::vector<std::string> side2;  // one folder, or files and glob patterns
  PairFilter filter;
  unsigned jobs = 0;            // pairs compared at once; 0: one per processor
  std::string reports_dir;      // the pairs' reports, at the same relative path + ".txt"
  std::string stack;            // a location file for every pair; empty: from the grid
  bool keep_pair_json = false;  // keep each pair's own document in pair_json
  // Where the difference maps are kept (an existing folder); empty: none drawn. Each pair
  // draws its maps into a folder of its own there, DIR/I (I the pair's place); the map of
  // each differing variable is kept as DIR/I-K.png (K the variable's place in the pair) and
  // named in its map_png, the rest removed when the pair is read.
  std::string maps_dir;
};

// A temporary folder of the run, removed with everything in it when this ends: under TMPDIR
// when it is set, else in memory (/dev/shm) when asked for and writable, else under /tmp.
class TempFolder {
 public:
  TempFolder() = default;
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();
  // False with ERROR when it cannot be made.
  [[nodiscard]] bool make(bool in_memory, std::string& error);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Called for every pair in the pairs' order, as soon as it and every pair before it are done.
using PairReady = std::function<void(const PairResult&)>;
// Called after each pair compared: pairs done, pairs in all, pairs that differ so far.
using FolderProgress = std::function<void(std::size_t, std::size_t, std::size_t)>;

// Lists and compares the pairs of OPTIONS into RESULT. False with ERROR when the pairs cannot
// be listed or the run's temporary folder cannot be made; a pair that cannot be compared is a
// failed pair, not a failed run.
[[nodiscard]] bool run_folder(const FolderOptions& options, FolderResult& result,
                              const PairReady& ready, const FolderProgress& progress,
                              std::string& error);

// The pair's verdict from its end (WAIT_STATUS, as waitpid gives a process's: the worker's
// answer, or its own end when it died in the pair), its JSON result at JSON_PATH (removed once
// read) and, when it left none, its last "brindlewick: " line in ERR_PATH.
void read_pair_end(PairResult& pair, int wait_status, const std::string& json_path,
                   const std::string& err_path, bool keep_json);

}  // namespace brindlewick

#endif  // BRINDLEWICK_FOLDER_RUN_H
