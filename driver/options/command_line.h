// The tool's command line. The files are named by environment variables or by arguments:
// `brindlewick [--stack FILE] [OPTION...] FILE1 FILE2` sets STACK1, INFILE1 and INFILE2 for
// this run, and every setting of the table (setting_table.h) has a long option beside its
// environment name (`--abs-tol X` sets BRINDLEWICK_ABS_TOL, `--summary` sets
// BRINDLEWICK_SUMMARY to Y). "--help" (or "-h") and "--version" alone print their text and end
// the run with status 0. Anything else is refused with one line on standard error and status
// 2, and so is a value not of its kind and an argument that contradicts the environment; all
// before the library starts, so no file is opened, not even the log. Without a location file
// the locations come from the grid.
#ifndef BRINDLEWICK_COMMAND_LINE_H
#define BRINDLEWICK_COMMAND_LINE_H

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "options/setting_table.h"

namespace brindlewick {

enum class Request { kCompare, kHelp, kVersion, kUsageError };

// What a usage error is about.
enum class Refusal {
  kUnexpected,   // REFUSED: an argument that is no option, or a third file, or a repeat
  kNeedsValue,   // REFUSED: an option given without its value
  kOneDataFile,  // REFUSED: the only file given
  kBadValue,     // REFUSED: the option, and WHY: what is wrong with its value
  kFolders,      // both file arguments are folders
};

struct CommandLine {
  Request request = Request::kCompare;
  Refusal refusal = Refusal::kUnexpected;
  std::string refused;  // kUsageError: the argument refused
  std::string why;      // kBadValue: why its value is refused
  // kCompare: the files given as arguments; unset when not given.
  std::optional<std::string> stack;
  std::optional<std::string> file1;
  std::optional<std::string> file2;
  // kCompare: the settings given as options, with their values, in the table's order.
  std::vector<std::pair<const ToolSetting*, std::string>> settings;
};

CommandLine parse_command_line(int argc, const char* const* argv) noexcept;

// Writes TEXT to OUT and flushes it; false when either fails.
bool write_text(std::FILE* out, std::string_view text) noexcept;

// The texts, exactly as printed. The help lists the library's settings as the library does.
const std::string& help_text();
std::string version_text(std::string_view library, std::string_view netcdf);
// One line: control characters in the refused argument show as '?'.
std::string usage_error(const CommandLine& line);
// "usage: brindlewick ...", without a newline.
std::string_view usage_line() noexcept;

// Prints what a request other than kCompare asks for and returns the exit status: 0 for the
// help and version texts once written, 2 for a usage error or a text that could not be written.
int answer(const CommandLine& line, std::FILE* out, std::FILE* err) noexcept;

// Sets the logical names that file arguments stand for (STACK1, INFILE1, INFILE2) and the
// settings given as options in this process's environment. Refuses, with one line on `err`,
// an argument whose name the environment already sets to a different value. Returns true when
// the comparison may start.
bool apply_arguments(const CommandLine& line, std::FILE* err) noexcept;

}  // namespace brindlewick

#endif  // BRINDLEWICK_COMMAND_LINE_H
