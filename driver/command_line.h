// The tool's command line. It compares files named by environment variables and takes no
// arguments; "--help" and "--version" alone print their text and end the run with status 0,
// and anything else is refused with one line on standard error and status 2, all before the
// library starts, so no file is opened, not even the log.
#ifndef BRINDLEWICK_COMMAND_LINE_H
#define BRINDLEWICK_COMMAND_LINE_H

#include <cstdio>
#include <string>
#include <string_view>

namespace brindlewick {

enum class Request { kCompare, kHelp, kVersion, kUsageError };

struct CommandLine {
  Request request = Request::kCompare;
  std::string_view refused;  // kUsageError: the first argument refused
};

CommandLine parse_command_line(int argc, const char* const* argv) noexcept;

// The texts, exactly as printed.
std::string_view help_text() noexcept;
std::string version_text(std::string_view library, std::string_view netcdf);
// One line: control characters in the refused argument show as '?'.
std::string usage_error(std::string_view refused);

// Prints what a request other than kCompare asks for and returns the exit status: 0 for the
// help and version texts once written, 2 for a usage error or a text that could not be written.
int answer(const CommandLine& line, std::FILE* out, std::FILE* err) noexcept;

}  // namespace brindlewick

#endif  // BRINDLEWICK_COMMAND_LINE_H
