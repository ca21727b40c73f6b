// What a gridded netCDF file must hold to be read, checked all at once: for a person who
// writes files of their own and wants every gap in one pass.
#ifndef KAVRO_FILE_GAPS_H
#define KAVRO_FILE_GAPS_H

#include <string>
#include <string_view>
#include <vector>

namespace kavro {

// Everything the netCDF file PATH lacks of the gridded layout that opening and describing need,
// absent or of the wrong type, under its real name, in the layout's order: "the dimension TSTEP",
// "the variable TFLAG", "the int attribute FTYPE", "the float attribute VGLVLS", "units on O3".
// Empty when nothing is missing, when PATH is no netCDF file, when it holds nothing at all, and
// when the check of its classic header refuses it (the open says why): such a file never
// reaches the netCDF library. Logs nothing.
std::vector<std::string> file_gaps(const std::string& path);

// "PATH lacks A", "PATH lacks A and B", "PATH lacks A, B, and C".
std::string file_gaps_line(std::string_view path, const std::vector<std::string>& gaps);

}  // namespace kavro

#endif  // KAVRO_FILE_GAPS_H
