// WRITE3: READ3's counterpart. The same checks in the same order and with the same reports,
// then the kind of the slot writes the step at the record READ3 would read it from, with the
// flag pair READ3 will expect. A refusal leaves the file as it was: nothing is written before
// every check has passed.
#include <array>
#include <cstddef>

#include "core/kinds.h"
#include "core/msgbuf.h"
#include "core/slot_facts.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "kavro/core.h"
#include "kavro/kavro_c.h"
#include "kavro/open.h"
#include "kavro/params.h"
#include "kavro/util.h"
#include "kavro/write.h"
#include "read/read.h"

namespace kavro {
namespace {

using detail::MsgBuf;

constexpr std::string_view kCaller = "WRITE3";

bool write3(std::string_view fname, std::string_view vname, int jdate, int jtime,
            const void* buffer, const std::size_t* nbytes) {
  const Bstate3& b = state().b;
  const Cstate3& c = state().c;

  const int fid = detail::named_slot(kCaller, fname, vname, jdate, jtime);
  if (fid <= 0) return false;

  // A list is read through its members and a dictionary by entry: neither has records to
  // write by date and time.
  const detail::FileKind& kind = detail::kind_of(fid);
  if (kind.write_step == nullptr || b.FTYPE3(fid) == DCTNRY3) {
    XQWARN(kCaller, jdate, jtime,
           MsgBuf<256>("File:  ") << trimmed(fname) << " is not written by date and time");
    return false;
  }
  if (b.READONLY3(fid)) {
    XQWARN(kCaller, jdate, jtime,
           MsgBuf<256>("File opened read-only:  ") << c.FLNAME3(fid).padded());
    return false;
  }
  const layout::TypeLayout* t = layout::type_layout(b.FTYPE3(fid));
  if (t == nullptr || t->transfer == 0) {
    detail::report_unknown_type(kCaller, fid, fname, jdate, jtime);
    return false;
  }

  int vid = ALLVAR3;
  if (!padded_equal(vname, "ALL")) {
    vid = detail::variable_index(fid, vname);
    if (vid == 0) {
      detail::report_missing_variable(kCaller, fid, fname, vname, jdate, jtime);
      return false;
    }
  }

  int step = 0;
  std::array<int, 2> flags{};
  if (!detail::record_of(fid, jdate, jtime, step, flags)) {
    detail::report_step_error(kCaller, fid, jdate, jtime);
    return false;
  }
  if (!detail::fits(kCaller, fid, vid, ALLAYS3, nbytes, fname, vname, jdate, jtime)) return false;

  if (!kind.write_step(fid, vid, step, flags, jdate, jtime,
                       static_cast<const std::byte*>(buffer))) {
    XQWARN(kCaller, jdate, jtime,
           MsgBuf<256>("Could not write variable \"")
               << trimmed(vname) << "\" to file " << c.FLNAME3(fid).padded());
    return false;
  }
  // Another process reading a volatile file must find the step on disk at once.
  if (b.VOLATILE3(fid) && !SYNCFID(fid)) {
    XQWARN(kCaller, jdate, jtime,
           MsgBuf<256>("Error with disk synchronization for file:  ") << c.FLNAME3(fid).padded());
    return false;
  }
  return true;
}

}  // namespace

bool WRITE3(std::string_view fname, std::string_view vname, int jdate, int jtime,
            const void* buffer) {
  return write3(fname, vname, jdate, jtime, buffer, nullptr);
}

bool WRITE3(std::string_view fname, std::string_view vname, int jdate, int jtime,
            const void* buffer, std::size_t nbytes) {
  return write3(fname, vname, jdate, jtime, buffer, &nbytes);
}

}  // namespace kavro
