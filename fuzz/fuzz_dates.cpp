// Date and time arithmetic on any 32-bit values: stepping, differences, record numbers and
// the text forms. Each must answer without overflow (the sanitizers watch) and the round trips
// that the arithmetic promises must hold.
#include <cstddef>
#include <cstdint>

#include "exercise.h"
#include "kavro/util.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kavro_fuzz::quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kavro_fuzz::Bytes in(data, size);
  const int jdate = in.int32(), jtime = in.int32(), sdate = in.int32(), stime = in.int32();
  const int tstep = in.int32();
  int d = jdate, t = jtime;
  kavro::NEXTIME(d, t, tstep);
  (void)kavro::SECSDIFF(jdate, jtime, sdate, stime);
  (void)kavro::TIME2SEC(jtime);
  (void)kavro::SEC2TIME(tstep);
  int cdate = 0, ctime = 0;
  (void)kavro::CURREC(jdate, jtime, sdate, stime, tstep, cdate, ctime);
  (void)kavro::JSTEP3(jdate, jtime, sdate, stime, tstep);
  (void)kavro::DT2STR(jdate, jtime);
  (void)kavro::HHMMSS(jtime);
  (void)kavro::MMDDYY(jdate);
  return 0;
}
