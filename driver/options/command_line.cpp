#include "options/command_line.h"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <deque>

#include "kavro/kavro.h"
#include "kavro/version.h"
#include "options/file_names.h"

namespace brindlewick {
namespace {

constexpr std::string_view kUsage =
    "usage: brindlewick [--stack FILE] [OPTION...] [FILE1 FILE2] | --help | --version";

// The help up to the library's settings.
constexpr std::string_view kHelpHead =
    R"(Usage: brindlewick [--stack FILE] [OPTION...] FILE1 FILE2
       brindlewick [OPTION...]
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
  OPTION               a setting below, given as an option: --NAME VALUE or --NAME=VALUE

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

Settings of the comparison, each an option or its environment name (none set: reports,
log and status as above; an option and the environment that disagree are refused):
@SETTINGS@
A value not of its kind is refused, quoted; a number followed by other text too. An unknown
BRINDLEWICK_ name is warned of.

Exit status:
  0  every variable and step compared, whether or not cells differ
  1  with --exit-on-diff: cells, steps, variables, grids or headers differ
  2  a file could not be opened, described or read; the files do not fit together; the
     reports could not be written; the arrays could not be allocated; or a bad argument
The reason a run failed is also written on standard error, as one line; a file that stopped
it is named with its path and the cause ("INFILE2 (run2.nc): no such file"). When the log is
not standard output, what a run with an optional output set found is written there too.

Examples:
  brindlewick run1.nc run2.nc
  brindlewick --stack stack.nc run1.nc run2.nc
  brindlewick --abs-tol 1e-6 --steps 2024-07-01T00:00/2024-07-01T06:00 --summary run1.nc run2.nc
  STACK1=stack.nc INFILE1=run1.nc INFILE2=run2.nc LOGFILE=compare.log brindlewick

See brindlewick(1) for the report layout and the log.
)";

// The environment names take the help's first column; what they mean starts at this column,
// and lines are wrapped before they pass kHelpWidth characters.
constexpr std::size_t kHelpIndent = 23;
constexpr std::size_t kHelpWidth = 88;

// LINE, then the words of REST wrapped onto lines indented to the column.
void append_wrapped(std::string& text, std::string line, std::string_view rest,
                    std::size_t indent) {
  while (!rest.empty()) {
    const std::size_t blank = rest.find(' ');
    const std::string_view word = rest.substr(0, blank);
    if (line.size() + 1 + word.size() > kHelpWidth) {
      text.append(line).append("\n");
      line.assign(indent - 1, ' ');
    }
    line.append(" ").append(word);
    rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
  }
  text.append(line).append("\n");
}

// "  NAME  Y or N (default N): summary", the words wrapped onto lines indented to the column.
void append_setting(std::string& text, const kavro::LibrarySetting& s) {
  std::string line = "  ";
  line.append(s.name).append(" ");
  line.resize(std::max(line.size(), kHelpIndent), ' ');
  line.append(s.values).append(" (default ").append(s.default_value).append("):");
  append_wrapped(text, std::move(line), s.summary, kHelpIndent);
}

// The tool's settings: "  --abs-tol X, BRINDLEWICK_ABS_TOL=X", then what it does below.
constexpr std::size_t kOptionIndent = 8;

std::string option_value(const ToolSetting& s) {
  return s.kind == SettingKind::kYesNo ? std::string() : " " + std::string(s.value);
}

void append_tool_setting(std::string& text, const ToolSetting& s) {
  std::string line = "  --";
  line.append(s.option).append(option_value(s)).append(", ").append(s.env).append("=");
  line.append(s.kind == SettingKind::kYesNo ? "Y" : s.value);
  text.append(line).append("\n");
  append_wrapped(text, std::string(kOptionIndent - 1, ' '), s.help, kOptionIndent);
}

std::string make_help() {
  std::string text(kHelpHead);
  for (const kavro::LibrarySetting& s : kavro::library_settings()) append_setting(text, s);
  std::string tail(kHelpTail);
  std::string settings;
  for (const ToolSetting& s : tool_settings()) append_tool_setting(settings, s);
  const std::size_t at = tail.find("@SETTINGS@\n");
  tail.replace(at, std::string_view("@SETTINGS@\n").size(), settings);
  return text.append(tail);
}

// The logical names the file arguments stand for.
constexpr const char* kStackName = "STACK1";
constexpr const char* kInfile1Name = "INFILE1";
constexpr const char* kInfile2Name = "INFILE2";

}  // namespace

bool write_text(std::FILE* out, std::string_view text) noexcept {
  return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

std::string_view usage_line() noexcept { return kUsage; }

namespace {

// The grammar of a comparison's command line, as CLI11 reads it: the options with a value, the
// Y/N flags, and the paths. Every option is taken as often as it is given, so a repeat is refused
// here rather than one of them dropped; an option without its value is kept as an empty one.
// More options are added in the constructor, one add_* each.
class Grammar {
 public:
  Grammar() {
    app_.allow_extras(true);
    app_.set_help_flag();  // --help stands alone and is answered before the grammar
    add_value("--stack", nullptr);
    for (const ToolSetting& row : tool_settings()) {
      if (row.kind == SettingKind::kYesNo) {
        add_flag(row);
      } else {
        add_value("--" + std::string(row.option), &row);
      }
    }
    app_.add_option("paths", paths_);
  }

  // Parses ARGV into LINE; false with LINE's refusal set.
  bool parse(int argc, const char* const* argv, CommandLine& line) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::reverse(args.begin(), args.end());  // CLI11 takes them from the back
    try {
      app_.parse(args);
    } catch (const CLI::ParseError& e) {
      return refuse(line, Refusal::kUnexpected, e.what());
    }
    if (!app_.remaining().empty()) return refuse(line, Refusal::kUnexpected, app_.remaining()[0]);
    for (Valued& v : valued_) {
      if (v.values.empty()) continue;
      if (v.values.size() > 1) return refuse(line, Refusal::kUnexpected, v.name);
      if (v.values[0].empty()) return refuse(line, Refusal::kNeedsValue, v.name);
      if (v.row == nullptr) {
        line.stack = v.values[0];
        continue;
      }
      if (std::string why = setting_problem(*v.row, v.values[0]); !why.empty()) {
        line.why = std::move(why);
        return refuse(line, Refusal::kBadValue, v.name);
      }
      line.settings.emplace_back(v.row, v.values[0]);
    }
    return take_paths(line);
  }

 private:
  struct Valued {
    std::string name;        // --stack, --abs-tol
    const ToolSetting* row;  // null for --stack
    std::vector<std::string> values;
  };
  void add_value(const std::string& name, const ToolSetting* row) {
    Valued& v = valued_.emplace_back(Valued{name, row, {}});
    app_.add_option(name, v.values)
        ->expected(0, 1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
  }

  // A Y/N setting: the option alone gives Y, --NAME=N gives N.
  void add_flag(const ToolSetting& row) {
    Valued& v = valued_.emplace_back(Valued{"--" + std::string(row.option), &row, {}});
    app_.add_flag(v.name + "{Y}", v.values)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  }

  static bool refuse(CommandLine& line, Refusal why, std::string refused) {
    line.request = Request::kUsageError;
    line.refusal = why;
    line.refused = std::move(refused);
    return false;
  }

  // No path, or two: the data files. An empty one, or a third, is refused; so are two folders.
  bool take_paths(CommandLine& line) {
    for (std::size_t k = 0; k < paths_.size(); ++k) {
      if (paths_[k].empty() || k == 2) return refuse(line, Refusal::kUnexpected, paths_[k]);
    }
    if (paths_.size() == 1) return refuse(line, Refusal::kOneDataFile, paths_[0]);
    if (paths_.empty()) return true;
    line.file1 = paths_[0];
    line.file2 = paths_[1];
    if (names_folder(paths_[0]) && names_folder(paths_[1])) {
      return refuse(line, Refusal::kFolders, paths_[0] + "\" and \"" + paths_[1]);
    }
    return true;
  }

  static bool names_folder(const std::string& path) noexcept {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  CLI::App app_;
  // CLI11 keeps pointers to these: a deque never moves what it holds.
  std::deque<Valued> valued_;
  std::vector<std::string> paths_;
};

}  // namespace

CommandLine parse_command_line(int argc, const char* const* argv) noexcept {
  if (argc <= 1) return {};
  const std::string_view first = argv[1];
  CommandLine line;
  // The help and version requests stand alone.
  if (first == "--help" || first == "-h" || first == "--version") {
    if (argc > 2) {
      line.request = Request::kUsageError;
      line.refused = argv[2];
      return line;
    }
    line.request = first == "--version" ? Request::kVersion : Request::kHelp;
    return line;
  }
  try {
    Grammar grammar;
    (void)grammar.parse(argc, argv, line);
  } catch (const std::exception& e) {
    line = {};
    line.request = Request::kUsageError;
    line.refused = e.what();
  }
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
    case Refusal::kNeedsValue:
      text.append(line.refused).append(" needs ");
      text.append(line.refused == "--stack" ? "a FILE" : "a value");
      break;
    case Refusal::kBadValue:
      text.append(line.refused).append(": ").append(line.why);
      break;
    case Refusal::kFolders:
      text.append("\"");
      append_printable(text, line.refused);
      text.append("\" are folders; brindlewick compares two files");
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

// One argument against the environment: the same value, or none, is fine. ARGUMENT says what
// gave the value ("the argument", "--abs-tol").
bool set_name(std::string_view name, const std::optional<std::string>& value,
              std::string_view argument, std::FILE* err) noexcept {
  if (!value) return true;
  const std::string n(name);
  const char* env = std::getenv(n.c_str());
  if (env != nullptr && std::string_view(env) != *value) {
    std::string text = "brindlewick: ";
    text.append(name).append(" is set to \"");
    append_printable(text, env);
    text.append("\" in the environment but ").append(argument);
    text.append(argument == "the argument" ? " names \"" : " gives \"");
    append_printable(text, *value);
    text.append("\"; give one or the other\n");
    write_text(err, text);
    return false;
  }
  if (env != nullptr || ::setenv(n.c_str(), value->c_str(), 1) == 0) return true;
  write_text(err, "brindlewick: could not set " + n + "\n");
  return false;
}

}  // namespace

bool apply_arguments(const CommandLine& line, std::FILE* err) noexcept {
  assert(line.request == Request::kCompare && "only a comparison has files");
  if (!set_name(kStackName, line.stack, "the argument", err) ||
      !set_name(kInfile1Name, line.file1, "the argument", err) ||
      !set_name(kInfile2Name, line.file2, "the argument", err)) {
    return false;
  }
  for (const auto& [row, value] : line.settings) {
    const std::string option = "--" + std::string(row->option);
    if (!set_name(row->env, value, option, err)) return false;
  }
  return true;
}

}  // namespace brindlewick
