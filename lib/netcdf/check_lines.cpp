#include "netcdf/check_lines.h"

#include "core/state.h"
#include "kavro/core.h"
#include "kavro/settings.h"

namespace kavro::detail {

bool header_checks_on(std::string_view caller) {
  Bstate3& b = state().b;
  if (!b.header_checks_read) {
    b.header_checks_read = true;
    int status = 0;
    b.header_checks = ENVYN("KAVRO_CHECK_HEADERS", "Perform file-header checks?", false, status);
    if (status > 0) {
      XQWARN(caller, 0, 0, "Invalid value for environment vble \"KAVRO_CHECK_HEADERS\"");
    }
  }
  return b.header_checks;
}

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
