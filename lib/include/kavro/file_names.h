// The names a netCDF file of the library holds, as the file-type model writes them down once:
// for a program that writes such a file by other means (the Python package's to_netcdf) and
// must call its parts what the library calls them.
#ifndef KAVRO_FILE_NAMES_H
#define KAVRO_FILE_NAMES_H

#include <span>
#include <string_view>

namespace kavro {

struct FileNames {
  // Every global attribute, in the order the library's writer defines them.
  std::span<const std::string_view> global_attributes;
  // The dimensions of a gridded file's data variables and of TFLAG.
  std::string_view tstep_dim, lay_dim, row_dim, col_dim, var_dim, date_time_dim;
  // The time-step flags: the variable, its units and its description.
  std::string_view tflag_var, tflag_units, tflag_desc;
  // A variable's attributes.
  std::string_view long_name_att, units_att, var_desc_att;
  // The length of one line of FILEDESC and HISTORY.
  int line_length = 0;
};

const FileNames& file_names() noexcept;

}  // namespace kavro

#endif  // KAVRO_FILE_NAMES_H
