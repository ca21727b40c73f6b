#include "open/check_lines.h"

namespace kavro::detail {

CheckLine& file_reference(CheckLine& line, std::string_view prep, std::string_view lname) {
  return line << prep << "file \"" << lname << "\"";
}

CheckLine int_check_line(std::string_view text, long long value, std::string_view prep,
                         std::string_view lname) {
  CheckLine line;
  line << text << NumField(value, 10) << "  ";
  return file_reference(line, prep, lname);
}

CheckLine missing_horizontal_line(int gdtyp, std::string_view lname) {
  return CheckLine() << "WARNING:  Horizontal grid/coordinate type:" << NumField(gdtyp, 10)
                     << "  \"MISSING\"  in file \"" << lname << "\"";
}

CheckLine missing_vertical_line(int vgtyp, std::string_view lname) {
  return CheckLine() << "WARNING:  Vertical grid/coordinate type:" << NumField(vgtyp, 10)
                     << "  \"MISSING\" in file \"" << lname << "\"";
}

}  // namespace kavro::detail
