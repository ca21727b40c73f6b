#include "command_line.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>

#include "file_names.h"
#include "kavro/kavro.h"
#include "kavro/version.h"

namespace brindlewick {
namespace {

constexpr std::string_view kStackEquals = "--stack=";

constexpr std::string_view kUsage =
    "usage: brindlewick [--stack FILE] [FILE1 FILE2] | --help | --version";

// The help up to the library's settings.
constexpr std::string_view kHelpHead =
    R"(Usage: brindlewick [--stack FILE] FILE1 FILE2
       brindlewick
       brindlewick --help | -h | --version

Compares every variable of two gridded data files cell by cell, time step by time step, and
prints a located report on standard output for every cell whose values differ. The two data
files and the location file are named by arguments or by environment variables; an argument
and the environment must not name different files. brindlewick reads no input.

Arguments:
  --stack FILE         the location file (sets STACK1); also --stack=FILE; without a
                       location file the locations are computed from the data files' grid
                       projection
  FILE1 FILE2          the two data files (set INFILE1 and INFILE2)

Environment (an unset name stands for the file of that name in the working directory):
  STACK1               location file: per-cell LATITUDE, LONGITUDE, XLOCA, YLOCA (REAL),
                       COL and ROW (INTEGER) on the data files' grid (make_stack writes
                       one); a run named only by the environment needs it
  INFILE1, INFILE2     the two data files; every variable of INFILE2 is compared at every
                       time step of INFILE2
  LOGFILE              path of the log; unset: standard output, with the reports; /dev/null
                       discards it; any other path must not exist yet
  SCENFILE             scenario description, recorded in the log
  EXECUTION_ID         run identifier, recorded in the log
)";

// After the library's settings, which the library lists.
constexpr std::string_view kHelpTail =
    R"(Files are netCDF classic (CDF-1, CDF-2, CDF-5) or netCDF-4 files laid out as the library
writes them, or the library's native binary files ("BIN:PATH").

Optional outputs (none set: reports, log and status as above):
  BRINDLEWICK_SUMMARY=Y        per-variable summary and closing table in the log
  BRINDLEWICK_MAPS=DIR         a PNG map per differing variable, in an existing DIR
  BRINDLEWICK_CSV=PATH         one CSV row per differing cell (PATH must not exist yet)
  BRINDLEWICK_EXIT_ON_DIFF=Y   exit status 1 when any cell differed
  BRINDLEWICK_MAX_REPORTS=N    at most N reports on standard output
  BRINDLEWICK_ABS_TOL=X        report a cell only beyond this absolute difference
  BRINDLEWICK_REL_TOL=X        ... and beyond this relative difference
  BRINDLEWICK_FORMAT=labelled  one line per differing cell: variable, date:time, layer,
                               column, row, latitude, longitude, both values, difference;
                               then totals per variable and overall
  BRINDLEWICK_VARIABLES=A,B    compare only these variables
  BRINDLEWICK_STEPS=FIRST:LAST compare only the steps from FIRST to LAST (each
                               YYYYDDD:HHMMSS), both included
  BRINDLEWICK_NAN_EQUAL=Y      a NaN against a NaN is not reported
  BRINDLEWICK_JSON=PATH        the result as JSON (PATH must not exist yet): status, reason,
                               settings, steps, per-variable summary, totals
  BRINDLEWICK_ONLY_COMMON=Y    compare only the variables and steps both files hold; list the
                               others instead of ending the run
  BRINDLEWICK_IGNORE_ATTRIBUTES=A,B  header attributes not compared, beside the dates,
                               descriptions and history; ALL: none compared; NONE: all
  BRINDLEWICK_VERDICT_IGNORES=C,D  kinds of difference the verdict leaves out: cells,
                               steps, variables, grid, header
A number followed by other text is refused; an unknown BRINDLEWICK_ name is warned of.

Exit status:
  0  every variable and step compared, whether or not cells differ
  1  with BRINDLEWICK_EXIT_ON_DIFF=Y: cells, steps, variables, grids or headers differ
  2  a file could not be opened, described or read; the files do not fit together; the
     reports could not be written; the arrays could not be allocated; or a bad argument
The reason a run failed is also written on standard error, as one line; a file that stopped
it is named with its path and the cause ("INFILE2 (run2.nc): no such file"). When the log is
not standard output, what a run with an optional output set found is written there too.

Examples:
  brindlewick run1.nc run2.nc
  brindlewick --stack stack.nc run1.nc run2.nc
  STACK1=stack.nc INFILE1=run1.nc INFILE2=run2.nc LOGFILE=compare.log brindlewick

See brindlewick(1) for the report layout and the log.
)";

// The environment names take the help's first column; what they mean starts at this column,
// and lines are wrapped before they pass kHelpWidth characters.
constexpr std::size_t kHelpIndent = 23;
constexpr std::size_t kHelpWidth = 88;

// "  NAME  Y or N (default N): summary", the words wrapped onto lines indented to the column.
void append_setting(std::string& text, const kavro::LibrarySetting& s) {
  std::string line = "  ";
  line.append(s.name).append(" ");
  line.resize(std::max(line.size(), kHelpIndent), ' ');
  line.append(s.values).append(" (default ").append(s.default_value).append("):");
  std::string_view rest = s.summary;
  while (!rest.empty()) {
    const std::size_t blank = rest.find(' ');
    const std::string_view word = rest.substr(0, blank);
    if (line.size() + 1 + word.size() > kHelpWidth) {
      text.append(line).append("\n");
      line.assign(kHelpIndent - 1, ' ');
    }
    line.append(" ").append(word);
    rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
  }
  text.append(line).append("\n");
}

std::string make_help() {
  std::string text(kHelpHead);
  for (const kavro::LibrarySetting& s : kavro::library_settings()) append_setting(text, s);
  return text.append(kHelpTail);
}

// The logical names the file arguments stand for.
constexpr const char* kStackName = "STACK1";
constexpr const char* kInfile1Name = "INFILE1";
constexpr const char* kInfile2Name = "INFILE2";

bool write_text(std::FILE* out, std::string_view text) noexcept {
  return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

}  // namespace

void append_printable(std::string& line, std::string_view text) {
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    line.push_back(u < 0x20 || u == 0x7f ? '?' : c);
  }
}

std::string_view usage_line() noexcept { return kUsage; }

CommandLine parse_command_line(int argc, const char* const* argv) noexcept {
  if (argc <= 1) return {};
  const std::string_view first = argv[1];
  // The help and version requests stand alone.
  if (first == "--help" || first == "-h" || first == "--version") {
    if (argc > 2) return {Request::kUsageError, Refusal::kUnexpected, argv[2]};
    CommandLine answer_line;
    answer_line.request = first == "--version" ? Request::kVersion : Request::kHelp;
    return answer_line;
  }
  CommandLine line;
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--stack" && line.stack == nullptr) {
      if (i + 1 >= argc) return {Request::kUsageError, Refusal::kStackWithoutFile, arg};
      line.stack = argv[++i];
      continue;
    }
    // The GNU form, --stack=FILE.
    if (arg.starts_with(kStackEquals) && line.stack == nullptr) {
      if (arg.size() == kStackEquals.size()) {
        return {Request::kUsageError, Refusal::kStackWithoutFile, arg};
      }
      line.stack = argv[i] + kStackEquals.size();
      continue;
    }
    // An option, a third file or an empty name is not a file argument.
    if (arg.empty() || arg[0] == '-' || files == 2) {
      return {Request::kUsageError, Refusal::kUnexpected, arg};
    }
    (files == 0 ? line.file1 : line.file2) = argv[i];
    ++files;
  }
  if (files == 1) return {Request::kUsageError, Refusal::kOneDataFile, line.file1};
  return line;
}

const std::string& help_text() {
  static const std::string text = make_help();
  return text;
}

std::string version_text(std::string_view library, std::string_view netcdf) {
  // netCDF's text goes on with the date it was built; its first word is the version.
  const std::string_view netcdf_number = kavro::first_word(netcdf);
  std::string text = "brindlewick " KAVRO_VERSION_STRING "\n";
  text.append("kavro library ").append(library).append("\n");
  text.append("netCDF library ").append(netcdf_number).append("\n");
  return text;
}

std::string usage_error(const CommandLine& line) {
  std::string text = "brindlewick: ";
  switch (line.refusal) {
    case Refusal::kUnexpected:
      text.append("unexpected argument \"");
      append_printable(text, line.refused);
      text.append("\"");
      break;
    case Refusal::kStackWithoutFile:
      text.append("--stack needs a FILE");
      break;
    case Refusal::kOneDataFile:
      text.append("two data files are compared, only \"");
      append_printable(text, line.refused);
      text.append("\" was given");
      break;
  }
  text.append("; ").append(kUsage).append("\n");
  return text;
}

int answer(const CommandLine& line, std::FILE* out, std::FILE* err) noexcept {
  assert(line.request != Request::kCompare && "a comparison is not an answer");
  if (line.request == Request::kUsageError) {
    write_text(err, usage_error(line));
    return kavro::kExitFailure;
  }
  const bool written = line.request == Request::kHelp
                           ? write_text(out, help_text())
                           : write_text(out, version_text(kavro_version(), kavro_netcdf_version()));
  if (!written) {
    write_text(err, "brindlewick: could not write to standard output\n");
    return kavro::kExitFailure;
  }
  return kavro::kExitOk;
}

namespace {

// One argument against the environment: the same value, or none, is fine.
bool set_name(const char* name, const char* value, std::FILE* err) noexcept {
  if (value == nullptr) return true;
  const char* env = std::getenv(name);
  if (env != nullptr && std::string_view(env) != value) {
    std::string text = "brindlewick: ";
    text.append(name).append(" is set to \"");
    append_printable(text, env);
    text.append("\" in the environment but the argument names \"");
    append_printable(text, value);
    text.append("\"; give one or the other\n");
    write_text(err, text);
    return false;
  }
  if (env != nullptr || ::setenv(name, value, 1) == 0) return true;
  write_text(err, std::string("brindlewick: could not set ") + name + "\n");
  return false;
}

}  // namespace

bool apply_file_arguments(const CommandLine& line, std::FILE* err) noexcept {
  assert(line.request == Request::kCompare && "only a comparison has files");
  return set_name(kStackName, line.stack, err) && set_name(kInfile1Name, line.file1, err) &&
         set_name(kInfile2Name, line.file2, err);
}

}  // namespace brindlewick
