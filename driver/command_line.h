// The tool's command line. The files are named by environment variables or by arguments:
// `brindlewick [--stack FILE] FILE1 FILE2` sets STACK1, INFILE1 and INFILE2 for this run.
// "--help" (or "-h") and "--version" alone print their text and end the run with status 0.
// Anything else is refused with one line on standard error and status 2, and so is an
// argument that contradicts the environment; all before the library starts, so no file is
// opened, not even the log. Without a location file the locations come from the grid.
#ifndef BRINDLEWICK_COMMAND_LINE_H
#define BRINDLEWICK_COMMAND_LINE_H

#include <cstdio>
#include <string>
#include <string_view>

namespace brindlewick {

enum class Request { kCompare, kHelp, kVersion, kUsageError };

// What a usage error is about.
enum class Refusal { kUnexpected, kStackWithoutFile, kOneDataFile };

struct CommandLine {
  Request request = Request::kCompare;
  Refusal refusal = Refusal::kUnexpected;
  std::string_view refused;  // kUsageError: the argument refused
  // kCompare: the files given as arguments; null when not given.
  const char* stack = nullptr;
  const char* file1 = nullptr;
  const char* file2 = nullptr;
};

CommandLine parse_command_line(int argc, const char* const* argv) noexcept;

// The texts, exactly as printed. The help lists the library's settings as the library does.
const std::string& help_text();
std::string version_text(std::string_view library, std::string_view netcdf);
// One line: control characters in the refused argument show as '?'.
std::string usage_error(const CommandLine& line);
// "usage: brindlewick ...", without a newline.
std::string_view usage_line() noexcept;
// Appends TEXT with control characters shown as '?', so a line stays one line.
void append_printable(std::string& line, std::string_view text);

// Prints what a request other than kCompare asks for and returns the exit status: 0 for the
// help and version texts once written, 2 for a usage error or a text that could not be written.
int answer(const CommandLine& line, std::FILE* out, std::FILE* err) noexcept;

// Sets the logical names that file arguments stand for (STACK1, INFILE1, INFILE2) in this
// process's environment. Refuses, with one line on `err`, an argument whose name the
// environment already sets to a different value. Returns true when the comparison may start.
bool apply_file_arguments(const CommandLine& line, std::FILE* err) noexcept;

}  // namespace brindlewick

#endif  // BRINDLEWICK_COMMAND_LINE_H
