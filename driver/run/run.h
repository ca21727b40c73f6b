// The main sequence of the comparison tool: open STACK1, INFILE1 and INFILE2, read the
// location data, compare every variable of INFILE2 at every one of its steps, and end the run
// through XQEXIT.
#ifndef BRINDLEWICK_RUN_H
#define BRINDLEWICK_RUN_H

#include <cstdio>

namespace brindlewick {

// Subnormal results flush to zero and subnormal operands count as zero, for the whole run.
void set_floating_point_modes() noexcept;

// The library's unit number of standard output: INIT3 returns it when the log goes there.
inline constexpr int kStandardOutputUnit = 6;

// Where the cells' locations come from: a location file, or INFILE2's grid when two data files
// are given as arguments and no location file is.
enum class LocationSource { kFile, kGrid };

// Everything after INIT3, which returned LOG_UNIT. Never returns: the run ends through XQEXIT,
// or through the allocation stop.
[[noreturn]] void compare_files(int log_unit, LocationSource source) noexcept;

// One comparison of many in the same process (the folder run's workers). compare_pair runs
// like compare_files, with a comparison made afresh for it, and ends through XQEXIT too: the
// caller's exit handler (kavro::set_exit_handler) takes it back from there and calls end_pair
// with XQEXIT's status, which frees the comparison and gives the status the single-pair run
// would have left with (1 for differences under BRINDLEWICK_EXIT_ON_DIFF).
[[noreturn]] void compare_pair(int log_unit, LocationSource source) noexcept;
int end_pair(int exit_status) noexcept;

}  // namespace brindlewick

#endif  // BRINDLEWICK_RUN_H
