// The machine-readable result of a run (BRINDLEWICK_JSON): the status and its reason, the
// settings in force, the steps compared, the summary's numbers per variable and the totals, as
// one JSON object. Pure: the text comes back as a string; numbers are written as the summary
// writes them (the shortest text that reads back to the same value), and a value that is not
// finite as null.
#ifndef BRINDLEWICK_JSON_RESULT_H
#define BRINDLEWICK_JSON_RESULT_H

#include <span>
#include <string>
#include <string_view>

#include "settings.h"
#include "summary.h"

namespace brindlewick {

inline constexpr std::string_view kStatusIdentical = "identical";
inline constexpr std::string_view kStatusDiffer = "differ";
inline constexpr std::string_view kStatusFailed = "failed";

struct RunOutcome {
  std::string_view status;  // kStatusIdentical, kStatusDiffer or kStatusFailed
  std::string_view reason;  // why a run failed; empty otherwise
  const Settings& settings;
  std::span<const StepTime> steps;           // the steps compared
  std::span<const VariableStats> variables;  // in the order compared
};

// The JSON text of OUTCOME, ending in a newline.
std::string json_result(const RunOutcome& outcome);

// TEXT with the JSON escapes of a string's contents.
std::string json_escaped(std::string_view text);

}  // namespace brindlewick

#endif  // BRINDLEWICK_JSON_RESULT_H
