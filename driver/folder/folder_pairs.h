// The pairs of a folder run: every file of either side, paired by its path relative to its
// side's root. One side is a folder walked recursively; the other is a folder too, or a list
// of files and glob patterns whose paths count from the folder they have in common. Files a
// filter leaves out, the accepted-baseline log and the folder of replaced files are not
// paired.
#ifndef BRINDLEWICK_FOLDER_PAIRS_H
#define BRINDLEWICK_FOLDER_PAIRS_H

#include <string>
#include <string_view>
#include <vector>

namespace brindlewick {

// What an accept leaves in the baseline folder; never paired.
inline constexpr std::string_view kAcceptedLog = ".brindlewick-accepted.log";
inline constexpr std::string_view kReplacedFolder = ".brindlewick-replaced";

struct PairFilter {
  std::vector<std::string> include;  // none: every file; else a file matches one of them
  std::vector<std::string> exclude;  // a file that matches one is left out
};

// Whether REL (a relative path, '/'-separated) is paired: fnmatch without flags, so '*'
// crosses '/' ("*.nc" takes "day1/a.nc"), and the accept's own files are never paired.
bool paired_path(std::string_view rel, const PairFilter& filter);

// One relative path and the file on each side; a side's path is empty when it lacks the file.
struct PathPair {
  std::string path;
  std::string file1, file2;
};

struct PairListing {
  std::string dir2;  // the second side's root: the folder, or what the listed files share
  std::vector<PathPair> pairs;  // sorted by relative path
};

// Lists the pairs of DIR1 against SIDE2: one folder, or files and glob patterns (a pattern
// that matches nothing is refused). With a list, only the files listed are paired: a file of
// DIR1 that is not listed is left out. False with ERROR when a folder cannot be walked.
[[nodiscard]] bool list_pairs(const std::string& dir1, const std::vector<std::string>& side2,
                              const PairFilter& filter, PairListing& out, std::string& error);

}  // namespace brindlewick

#endif  // BRINDLEWICK_FOLDER_PAIRS_H
