// RDTFLAG: the proof that a date and time is stored. The date and time becomes a record
// number, a file list hands over to the member holding it, a volatile file is brought up to
// date, and the stored flag pairs are compared with the pair the date and time demands.
#include <netcdf.h>

#include <cstdlib>
#include <span>

#include "core/msgbuf.h"
#include "core/state.h"
#include "kavro/kavro.h"
#include "read/nc_read.h"
#include "read/pending.h"
#include "read/read.h"

namespace kavro {
namespace {

using detail::MsgBuf;
using detail::right_justified;
using detail::six_digits;

// The slot of the list member whose records hold (JDATE, JTIME), or 0.
int list_member(int fid, int jdate, int jtime) {
  const Bstate3& b = state().b;
  const int rec = JSTEP3(jdate, jtime, b.SDATE3(fid), b.STIME3(fid), b.TSTEP3(fid));
  if (rec < 0) return 0;
  const int first = b.LISTFIRST3(fid);
  const int count = b.LISTCOUNT3(fid);
  for (int e = first; e < first + count && e >= 1 && e <= MXOPEN3; ++e) {
    if (b.MEMBERBEG3(e) <= rec && rec < b.MEMBEREND3(e)) {
      const int member = b.MEMBERFID3(e);
      return member >= 1 && member <= MXOPEN3 ? member : 0;
    }
  }
  return 0;
}

void report_step_error(int fid, int jdate, int jtime) {
  const Bstate3& b = state().b;
  XQMSG2(MsgBuf<80>("Requested date & time:    ")
         << right_justified(jdate, 9) << ':' << six_digits(jtime));
  XQMSG2(MsgBuf<80>("File starting date & time:")
         << right_justified(b.SDATE3(fid), 9) << ':' << six_digits(b.STIME3(fid)));
  XQMSG2(MsgBuf<80>("File time step:           ") << six_digits(b.TSTEP3(fid)));
  XQWARN("RDTFLAG", jdate, jtime,
         MsgBuf<256>("Time step error for file:  ") << state().c.FLNAME3(fid).padded());
}

// Reads the flag pairs of variables FIRST .. FIRST + N - 1 of record STEP into FLAGS; on
// failure reports as the file's kind demands and returns false.
bool read_flags(int fid, int vid, int first, int n, int step, int jdate, int jtime, bool verbose,
                std::span<int> flags) {
  const Bstate3& b = state().b;
  const std::string_view fname = state().c.FLNAME3(fid).padded();
  MsgBuf<256> msg;
  if (b.NCID3(fid) >= 0) {
    const int start[3] = {1, first, step};
    const int count[3] = {2, n, 1};
    const int status =
        detail::nc_read_block(b.NCID3(fid), b.TFLAGID3(fid), 3, start, count, XQINT, flags.data());
    if (status == NC_NOERR) return true;
    if (detail::step_not_yet_written(status)) {
      msg << "Time step not yet written in file " << fname;
    } else {
      XQMSG2(MsgBuf<80>("netCDF error number") << right_justified(status, 5));
      msg << "Error reading netCDF time step flag for " << fname;
    }
  } else if (b.NCID3(fid) == BINFIL3) {
    if (RDBFLAG(fid, vid, step, flags) != 0) return true;
    msg << "Error reading time-flags for BINIO3 file " << fname;
  } else {
    // A slot of another kind has no stored flags (a failed list, a virtual file).
    msg << "Error reading time step flags for " << fname;
  }
  if (verbose) XQWARN("RDTFLAG", jdate, jtime, msg);
  return false;
}

void report_unavailable(int fid, int v, int jdate, int jtime) {
  const Cstate3& c = state().c;
  XQWARN("RDTFLAG", jdate, jtime,
         MsgBuf<256>("Time step not available in file ")
             << c.FLNAME3(fid).padded() << " for variable " << c.VLIST3D(v, fid).padded());
}

}  // namespace

bool RDTFLAG(int& fid, int vid, int jdate, int jtime, int& step, bool verbose) {
  const Bstate3& b = state().b;
  const Cstate3& c = state().c;

  if (b.NCID3(fid) == LISTFIL3) {
    const int member = list_member(fid, jdate, jtime);
    if (member == 0) {
      // For all variables the warning names the request itself.
      const Name16 vname = vid >= 1 ? c.VLIST3D(vid, fid) : Name16("ALL");
      XQMSG2(MsgBuf<80>("Requested date & time:")
             << right_justified(jdate, 9) << ':' << six_digits(jtime));
      XQWARN("RDTFLAG", jdate, jtime,
             MsgBuf<256>("Variable ")
                 << vname.padded() << " not available in file-set " << c.FLNAME3(fid).padded());
      return false;
    }
    fid = member;
  }

  const int tstep = b.TSTEP3(fid);
  int rec = JSTEP3(jdate, jtime, b.SDATE3(fid), b.STIME3(fid), std::abs(tstep));
  if (rec < 0) {
    step = rec;
    if (verbose) report_step_error(fid, jdate, jtime);
    return false;
  }
  int want_date = jdate;
  int want_time = jtime;
  if (tstep < 0) {
    rec = (rec - 1) % 2 + 1;  // the two records are reused in turn
  } else if (tstep == 0) {
    want_date = 0;
    want_time = 0;
  }
  step = rec;

  if (b.VOLATILE3(fid) && !SYNCFID(fid)) {
    XQWARN("RDTFLAG", jdate, jtime,
           MsgBuf<256>("Error with disk synchronization for file:  ") << c.FLNAME3(fid).padded());
    return false;
  }

  const int nvars = b.NVARS3(fid) < MXVARS3 ? b.NVARS3(fid) : MXVARS3;
  const int first = vid >= 1 ? vid : 1;
  const int n = vid >= 1 ? 1 : (nvars > 0 ? nvars : 1);
  int flags[2 * MXVARS3];
  if (!read_flags(fid, vid, first, n, step, jdate, jtime, verbose, flags)) return false;

  bool ok = true;
  for (int i = 0; i < n; ++i) {
    if (flags[2 * i] != want_date || flags[2 * i + 1] != want_time) {
      report_unavailable(fid, first + i, jdate, jtime);
      ok = false;
    }
  }
  return ok;
}

namespace detail {

bool step_not_yet_written(int status) noexcept {
  // netCDF says -57, not -40, while this process holds the file for writing.
  return status == NC_EINVALCOORDS || status == NC_EEDGE;
}

}  // namespace detail
}  // namespace kavro
