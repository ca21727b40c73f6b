// The three files' logical names as a person meets them: an unset name stands for the file of
// that name in the working directory, and a file that stops the run is said on standard error
// with its logical name, its path and the cause the log gives.
#ifndef BRINDLEWICK_FILE_NAMES_H
#define BRINDLEWICK_FILE_NAMES_H

#include <array>
#include <string>
#include <string_view>

#include "kavro/kavro.h"

namespace brindlewick {

inline constexpr std::array<std::string_view, 3> kFileNames = {"STACK1", "INFILE1", "INFILE2"};

// What the line for a missing STACK1 adds.
inline constexpr std::string_view kNoStackHint =
    "; \"brindlewick FILE1 FILE2\" compares two data files without a location file";

// What the working directory and the environment say about one logical name.
struct NameState {
  bool set = false;        // the environment sets it (to anything)
  bool file_here = false;  // a file of that very name is in the working directory
};
NameState name_state(std::string_view lname) noexcept;

// Whether the run has a location file: given with --stack (STACK_ARGUMENT not null), set in
// STACK1, or a file named STACK1 here.
bool location_file_given(const char* stack_argument) noexcept;

// Whether nothing names any of the three files: none set, none here.
bool nothing_named() noexcept;

// The line on standard error, newline included, for a file that stopped the run: the
// friendlier line for an unset name with no file of that name; else "LNAME (PATH): CAUSE"
// from the library's note of the failure; else MESG, the log's abort text.
std::string file_stop_line(std::string_view lname, NameState state,
                           const kavro::FileFailure& failure, std::string_view mesg);
// The same without the program's name and the newline: the failed run's reason.
std::string file_stop_reason(std::string_view lname, NameState state,
                             const kavro::FileFailure& failure, std::string_view mesg);

}  // namespace brindlewick

#endif  // BRINDLEWICK_FILE_NAMES_H
