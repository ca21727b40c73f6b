// Copies of the file description record, both ways, for callers that cannot name it: C
// programs and the Fortran module. The texts go into blank-padded fixed fields laid end to end.
#ifndef KAVRO_C_API_DESCRIPTION_COPY_H
#define KAVRO_C_API_DESCRIPTION_COPY_H

#include "kavro/kavro_c.h"

namespace kavro::detail {

// Where the texts go; a null field is skipped. Sizes: GDNAM3D, UPNAM3D 16; EXECN3D 80;
// FDESC3D, UPDSC3D MXDESC3 x 80; VNAME3D, UNITS3D MXVARS3 x 16; VDESC3D MXVARS3 x 80.
struct DescriptionText {
  char* GDNAM3D = nullptr;
  char* UPNAM3D = nullptr;
  char* EXECN3D = nullptr;
  char* FDESC3D = nullptr;
  char* UPDSC3D = nullptr;
  char* VNAME3D = nullptr;
  char* UNITS3D = nullptr;
  char* VDESC3D = nullptr;
};

void copy_description(kavro_bdesc3& bdesc) noexcept;
void copy_description(const DescriptionText& text) noexcept;

// The same fields read, for a file about to be created.
struct ConstDescriptionText {
  const char* GDNAM3D = nullptr;
  const char* UPNAM3D = nullptr;
  const char* EXECN3D = nullptr;
  const char* FDESC3D = nullptr;
  const char* UPDSC3D = nullptr;
  const char* VNAME3D = nullptr;
  const char* UNITS3D = nullptr;
  const char* VDESC3D = nullptr;
};

// Copies into the description record (the extra attributes of type 7 cleared).
void fill_description(const kavro_bdesc3& bdesc) noexcept;
void fill_description(const ConstDescriptionText& text) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_C_API_DESCRIPTION_COPY_H
