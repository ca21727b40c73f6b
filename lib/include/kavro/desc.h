// The file description record: the exchange record between caller and library.
// DESC3 fills it for an open file; a caller fills it before creating a file.
#ifndef KAVRO_DESC_H
#define KAVRO_DESC_H

#include <array>

#include "kavro/fixed_string.h"
#include "kavro/params.h"

namespace kavro {

struct Bdesc3 {
  double P_ALP3D, P_BET3D, P_GAM3D;
  double XCENT3D, YCENT3D;
  double XORIG3D, YORIG3D;
  double XCELL3D, YCELL3D;
  int FTYPE3D;
  int CDATE3D, CTIME3D;
  int WDATE3D, WTIME3D;
  int SDATE3D, STIME3D;
  int TSTEP3D;
  int MXREC3D;
  int NVARS3D;
  int NCOLS3D, NROWS3D, NLAYS3D;
  int NTHIK3D;
  int GDTYP3D;
  int VGTYP3D;
  float VGTOP3D;
  std::array<float, MXLEVS3> VGLVS3D;  // entries 0..NLAYS3D are meaningful
  std::array<int, MXVARS3> VTYPE3D;
};

struct Cdesc3 {
  Name16 GDNAM3D;
  Name16 UPNAM3D;
  Line80 EXECN3D;
  std::array<Line80, MXDESC3> FDESC3D;
  std::array<Line80, MXDESC3> UPDSC3D;
  std::array<Name16, MXVARS3> VNAME3D;
  std::array<Name16, MXVARS3> UNITS3D;
  std::array<Line80, MXVARS3> VDESC3D;
};

// Extra attributes of file type 7: the 20 entries of one variable are contiguous.
struct Batts3 {
  std::array<int, MXVARS3> NATTS3;
  std::array<std::array<float, MXATTS3>, MXVARS3> ATTVAL3;
};
struct Catts3 {
  std::array<std::array<Name16, MXATTS3>, MXVARS3> ATTNAM3;
};

// The one instance of each record, constant-initialised (usable from a caller's static
// initialiser). Index with 0-based subscripts: VNAME3D[v - 1].
extern Bdesc3 BDESC3;
extern Cdesc3 CDESC3;
extern Batts3 BATTS3;
extern Catts3 CATTS3;

}  // namespace kavro

#endif  // KAVRO_DESC_H
