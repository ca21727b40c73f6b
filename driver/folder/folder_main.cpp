#include "folder/folder_main.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "folder/accept.h"
#include "folder/folder_json.h"
#include "folder/folder_lines.h"
#include "options/command_line.h"
#include "options/setting_table.h"
#include "outputs/html_report.h"
#include "outputs/junit_report.h"
#include "run/tolerances.h"

namespace brindlewick {
namespace {

// The folder options that take a value, so their value is not read as a folder.
constexpr std::string_view kValued[] = {"--stack",         "--jobs",    "-j",     "--include",
                                        "--exclude-files", "--reports", "--json", "--note",
                                        "--junit",         "--html"};

// The settings whose meaning the folder run owns, refused with what to use instead; --json is
// the folder's document. Every other setting of the table is handed to every pair.
struct OwnedSetting {
  std::string_view option;
  std::string_view refusal;
};
constexpr OwnedSetting kOwned[] = {
    {"csv", "--csv is one pair's file; a folder run writes each pair's reports with --reports"},
    {"maps", "--maps is one pair's folder; a folder run draws the maps into its --html page"},
    {"exit-on-diff",
     "--exit-on-diff is always on in a folder run: it ends with status 1 when the "
     "folders differ"},
};

// The row of kOwned that refuses SETTING; null when the pairs take it.
const OwnedSetting* owned_refusal(const ToolSetting& setting) noexcept {
  for (const OwnedSetting& owned : kOwned) {
    if (setting.option == owned.option) return &owned;
  }
  return nullptr;
}

constexpr const char* kFolderDescription =
    "Compares every file of two folders, paired by their paths relative to each folder "
    "(recursively), each pair as a single-pair run compares two files; or the files of DIR1 "
    "against the files and glob patterns listed after it. One line per pair on standard "
    "output, then the totals. Exit status: 0 every pair identical, 1 a pair differs or a file "
    "is on one side only, 2 a pair could not be compared.";

// The progress line on standard error, drawn only when it is a terminal.
class ProgressLine {
 public:
  ProgressLine() : shown_(::isatty(STDERR_FILENO) == 1) {}
  void draw(std::size_t done, std::size_t total, std::size_t differ) {
    if (!shown_) return;
    last_ = progress_line(done, total, differ);
    write_text(stderr, last_);
  }
  // Before a line on standard output reaches the same terminal.
  void clear() {
    if (!shown_ || last_.empty()) return;
    write_text(stderr, "\r" + std::string(last_.size() - 1, ' ') + "\r");
  }
  void end() {
    if (shown_ && !last_.empty()) write_text(stderr, "\n");
  }

 private:
  bool shown_;
  std::string last_;
};

void say_error(const std::string& text) { std::fprintf(stderr, "brindlewick: %s\n", text.c_str()); }

// The run's files, each from the result alone, each tried whether or not one before it could
// be written; false when one could not, each such said on standard error.
bool write_outputs(const FolderResult& result, const FolderCommand& command) {
  using Writer = bool (*)(const FolderResult&, const std::string&, std::string&);
  const std::pair<const std::string*, Writer> outputs[] = {
      {&command.json_path, write_folder_json},
      {&command.junit_path, write_junit},
      {&command.html_path, write_html},
  };
  bool written = true;
  for (const auto& [path, write] : outputs) {
    std::string error;
    if (path->empty() || write(result, *path, error)) continue;
    say_error(error);
    written = false;
  }
  return written;
}

// The refusal of an output file that exists already, before any pair runs; empty when none.
std::string existing_output(const FolderCommand& command) {
  const std::pair<std::string_view, const std::string*> outputs[] = {
      {"--json", &command.json_path},
      {"--junit", &command.junit_path},
      {"--html", &command.html_path},
  };
  for (const auto& [option, path] : outputs) {
    std::error_code ec;
    if (path->empty() || !std::filesystem::exists(*path, ec)) continue;  // else its writer says
    std::string text = "brindlewick: ";
    text.append(option).append(": \"");
    append_printable(text, *path);
    return text.append("\" already exists\n");
  }
  return {};
}

// The refusal of a tolerances file that cannot be read or holds no tolerances, once for the
// run rather than once per pair; empty when it reads.
std::string unreadable_tolerances(const FolderCommand& command) {
  for (const auto& [row, value] : command.settings) {
    if (row->env != "BRINDLEWICK_TOLERANCES" || value.empty()) continue;
    ToleranceTable table;
    std::string why;
    if (!read_tolerance_file(value, table, why)) return "brindlewick: --tolerances: " + why + "\n";
  }
  return {};
}

// Whether ARG is an option whose value is the next argument: the folder run's own, and the
// tool's settings but the yes/no ones.
bool takes_value(std::string_view arg) noexcept {
  for (const std::string_view valued : kValued) {
    if (arg == valued) return true;
  }
  if (!arg.starts_with("--")) return false;
  arg.remove_prefix(2);
  for (const ToolSetting& s : tool_settings()) {
    if (arg == s.option) return s.kind != SettingKind::kYesNo;
  }
  return false;
}

}  // namespace

bool is_folder_run(int argc, const char* const* argv) noexcept {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.empty()) return false;
    if (arg[0] == '-') {
      if (takes_value(arg)) ++i;  // its value follows
      continue;
    }
    std::error_code ec;
    return std::filesystem::is_directory(argv[i], ec);
  }
  return false;
}

bool parse_folder_command(int argc, const char* const* argv, FolderCommand& command,
                          std::string& message, int& status) {
  CLI::App app(kFolderDescription, "brindlewick");
  std::vector<std::string> paths;
  app.add_option("DIR1", command.run.dir1, "the baseline folder")->required();
  app.add_option("DIR2", paths, "the folder to compare with DIR1, or files and glob patterns")
      ->required();
  app.add_option("-j,--jobs", command.run.jobs, "pairs compared at once (default: the cores)")
      ->check(CLI::Range(1U, 4096U));
  app.add_option("--include", command.run.filter.include,
                 "pair only the files whose relative path matches this glob (repeatable)");
  app.add_option("--exclude-files", command.run.filter.exclude,
                 "leave out the files whose relative path matches this glob (repeatable)");
  app.add_option("--reports", command.run.reports_dir,
                 "write each pair's reports to DIR/RELATIVE/PATH.txt");
  app.add_option("--stack", command.run.stack,
                 "the location file of every pair (default: from each pair's grid)");
  app.add_option("--json", command.json_path, "the folder run's result as JSON (a new file)");
  app.add_flag("--accept", command.accept,
               "copy the differing and new files of DIR2 into DIR1, keeping the files replaced");
  app.add_option("--note", command.note, "the note of an accept, in DIR1's accepted log");
  app.add_option("--junit", command.junit_path,
                 "the folder run as a JUnit XML report (a new file)");
  app.add_option("--html", command.html_path,
                 "the folder run as one HTML page with each differing variable's map and plot "
                 "(a new file)");
  // The single-pair settings, each handed to every pair; the values are kept in the table's
  // order (a vector sized once: CLI11 keeps pointers to them).
  const auto rows = tool_settings();
  std::vector<std::string> values(rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const ToolSetting& row = rows[k];
    if (row.option == "json") continue;
    const std::string name = "--" + std::string(row.option);
    CLI::Option* option = row.kind == SettingKind::kYesNo
                              ? app.add_flag(name + "{Y}", values[k], std::string(row.help))
                              : app.add_option(name, values[k], std::string(row.help))
                                    ->type_name(std::string(row.value));
    // Taken only to be refused with what to use instead: not in the help.
    if (owned_refusal(row) != nullptr) option->group("");
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    message = app.help();
    status = 0;
    return false;
  } catch (const CLI::ParseError& e) {
    message = std::string("brindlewick: ") + e.what() + "\n";
    status = 2;
    return false;
  }
  if (!command.note.empty() && !command.accept) {
    message = "brindlewick: --note is the note of an --accept\n";
    status = 2;
    return false;
  }
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::string name = "--" + std::string(rows[k].option);
    if (app.count(name) == 0) continue;
    if (const OwnedSetting* owned = owned_refusal(rows[k])) {
      message = "brindlewick: " + std::string(owned->refusal) + "\n";
      status = 2;
      return false;
    }
    if (std::string why = setting_problem(rows[k], values[k]); !why.empty()) {
      message = "brindlewick: " + name + ": " + why + "\n";
      status = 2;
      return false;
    }
    command.settings.emplace_back(&rows[k], std::move(values[k]));
  }
  command.run.side2 = std::move(paths);
  command.run.keep_pair_json = !command.json_path.empty();
  return true;
}

int folder_main(int argc, const char* const* argv) {
  FolderCommand command;
  std::string message;
  int status = 0;
  if (!parse_folder_command(argc, argv, command, message, status)) {
    write_text(status == 0 ? stdout : stderr, message);
    return status;
  }
  for (const std::string& refusal : {existing_output(command), unreadable_tolerances(command)}) {
    if (refusal.empty()) continue;
    write_text(stderr, refusal);
    return 2;
  }
  // The settings reach every pair through the environment its worker inherits, checked against
  // the environment as a single-pair run checks them.
  CommandLine settings;
  settings.settings = command.settings;
  if (!apply_arguments(settings, stderr)) return 2;
  std::string error;
  // The maps of the HTML page, on disk until the page is written.
  TempFolder maps;
  if (!command.html_path.empty()) {
    if (!maps.make(false, error)) {
      say_error(error);
      return 2;
    }
    command.run.maps_dir = maps.path();
  }
  ProgressLine progress;
  FolderResult result;
  const bool ran = run_folder(
      command.run, result,
      [&](const PairResult& pair) {
        progress.clear();
        write_text(stdout, pair_line(pair));
      },
      [&](std::size_t done, std::size_t total, std::size_t differ) {
        progress.draw(done, total, differ);
      },
      error);
  progress.end();
  if (!ran) {
    say_error(error);
    return 2;
  }
  const FolderTotals totals = folder_totals(result);
  if (!write_text(stdout, totals_line(totals))) {
    say_error("could not write to standard output");
    return 2;
  }
  int exit_status = folder_exit_status(totals);
  if (!write_outputs(result, command)) exit_status = 2;
  if (command.accept) {
    std::size_t accepted = 0;
    const bool done = accept_baseline(result, command.note, accepted, error);
    std::fprintf(stderr, "brindlewick: %zu file%s accepted into %s\n", accepted,
                 accepted == 1 ? "" : "s", result.dir1.c_str());
    if (!done) {
      say_error(error);
      exit_status = 2;
    }
  }
  return exit_status;
}

}  // namespace brindlewick
