// The header attributes of an open netCDF file, for a program that compares two files'
// headers: every global attribute and every attribute of each variable, with its value as
// text, and whether the file's description (DESC3) already carries it.
#ifndef KAVRO_ATTRIBUTES_H
#define KAVRO_ATTRIBUTES_H

#include <string>
#include <string_view>
#include <vector>

namespace kavro {

struct HeaderAttribute {
  std::string name;
  // Text as stored, without trailing blanks and NULs; numbers in their shortest exact form,
  // several separated by blanks.
  std::string value;
  // One of the layout's own attributes, whose value the description record carries.
  bool described = false;
};

struct VariableAttributes {
  std::string variable;
  std::vector<HeaderAttribute> attributes;
};

struct HeaderAttributes {
  std::vector<HeaderAttribute> global;
  std::vector<VariableAttributes> variables;  // in the file's order
};

// The attributes of the netCDF file open under the logical name LNAME, read from the file the
// library holds open (no second open). False, with OUT empty, when no file of that name is open
// or it is not a netCDF file; a failed inquiry is logged and gives false too.
bool header_attributes(std::string_view lname, HeaderAttributes& out);

}  // namespace kavro

#endif  // KAVRO_ATTRIBUTES_H
