// Brindlewick: compares every variable of two gridded data files cell by cell and prints a
// located report for every cell whose values differ.
#include <cstdio>

#include "folder/folder_main.h"
#include "kavro/kavro.h"
#include "options/command_line.h"
#include "options/file_names.h"
#include "run/run.h"

int main(int argc, char** argv) {
  // Two folders (or a folder and files): every pair compared, each in a process of its own.
  if (brindlewick::is_folder_run(argc, argv)) return brindlewick::folder_main(argc, argv);
  const brindlewick::CommandLine line = brindlewick::parse_command_line(argc, argv);
  if (line.request != brindlewick::Request::kCompare) {
    return brindlewick::answer(line, stdout, stderr);
  }
  // Two data files and no location file: the locations come from the grid.
  using brindlewick::LocationSource;
  const LocationSource source =
      line.file1 && !brindlewick::location_file_given(line.stack ? line.stack->c_str() : nullptr)
          ? LocationSource::kGrid
          : LocationSource::kFile;
  if (!brindlewick::apply_arguments(line, stderr)) return kavro::kExitFailure;
  brindlewick::set_floating_point_modes();
  brindlewick::compare_files(kavro::INIT3(), source);
}
