// Failure paths walked on purpose, through the library's one system-call layer: the operation
// is run with call n of one operation (or of any) failing, for n = 1, 2, ... until a run no
// longer reaches call n and succeeds. Every failed run must return its failure, write its
// message, and hold no more descriptors, streams or blocks of memory than before it.
#ifndef KAVRO_TEST_SUPPORT_FAULT_WALK_H
#define KAVRO_TEST_SUPPORT_FAULT_WALK_H

#include <functional>
#include <string>
#include <vector>

#include "core/syscalls.h"

namespace kavro_test {

using kavro::detail::sys::Op;

// A failure point reached: n, and what the log (or any text the caller reads) gained.
struct FailurePoint {
  long n = 0;
  std::string written;
};

struct FaultWalk {
  Op op = Op::kAny;
  // The operation: true when it succeeded.
  std::function<bool()> run;
  // The text that grows as the operation reports (the log); empty: nothing read.
  std::function<std::string()> text;
  // Failure points where the operation may succeed all the same (a failed close of a file
  // only read loses nothing); empty: none.
  std::function<bool(long n)> tolerated;
  // What undoes a run that succeeded (a close after an open), before the next run.
  std::function<void()> undo;
  // What every line of the text begins with (the log's five blanks), before the message.
  std::string line_prefix;
  long limit = 500;  // a walk longer than this is a fault of its own
};

// Walks every failure point of WALK: each failed run is checked (result false, nothing held
// beyond what was held before). Returns the failure points in order, tolerated ones left out;
// the run after the last of them succeeded (the test fails when it did not, or when the limit
// was reached). The injection is cleared on return.
std::vector<FailurePoint> walk_failures(const FaultWalk& walk);

// The same, then each failure point's text must hold its message as a whole line (after the
// line prefix), in order, and there are as many failure points as messages.
void expect_failures(const FaultWalk& walk, const std::vector<std::string>& messages);

}  // namespace kavro_test

#endif  // KAVRO_TEST_SUPPORT_FAULT_WALK_H
