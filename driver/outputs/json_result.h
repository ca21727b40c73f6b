// The machine-readable result of a run (BRINDLEWICK_JSON): the layout's version, the status and
// its reason, the kinds of difference found and left out, the files, the settings in force, the
// steps compared, what was not compared, the grid and header differences, the summary's
// numbers per variable with a series per step for differing variables, and the totals, as one
// JSON object (the manual page lists the keys). Pure: the text comes back as a string; numbers are
// written as the summary writes them (the shortest text that reads back to the same value), and a
// value that is not finite as null.
#ifndef BRINDLEWICK_JSON_RESULT_H
#define BRINDLEWICK_JSON_RESULT_H

#include <span>
#include <string>
#include <string_view>

#include "outputs/summary.h"
#include "run/plan.h"
#include "run/settings.h"
#include "run/verdict.h"

namespace brindlewick {

inline constexpr std::string_view kStatusIdentical = "identical";
inline constexpr std::string_view kStatusDiffer = "differ";
inline constexpr std::string_view kStatusFailed = "failed";

// The version of the result's layout: raised when a key changes meaning or goes away.
inline constexpr int kSchemaVersion = 2;

// The paths the run compared: INFILE1's, INFILE2's and STACK1's (empty: none, the locations
// came from the grid).
struct RunFiles {
  std::string file1;
  std::string file2;
  std::string stack;
};

struct RunOutcome {
  std::string_view status;  // kStatusIdentical, kStatusDiffer or kStatusFailed
  std::string_view reason;  // why a run failed; empty otherwise
  const Settings& settings;
  std::span<const StepTime> steps;           // the steps compared
  std::span<const VariableStats> variables;  // in the order compared
  RunFiles files = {};
  const Plan* plan = nullptr;        // null: the run failed before it was planned
  const Verdict* verdict = nullptr;  // null: the run did not complete
};

// The JSON text of OUTCOME, ending in a newline.
std::string json_result(const RunOutcome& outcome);

// TEXT with the JSON escapes of a string's contents.
std::string json_escaped(std::string_view text);

}  // namespace brindlewick

#endif  // BRINDLEWICK_JSON_RESULT_H
