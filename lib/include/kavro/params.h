// Limits, codes and fixed texts shared by the library and its callers.
#ifndef KAVRO_PARAMS_H
#define KAVRO_PARAMS_H

#include <string_view>

namespace kavro {

inline constexpr int MXVARS3 = 2048;  // variables in one file
inline constexpr int MXOPEN3 = 200;   // file slots, and file-list member entries
inline constexpr int MXDLEN3 = 80;    // description line width
inline constexpr int MXDESC3 = 60;    // description lines
inline constexpr int NAMLEN3 = 16;    // names, units, logical names
inline constexpr int MXLAYS3 = 100;   // layers whose levels a file stores
inline constexpr int MXLEVS3 = 101;   // entries of the level table
inline constexpr int MXATTS3 = 20;    // extra attributes per variable (file type 7)
inline constexpr int IMISSING3 = -9999;
inline constexpr int OKFLAG3 = 5461;  // a dictionary entry's record flag: the entry is valid

// File types.
inline constexpr int KFEVNT3 = -3;
inline constexpr int DGRAPH3 = -2;
inline constexpr int CUSTOM3 = -1;
inline constexpr int DCTNRY3 = 0;
inline constexpr int GRDDED3 = 1;
inline constexpr int BNDARY3 = 2;
inline constexpr int IDDATA3 = 3;
inline constexpr int PROFIL3 = 4;
inline constexpr int GRNEST3 = 5;
inline constexpr int SMATRX3 = 6;
inline constexpr int kTypeSeven = 7;  // the unnamed type 7: gridded, with extra attributes
inline constexpr int PTRFLY3 = 8;

// Open modes.
inline constexpr int FSREAD3 = 1;
inline constexpr int FSRDWR3 = 2;
inline constexpr int FSNEW3 = 3;
inline constexpr int FSUNKN3 = 4;
inline constexpr int FSCREA3 = 5;

// File kinds held in NCID3 (a netCDF id is 0 or more).
inline constexpr int MEMFIL3 = -1;
inline constexpr int VIRTFIL3 = -2;
inline constexpr int LISTFIL3 = -3;
inline constexpr int BINFIL3 = -4;

// Data types: equal to the netCDF external type codes.
inline constexpr int XQINT = 4;
inline constexpr int XQREAL = 5;
inline constexpr int XQDBLE = 6;

// Selectors.
inline constexpr int ALLVAR3 = -1;
inline constexpr int ALLAYS3 = -1;

inline constexpr std::string_view kLibraryVersion = "$Id: @(#) kavro library version 3.1 $";

// Type names for reports, indexed by the code clamped to -4..7.
inline constexpr std::string_view kTypeNames[12] = {"UNKNOWN ", "KFEVNT3 ", "DGRAPH3 ", "CUSTOM3 ",
                                                    "DCTNRY3 ", "GRDDED3 ", "BNDARY3 ", "IDDATA3 ",
                                                    "PROFIL3 ", "GRNEST3 ", "SMATRX3 ", "UNKNOWN "};
constexpr std::string_view type_name(int ftype) noexcept {
  const int k = ftype < -4 ? -4 : (ftype > 7 ? 7 : ftype);
  return kTypeNames[k + 4];
}

// Open-mode names for reports, indexed by the mode clamped to 0..6.
inline constexpr std::string_view kModeNames[7] = {
    "????????????????", "OLD:READ-ONLY   ", "OLD:READ-WRITE  ", "NEW(READ-WRITE )",
    "UNKNOWN(R-W)    ", "NEW(CREAT/TRUNC)", "????????????????"};
constexpr std::string_view mode_name(int fstatus) noexcept {
  const int k = fstatus < 0 ? 0 : (fstatus > 6 ? 6 : fstatus);
  return kModeNames[k];
}

}  // namespace kavro

#endif  // KAVRO_PARAMS_H
