// RDTFLAG: the proof that a date and time is stored. The slot's kind names the slot holding
// the date and time (a file list hands over to a member), the date and time becomes a record
// number, a volatile file is brought up to
// date, and the stored flag pairs are compared with the pair the date and time demands.
#include <netcdf.h>

#include <array>
#include <span>

#include "core/kinds.h"
#include "core/log.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/sizes.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/open.h"
#include "kavro/params.h"
#include "kavro/util.h"
#include "netcdf/direct_read.h"
#include "read/read.h"

namespace kavro {
namespace {

using detail::MsgBuf;
using detail::right_justified;
using detail::six_digits;

}  // namespace

// "step 2024033:010000 is not in this file", or "... of variable "O3" ..." for one variable.
MsgBuf<160> detail::step_cause(int jdate, int jtime, std::string_view vname) {
  MsgBuf<160> cause;
  cause.format("step %d:", jdate) << six_digits(jtime);
  if (!vname.empty()) cause << " of variable \"" << trimmed(vname) << '"';
  return cause << " is not in this file";
}

void detail::report_step_error(std::string_view caller, int fid, int jdate, int jtime) {
  const Bstate3& b = state().b;
  XQMSG2(MsgBuf<80>("Requested date & time:    ")
         << right_justified(jdate, 9) << ':' << six_digits(jtime));
  XQMSG2(MsgBuf<80>("File starting date & time:")
         << right_justified(b.SDATE3(fid), 9) << ':' << six_digits(b.STIME3(fid)));
  XQMSG2(MsgBuf<80>("File time step:           ") << six_digits(b.TSTEP3(fid)));
  XQWARN(caller, jdate, jtime,
         MsgBuf<256>("Time step error for file:  ") << state().c.FLNAME3(fid).padded());
  note_file_failure(caller, fid, step_cause(jdate, jtime, ""));
}

namespace {

void report_unavailable(int fid, int v, int jdate, int jtime) {
  const Cstate3& c = state().c;
  XQWARN("RDTFLAG", jdate, jtime,
         MsgBuf<256>("Time step not available in file ")
             << c.FLNAME3(fid).padded() << " for variable " << c.VLIST3D(v, fid).padded());
  detail::note_file_failure("RDTFLAG", fid,
                            detail::step_cause(jdate, jtime, c.VLIST3D(v, fid).padded()));
}

}  // namespace

bool RDTFLAG(int& fid, int vid, int jdate, int jtime, int& step, bool verbose) {
  const Bstate3& b = state().b;
  const Cstate3& c = state().c;

  const int holder = detail::kind_of(fid).resolve(fid, vid, jdate, jtime);
  if (holder == 0) return false;
  fid = holder;

  std::array<int, 2> want{};
  if (!detail::record_of(fid, jdate, jtime, step, want)) {
    if (verbose) detail::report_step_error("RDTFLAG", fid, jdate, jtime);
    return false;
  }

  if (b.VOLATILE3(fid) && !SYNCFID(fid)) {
    XQWARN("RDTFLAG", jdate, jtime,
           MsgBuf<256>("Error with disk synchronization for file:  ") << c.FLNAME3(fid).padded());
    return false;
  }

  const int nvars = b.NVARS3(fid) < MXVARS3 ? b.NVARS3(fid) : MXVARS3;
  const int first = vid >= 1 ? vid : 1;
  const int n = vid >= 1 ? 1 : (nvars > 0 ? nvars : 1);
  std::array<int, 2 * MXVARS3> flags;
  MsgBuf<256> why;
  const unsigned noted = detail::file_failures_noted();
  if (!detail::kind_of(fid).read_flags(fid, vid, first, n, step, flags, why)) {
    if (!verbose) return false;
    XQWARN("RDTFLAG", jdate, jtime, why);
    // A kind notes a flag read that failed; a step it says was never written is not there.
    if (detail::file_failures_noted() == noted) {
      detail::note_file_failure("RDTFLAG", fid, detail::step_cause(jdate, jtime, ""));
    }
    return false;
  }

  bool ok = true;
  for (int i = 0; i < n; ++i) {
    if (flags[2 * i] != want[0] || flags[2 * i + 1] != want[1]) {
      report_unavailable(fid, first + i, jdate, jtime);
      ok = false;
    }
  }
  return ok;
}

namespace detail {

bool record_of(int fid, int jdate, int jtime, int& step, std::array<int, 2>& pair) {
  const Bstate3& b = state().b;
  const int tstep = b.TSTEP3(fid);
  int rec = JSTEP3(jdate, jtime, b.SDATE3(fid), b.STIME3(fid), magnitude(tstep));
  step = rec;
  if (rec < 0) return false;
  pair = {jdate, jtime};
  if (tstep < 0) {
    rec = (rec - 1) % 2 + 1;  // the two records are reused in turn
  } else if (tstep == 0) {
    pair = {0, 0};
  }
  step = rec;
  return true;
}
}  // namespace detail
}  // namespace kavro
