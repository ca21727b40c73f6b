// Copies of the file description record for callers that cannot name it: C programs and the
// Fortran module. The texts go into blank-padded fixed fields laid end to end.
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

}  // namespace kavro::detail

#endif  // KAVRO_C_API_DESCRIPTION_COPY_H
