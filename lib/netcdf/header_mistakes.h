// The mistakes people make when they write a gridded file by hand, each named with its fix. Every
// check takes the plain facts (an attribute's value or type, a variable's dimension names) and
// gives the cause in a few words, or an empty text when there is no mistake; the opener refuses
// a file with that cause, the layout survey lists it. Nothing here reads a file.
#ifndef KAVRO_NETCDF_HEADER_MISTAKES_H
#define KAVRO_NETCDF_HEADER_MISTAKES_H

#include <span>
#include <string_view>

#include "core/msgbuf.h"

namespace kavro::detail {

using Mistake = MsgBuf<160>;

// SDATE must be YYYYDDD (0 for a file without dates): a day of the year past 366, or eight
// digits such as the YYYYMMDD date 20240701, is a mistake ("SDATE 20240701 is not a YYYYDDD
// date (2024-07-01 is 2024183)").
Mistake sdate_mistake(int sdate) noexcept;

// TSTEP must be HHMMSS. A TSTEP that equals in seconds the step between the flags of the first
// two records (DATE1, TIME1 and DATE2, TIME2), and differs from it as HHMMSS, was written in
// seconds ("TSTEP 3600 is in seconds, TFLAG steps by 010000: write TSTEP 10000").
Mistake tstep_mistake(int tstep, int date1, int time1, int date2, int time2) noexcept;

// VAR-LIST holds NVARS names of 16 characters each, the last one possibly shorter (it is padded
// with blanks). VAR_LIST is the attribute at its own length. A VAR-LIST that holds another number
// of names is a mistake: "NVARS 3 does not match the 2 names of VAR-LIST (O3, NO2): write NVARS
// 2", or, for names not padded to 16, "... pad each name to 16 characters".
Mistake var_list_mistake(int nvars, std::string_view var_list) noexcept;

// A data variable must have the dimensions its file type gives, in that order: "variable O3 has
// dimensions (TSTEP, ROW, COL), needs (TSTEP, LAY, ROW, COL)". Empty when HAS equals NEEDS.
Mistake shape_mistake(std::string_view name, std::span<const std::string_view> has,
                      std::span<const std::string_view> needs) noexcept;

// An attribute of one numeric type where the layout needs another: "P_ALP is float, must be
// double". Empty when HAS equals NEEDS.
Mistake type_mistake(std::string_view name, std::string_view has, std::string_view needs) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_NETCDF_HEADER_MISTAKES_H
