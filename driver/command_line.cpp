#include "command_line.h"

#include <cassert>

#include "kavro/kavro.h"
#include "kavro/version.h"

namespace brindlewick {
namespace {

constexpr std::string_view kUsage = "usage: brindlewick [--help | --version]";

constexpr std::string_view kHelp =
    R"(Usage: brindlewick [--help | --version]

Compares every variable of two gridded data files cell by cell, time step by time step, and
prints a located report on standard output for every cell whose values differ. The files are
named by environment variables; brindlewick takes no other arguments and reads no input.

Environment:
  STACK1               location file: per-cell LATITUDE, LONGITUDE, XLOCA, YLOCA (REAL),
                       COL and ROW (INTEGER)
  INFILE1, INFILE2     the two data files; every variable of INFILE2 is compared at every
                       time step of INFILE2
  LOGFILE              path of the log; unset: standard output, with the reports; /dev/null
                       discards it; any other path must not exist yet
  SCENFILE             scenario description, recorded in the log
  EXECUTION_ID         run identifier, recorded in the log
  KAVRO_CHECK_HEADERS  Y or N (default N): check file headers on open
  KAVRO_DIRECT_READ    Y or N (default Y): N reads every value through the netCDF
                       library instead of straight from the file (for diagnosis)

Optional outputs (none set: reports, log and status as above):
  BRINDLEWICK_SUMMARY=Y        per-variable summary and closing table in the log
  BRINDLEWICK_MAPS=DIR         a PNG map per differing variable, in an existing DIR
  BRINDLEWICK_CSV=PATH         one CSV row per differing cell (PATH must not exist yet)
  BRINDLEWICK_EXIT_ON_DIFF=Y   exit status 1 when any cell differed
  BRINDLEWICK_MAX_REPORTS=N    at most N reports on standard output
  BRINDLEWICK_ABS_TOL=X        report a cell only beyond this absolute difference
  BRINDLEWICK_REL_TOL=X        ... and beyond this relative difference

Exit status:
  0  every variable and step compared, whether or not cells differ
  1  with BRINDLEWICK_EXIT_ON_DIFF=Y: every variable and step compared, and cells differ
  2  a file could not be opened, described or read; the files do not fit together; the
     reports could not be written; the arrays could not be allocated; or a bad argument

Example:
  STACK1=stack.nc INFILE1=run1.nc INFILE2=run2.nc LOGFILE=compare.log brindlewick

See brindlewick(1) for the report layout and the log.
)";

bool write_text(std::FILE* out, std::string_view text) noexcept {
  return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

}  // namespace

CommandLine parse_command_line(int argc, const char* const* argv) noexcept {
  if (argc <= 1) return {};
  const std::string_view first = argv[1];
  if (argc > 2) return {Request::kUsageError, argv[2]};
  if (first == "--help") return {Request::kHelp, {}};
  if (first == "--version") return {Request::kVersion, {}};
  return {Request::kUsageError, first};
}

std::string_view help_text() noexcept { return kHelp; }

std::string version_text(std::string_view library, std::string_view netcdf) {
  // netCDF's text goes on with the date it was built; its first word is the version.
  const std::string_view netcdf_number = kavro::first_word(netcdf);
  std::string text = "brindlewick " KAVRO_VERSION_STRING "\n";
  text.append("kavro library ").append(library).append("\n");
  text.append("netCDF library ").append(netcdf_number).append("\n");
  return text;
}

std::string usage_error(std::string_view refused) {
  std::string line = "brindlewick: unexpected argument \"";
  for (const char c : refused) {
    const auto u = static_cast<unsigned char>(c);
    line.push_back(u < 0x20 || u == 0x7f ? '?' : c);
  }
  line.append("\"; ").append(kUsage).append("\n");
  return line;
}

int answer(const CommandLine& line, std::FILE* out, std::FILE* err) noexcept {
  assert(line.request != Request::kCompare && "a comparison is not an answer");
  if (line.request == Request::kUsageError) {
    write_text(err, usage_error(line.refused));
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

}  // namespace brindlewick
