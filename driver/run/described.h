// A data or location file as the run knows it: everything the run uses of the file's
// description, taken into a value of its own right after DESC3 described the file. Nothing
// in the run reads the description record after that: the record holds whichever file was
// described last.
#ifndef BRINDLEWICK_DESCRIBED_H
#define BRINDLEWICK_DESCRIBED_H

#include <string>
#include <string_view>
#include <vector>

#include "kavro/kavro.h"
#include "run/compare_checks.h"

namespace brindlewick {

// A file's steps: the first, the step and how many.
struct StepAxis {
  int sdate = 0, stime = 0, tstep = 0, nrec = 0;
};

// A header attribute as the comparison sees it: its name and its value as text (numbers in
// their shortest form, lists separated by blanks).
struct HeaderAttribute {
  std::string name;
  std::string value;
};

// One variable of a file: its name, type and attributes (units, var_desc).
struct DescribedVariable {
  kavro::Name16 name;
  int vtype = 0;
  kavro::Name16 units;
  std::vector<HeaderAttribute> attributes;
};

struct Described {
  std::string lname;  // "INFILE1"
  std::string path;   // what the logical name stands for (the name itself when unset)
  FileShape shape;
  GridPlace place;
  kavro::GridMapping mapping;
  StepAxis axis;
  std::vector<DescribedVariable> variables;  // in the file's order
  std::vector<HeaderAttribute> attributes;   // the file's own (global) attributes

  // The variable's position among the file's, or -1.
  int find(std::string_view vname) const noexcept;
  bool holds(std::string_view vname) const noexcept { return find(vname) >= 0; }
};

// The file LNAME that DESC3 has just described, from the description record: the only place
// the run reads the record.
Described describe_record(std::string_view lname);

// What the logical name LNAME stands for: its value, or the file of that name in the working
// directory when it is unset.
std::string named_path(std::string_view lname);

// A negative step marks a file that keeps its two latest steps in turn; its steps still
// advance in time, by the step's magnitude.
int step_length(int tstep) noexcept;

}  // namespace brindlewick

#endif  // BRINDLEWICK_DESCRIBED_H
