#include "open/file_list.h"

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/params.h"
#include "kavro/util.h"

namespace kavro {

namespace {

using detail::MsgBuf;
using detail::right_justified;
using detail::six_digits;

// The slots of the members, in list order, as the entries give them (a bad entry gives 0).
template <typename F>
void for_each_member(int fid, F f) {
  const Bstate3& b = state().b;
  const int first = b.LISTFIRST3(fid);
  for (int e = first; e < first + b.LISTCOUNT3(fid) && e >= 1 && e <= MXOPEN3; ++e) {
    const int m = b.MEMBERFID3(e);
    if (!f(e, m >= 1 && m <= MXOPEN3 ? m : 0)) return;
  }
}

detail::Admission admit(int, int fstatus, std::string_view lname, std::string_view path) {
  if (fstatus == FSREAD3) return detail::Admission::kDispatch;
  XQMSG2(MsgBuf<256>() << lname << ":" << trimmed(path));
  XQWARN("OPEN3", 0, 0, "LIST-File not readonly.");
  return detail::Admission::kRefused;
}

// Every member is attempted, even after one has failed.
bool flush_members(int fid) {
  bool ok = true;
  for_each_member(fid, [&](int, int m) {
    if (m != 0) ok = detail::kind_of(m).flush(m) && ok;
    return true;
  });
  return ok;
}

bool sync_list(int fid) {
  if (flush_members(fid)) return true;
  XQMSG2(MsgBuf<80>() << "Error flushing list file \"" << state().c.FLNAME3(fid).trimmed() << "\"");
  return false;
}

// The member whose records hold (JDATE, JTIME), in the list's own record numbering.
int member_for(int fid, int vid, int jdate, int jtime) {
  const Bstate3& b = state().b;
  const Cstate3& c = state().c;
  const int rec = JSTEP3(jdate, jtime, b.SDATE3(fid), b.STIME3(fid), b.TSTEP3(fid));
  int member = 0;
  if (rec >= 0) {
    for_each_member(fid, [&](int e, int m) {
      if (b.MEMBERBEG3(e) <= rec && rec < b.MEMBEREND3(e)) {
        member = m;
        return false;
      }
      return true;
    });
  }
  if (member != 0) return member;
  // For all variables the warning names the request itself.
  const Name16 vname = vid >= 1 ? c.VLIST3D(vid, fid) : Name16("ALL");
  XQMSG2(MsgBuf<80>("Requested date & time:")
         << right_justified(jdate, 9) << ':' << six_digits(jtime));
  XQWARN("RDTFLAG", jdate, jtime,
         MsgBuf<256>("Variable ") << vname.padded() << " not available in file-set "
                                  << c.FLNAME3(fid).padded());
  return 0;
}

// The members share the list's description; the first member's kind says how it is read.
std::int64_t list_read_bytes(int fid, int vid, int layer) {
  int first = 0;
  for_each_member(fid, [&](int, int m) {
    first = m;
    return false;
  });
  return first == 0 ? 0 : detail::kind_of(first).read_bytes(fid, vid, layer);
}

void report(int, std::string_view access) {
  detail::put_log_line_untrimmed(MsgBuf<80>() << "LIST-FILE SEQUENCE opened as " << access);
}

}  // namespace

bool OPNLIST3(int, std::string_view) {
  detail::not_built("OPNLIST3", "File lists are");
  return false;
}

namespace detail {

const FileKind kListKind = {
    .code = LISTFIL3,
    .prefix = "LIST:",
    .admit = admit,
    .open_absent = OPNLIST3,
    // The description is the copy of the first member's that the list opener made.
    .flush = flush_members,
    .sync = sync_list,
    .resolve = member_for,
    .read_bytes = list_read_bytes,
    .report = report,
};

}  // namespace detail
}  // namespace kavro
