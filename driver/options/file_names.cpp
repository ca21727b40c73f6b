#include "options/file_names.h"

#include <sys/stat.h>

#include <cstdlib>

#include "options/setting_table.h"

namespace brindlewick {

NameState name_state(std::string_view lname) noexcept {
  const std::string name(lname);
  struct stat st {};
  return {std::getenv(name.c_str()) != nullptr, ::lstat(name.c_str(), &st) == 0};
}

// The one place that decides whether the run has a location file.
bool location_file_given(const char* stack_argument) noexcept {
  if (stack_argument != nullptr) return true;
  const NameState stack = name_state(kFileNames[0]);
  return stack.set || stack.file_here;
}

bool nothing_named() noexcept {
  for (const std::string_view lname : kFileNames) {
    const NameState s = name_state(lname);
    if (s.set || s.file_here) return false;
  }
  return true;
}

std::string file_stop_reason(std::string_view lname, NameState state,
                             const kavro::FileFailure& failure, std::string_view mesg) {
  std::string line;
  if (!state.set && !state.file_here) {
    line.append(lname).append(" is not set and there is no file named ").append(lname);
    line.append(lname == kFileNames[0] ? " here (give --stack FILE, or set "
                                       : " here (give FILE1 FILE2, or set ");
    line.append(lname).append(")");
    // Without arguments a run needs its location file; with two data files it needs none.
    if (lname == kFileNames[0]) line.append(kNoStackHint);
    return line;
  }
  if (!failure.noted) {
    append_printable(line, mesg);
    return line;
  }
  append_printable(line, failure.lname);
  line.append(" (");
  append_printable(line, failure.path);
  line.append("): ");
  append_printable(line, failure.cause);
  return line;
}

std::string file_stop_line(std::string_view lname, NameState state,
                           const kavro::FileFailure& failure, std::string_view mesg) {
  return "brindlewick: " + file_stop_reason(lname, state, failure, mesg) + "\n";
}

}  // namespace brindlewick
