// The library's settings as the tool and its documents list them: --help prints the library's
// table, and the README's environment table and the man page name exactly its settings.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "kavro/kavro.h"
#include "options/command_line.h"
#include "support/test_env.h"

namespace kavro_test {
namespace {

const std::string kSourceDir = KAVRO_TEST_DATA_DIR "/../..";

std::vector<std::string> library_names() {
  std::vector<std::string> names;
  for (const kavro::LibrarySetting& s : kavro::library_settings()) names.emplace_back(s.name);
  return names;
}

// The KAVRO_ names of the lines that begin with PREFIX, in order, up to the first character
// that cannot be part of a name.
std::vector<std::string> names_after(const std::vector<std::string>& lines,
                                     std::string_view prefix) {
  std::vector<std::string> names;
  for (const std::string& line : lines) {
    if (line.rfind(std::string(prefix) + "KAVRO_", 0) != 0) continue;
    const std::string rest = line.substr(prefix.size());
    names.push_back(
        rest.substr(0, rest.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_")));
  }
  return names;
}

std::vector<std::string> text_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// The settings block of --help, exactly: the library's rows, wrapped at the help's width.
TEST(LibrarySettingsList, HelpPrintsTheTable) {
  const std::string& help = brindlewick::help_text();
  EXPECT_EQ(names_after(text_lines(help), "  "), library_names());
  const std::string block =
      "  EXECUTION_ID         run identifier, recorded in the log\n"
      "  KAVRO_CHECK_HEADERS  Y or N (default N): check file headers on open\n"
      "  KAVRO_OFFSET_64      Y or N (default N): netCDF files the library creates have 64-bit\n"
      "                       offsets (CDF-2)\n"
      "  KAVRO_DIRECT_READ    Y or N (default Y): N reads every value through the netCDF\n"
      "                       library instead of straight from the file (for diagnosis)\n"
      "  KAVRO_BANNER         Y or N (default Y): the start-up banner goes to standard output\n"
      "                       when the log goes elsewhere\n"
      "  KAVRO_EARTH_RADIUS   metres (default 6370000): radius of the sphere on which cell\n"
      "                       locations are computed from a grid's projection\n"
      "Files are netCDF classic";
  EXPECT_NE(help.find(block), std::string::npos) << help;
}

// The README's environment table and the man page list the same settings, in the same order.
TEST(LibrarySettingsList, DocumentsNameTheTable) {
  EXPECT_EQ(names_after(read_lines(kSourceDir + "/README.md"), "| `"), library_names());
  EXPECT_EQ(names_after(read_lines(kSourceDir + "/man/brindlewick.1.in"), ".B "), library_names());
}

}  // namespace
}  // namespace kavro_test
