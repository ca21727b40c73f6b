// The main sequence of the comparison tool: open STACK1, INFILE1 and INFILE2, read the
// location data, compare every variable of INFILE2 at every one of its steps, and end the run
// through XQEXIT.
#ifndef BRINDLEWICK_RUN_H
#define BRINDLEWICK_RUN_H

namespace brindlewick {

// Subnormal results flush to zero and subnormal operands count as zero, for the whole run.
void set_floating_point_modes() noexcept;

// Everything after INIT3. Never returns: the run ends through XQEXIT, or through the
// allocation stop.
[[noreturn]] void compare_files() noexcept;

}  // namespace brindlewick

#endif  // BRINDLEWICK_RUN_H
