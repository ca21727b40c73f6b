// Utilities that stand on their own: logical names, date and time arithmetic, names and
// strings.
#ifndef KAVRO_UTIL_H
#define KAVRO_UTIL_H

#include <span>
#include <string_view>

#include "kavro/fixed_string.h"

namespace kavro {

// ---- Logical names ---------------------------------------------------------------------------
void NAMEVAL(std::string_view lname, std::span<char> eqname);

// ---- Date and time arithmetic ---------------------------------------------------------------
void NEXTIME(int& jdate, int& jtime, int tstep);
int SECSDIFF(int adate, int atime, int zdate, int ztime);
int TIME2SEC(int time);
int SEC2TIME(int secs);
int CURREC(int jdate, int jtime, int sdate, int stime, int tstep, int& cdate, int& ctime);
int JSTEP3(int jdate, int jtime, int sdate, int stime, int tstep);
FixedString<10> HHMMSS(int jtime);
FixedString<14> MMDDYY(int jdate);
FixedString<24> DT2STR(int jdate, int jtime);

// ---- Name and string utilities ----------------------------------------------------------------
bool CKNAME(std::string_view name);
int INDEX1(std::string_view name, int n, std::span<const std::string_view> nlist);
int INDEXINT1(int ikey, int n, std::span<const int> nlist);
int LBLANK(std::string_view str);
void UPCASE(std::span<char> buffer);
// INDEX1 over a table of fixed fields (the state tables' name lists).
template <std::size_t N>
int INDEX1(std::string_view name, int n, std::span<const FixedString<N>> nlist) {
  const int count = n < static_cast<int>(nlist.size()) ? n : static_cast<int>(nlist.size());
  for (int i = 0; i < count; ++i) {
    if (padded_equal(name, nlist[static_cast<std::size_t>(i)].padded())) return i + 1;
  }
  return 0;
}

}  // namespace kavro

#endif  // KAVRO_UTIL_H
