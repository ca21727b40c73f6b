// Accepting a run as the new baseline (--accept): the files of the second folder that differ
// from the baseline, or that the baseline lacks, are copied into it. Each file is written
// beside its place under a temporary name and renamed into place, so an accept stopped at any
// moment leaves every file whole: the old one or the new one. A file replaced is kept first
// under DIR1/.brindlewick-replaced/STAMP/ at its relative path, and every file accepted is a
// line of DIR1/.brindlewick-accepted.log: "STAMP<TAB>PATH<TAB>CATEGORIES<TAB>NOTE". A file of
// the baseline that the run lacks is left where it is.
#ifndef BRINDLEWICK_ACCEPT_H
#define BRINDLEWICK_ACCEPT_H

#include <cstddef>
#include <string>

#include "folder/folder_result.h"

namespace brindlewick {

// The accept's date stamp, YYYYMMDDTHHMMSS in UTC. KAVRO_TEST_NOW, when set, stands for the
// clock so tests can pin the stamp.
std::string accept_stamp();

// The log line of one file, newline included; tabs and line breaks of the note show as blanks.
std::string accepted_line(const std::string& stamp, const PairResult& pair,
                          const std::string& note);

// Accepts every differing and new pair of RESULT into RESULT.dir1; ACCEPTED counts the files
// done. False with ERROR at the first file that could not be accepted (the files before it
// stay accepted). KAVRO_TEST_ACCEPT_STOP_AFTER=N kills the process after N files, as an
// interruption between two files would.
[[nodiscard]] bool accept_baseline(const FolderResult& result, const std::string& note,
                                   std::size_t& accepted, std::string& error);

}  // namespace brindlewick

#endif  // BRINDLEWICK_ACCEPT_H
