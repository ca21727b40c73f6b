// The folder run's command line: `brindlewick [OPTIONS] DIR1 DIR2` or
// `brindlewick [OPTIONS] DIR1 FILE_OR_GLOB...`, recognised by its first file argument being an
// existing folder. The single-pair command line is left exactly as it is.
#ifndef BRINDLEWICK_FOLDER_MAIN_H
#define BRINDLEWICK_FOLDER_MAIN_H

#include <string>
#include <utility>
#include <vector>

#include "folder/folder_run.h"
#include "options/setting_table.h"

namespace brindlewick {

struct FolderCommand {
  FolderOptions run;
  std::string json_path;   // --json PATH
  bool accept = false;     // --accept
  std::string note;        // --note TEXT
  std::string junit_path;  // --junit PATH
  // --html PATH: the children then draw their maps (BRINDLEWICK_MAPS) into a temporary folder
  // of the run, which keeps the map of each differing variable until the page is written.
  std::string html_path;
  // The single-pair settings given as options, with their values, in the table's order; each
  // is set in the environment every pair inherits. --csv, --maps and --exit-on-diff are
  // refused: the folder run owns what they mean.
  std::vector<std::pair<const ToolSetting*, std::string>> settings;
};

// Whether ARGV asks for a folder run: its first argument that is neither an option nor an
// option's value is an existing folder.
bool is_folder_run(int argc, const char* const* argv) noexcept;

// The whole folder run, from the command line to the exit status: 0 every pair identical,
// 1 the folders differ (a pair differs, or a file is on one side only), 2 a pair could not be
// compared, the command line is refused, or an output could not be written.
int folder_main(int argc, const char* const* argv);

// The command line read into COMMAND; false with the text to print (and the status) when the
// run should not start: --help (status 0) or a refusal (status 2).
[[nodiscard]] bool parse_folder_command(int argc, const char* const* argv, FolderCommand& command,
                                        std::string& message, int& status);

}  // namespace brindlewick

#endif  // BRINDLEWICK_FOLDER_MAIN_H
