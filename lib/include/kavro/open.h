// Opening and describing files by logical name.
#ifndef KAVRO_OPEN_H
#define KAVRO_OPEN_H

#include <string_view>
#include <vector>

namespace kavro {

// ---- Opening, describing ----------------------------------------------------------------------
bool OPEN3(std::string_view lname, int fstatus, std::string_view pname);
bool DESC3(std::string_view lname);
bool SYNCFID(int fid);

// How the start of a logical name's value selects a file kind other than a plain netCDF
// path: the kind's code (BINFIL3, LISTFIL3, MEMFIL3, VIRTFIL3) and its prefix ("BIN:"),
// compared without regard to case, in the order OPEN3 tries them. A program that handles
// such values itself (making their paths absolute) takes the prefixes from here.
struct ValuePrefix {
  int kind = 0;
  std::string_view prefix;
};
std::vector<ValuePrefix> value_prefixes();

}  // namespace kavro

#endif  // KAVRO_OPEN_H
