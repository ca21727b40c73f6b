// What a folder run prints and returns, from its result alone: one line per pair, the totals,
// the folder's verdict and its exit status. Pure: no files are read.
#ifndef BRINDLEWICK_FOLDER_LINES_H
#define BRINDLEWICK_FOLDER_LINES_H

#include <cstdint>
#include <string>
#include <string_view>

#include "folder/folder_result.h"
#include "outputs/folder_text.h"

namespace brindlewick {

struct FolderTotals {
  std::uint64_t pairs = 0, identical = 0, differ = 0, failed = 0, only_in_dir1 = 0,
                only_in_dir2 = 0;
};
FolderTotals folder_totals(const FolderResult& result) noexcept;

// "failed" when a pair failed; else "differ" when a pair differs or a file is on one side
// only; else "identical".
std::string_view folder_verdict(const FolderTotals& totals) noexcept;

// 2 when a pair failed, 1 when the folders differ, 0 when every pair is identical.
int folder_exit_status(const FolderTotals& totals) noexcept;

// The pair's line, newline included: the verdict in a column of 12, two blanks, the path,
// then what differs ("  cells: 2 cells differ, largest difference 0.25", with the categories
// before the colon) or why the pair failed. Control characters show as '?'.
std::string pair_line(const PairResult& pair);

// "5 pairs: 1 identical, 1 differ, 1 failed, 1 only in dir1, 1 only in dir2\n"
std::string totals_line(const FolderTotals& totals);

// The progress line on a terminal, without a newline: "\r3 of 10 pairs done, 1 differ".
std::string progress_line(std::uint64_t done, std::uint64_t total, std::uint64_t differ);

}  // namespace brindlewick

#endif  // BRINDLEWICK_FOLDER_LINES_H
