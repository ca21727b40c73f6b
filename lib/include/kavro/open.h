// Opening and describing files by logical name.
#ifndef KAVRO_OPEN_H
#define KAVRO_OPEN_H

#include <string_view>

namespace kavro {

// ---- Opening, describing ----------------------------------------------------------------------
bool OPEN3(std::string_view lname, int fstatus, std::string_view pname);
bool DESC3(std::string_view lname);
bool SYNCFID(int fid);

}  // namespace kavro

#endif  // KAVRO_OPEN_H
