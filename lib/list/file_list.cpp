#include "list/file_list.h"

#include <algorithm>
#include <array>
#include <climits>

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/sizes.h"
#include "core/slots.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/params.h"
#include "kavro/settings.h"
#include "kavro/util.h"
#include "open/open.h"
#include "util/files.h"
#include "util/nameval.h"

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
  detail::note_file_failure("OPEN3", lname, path, "a file list opens read-only only");
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

namespace {

constexpr std::string_view kListDesc = "Logical name list";

// Why a list fails; every name is still worked through so that all problems are reported.
struct ListOpen {
  int fid;          // the list's slot
  int first_entry;  // K + 1
  int opened = 0;   // members open so far (entries K + 1 .. K + opened)
  bool failed = false;
  MsgBuf<160> cause;  // the first member's failure, the list's cause

  // Member NAME fails the list for WHY.
  void fail(std::string_view name, std::string_view why) {
    if (!failed) cause << "member " << trimmed(name) << ": " << why;
    failed = true;
  }
};

void warn_open3(std::string_view text) { XQWARN("OPEN3", 0, 0, text); }

// A member's path from its logical name. A value that names an existing file exactly as written
// is that file; otherwise "-v" or "-V" anywhere in it (the later of the first of each) marks the
// member volatile and is blanked. False when the value does not fit the path field.
bool member_path(std::string_view name, Path512& path, bool& volatile_member) {
  volatile_member = false;
  if (!detail::value_fits(name, Path512::size())) {
    XQMSG2(MsgBuf<256>() << "Value of " << trimmed(name) << " longer than "
                         << right_justified(static_cast<long long>(Path512::size()), 3)
                         << " characters");
    return false;
  }
  NAMEVAL(name, path.span());
  if (detail::file_exists(path.padded())) return true;
  const std::size_t lower = path.padded().find("-v");
  const std::size_t upper = path.padded().find("-V");
  std::size_t marker = lower;
  if (upper != std::string_view::npos && (marker == std::string_view::npos || upper > marker)) {
    marker = upper;
  }
  if (marker == std::string_view::npos) return true;
  path.span()[marker] = ' ';
  path.span()[marker + 1] = ' ';
  volatile_member = true;
  return true;
}

// The description the list takes from its first member: everything DESC3, the open report
// and the readers use for the list's own slot.
void copy_first_member(int list, int m) {
  Bstate3& b = state().b;
  Cstate3& c = state().c;
  b.FTYPE3(list) = b.FTYPE3(m);
  b.GDTYP3(list) = b.GDTYP3(m);
  b.SDATE3(list) = b.SDATE3(m);
  b.STIME3(list) = b.STIME3(m);
  b.TSTEP3(list) = b.TSTEP3(m);
  b.NCOLS3(list) = b.NCOLS3(m);
  b.NROWS3(list) = b.NROWS3(m);
  b.NLAYS3(list) = b.NLAYS3(m);
  b.NTHIK3(list) = b.NTHIK3(m);
  b.NVARS3(list) = b.NVARS3(m);
  b.LAYSIZE3(list) = b.LAYSIZE3(m);
  for (PerSlot<double> Bstate3::*f :
       {&Bstate3::P_ALP3, &Bstate3::P_BET3, &Bstate3::P_GAM3, &Bstate3::XCENT3, &Bstate3::YCENT3,
        &Bstate3::XORIG3, &Bstate3::YORIG3, &Bstate3::XCELL3, &Bstate3::YCELL3}) {
    (b.*f)(list) = (b.*f)(m);
  }
  b.VGTYP3(list) = b.VGTYP3(m);
  b.VGTOP3(list) = b.VGTOP3(m);
  b.VGLVS3(list) = b.VGLVS3(m);
  c.GDNAM3(list) = c.GDNAM3(m);
  for (int v = 1; v <= detail::described_vars(m); ++v) {
    c.VLIST3D(v, list) = c.VLIST3D(v, m);
    c.UNITS3(v, list) = c.UNITS3(v, m);
    b.VTYPE3(v, list) = b.VTYPE3(v, m);
  }
}

// (a - b)^2 > 1.0E-10 (a^2 + b^2 + 1.0E-5), with both constants the single-precision values.
bool differs(double a, double b) {
  constexpr double kRel = static_cast<double>(1.0E-10F);
  constexpr double kFloor = static_cast<double>(1.0E-5F);
  return (a - b) * (a - b) > kRel * (a * a + b * b + kFloor);
}

// Compares member M with the list's slot; each mismatch warns and fails the member. FIRST
// receives the first field that differs.
bool agrees(int list, int m, std::string_view& first) {
  const Bstate3& b = state().b;
  const Cstate3& c = state().c;
  bool ok = true;
  auto bad = [&](std::string_view what) {
    warn_open3(MsgBuf<256>() << "Bad " << what << " for " << c.FLNAME3(m).padded()
                             << " in file list " << c.FLNAME3(list).padded());
    if (ok) first = what;
    ok = false;
  };
  if (b.TSTEP3(m) != b.TSTEP3(list)) bad("TSTEP");
  if (SECSDIFF(b.SDATE3(list), b.STIME3(list), b.SDATE3(m), b.STIME3(m)) < 0) {
    auto& w = state().b;
    w.SDATE3(list) = b.SDATE3(m);
    w.STIME3(list) = b.STIME3(m);
  }
  struct IntCheck {
    std::string_view what;
    PerSlot<int> Bstate3::*f;
  };
  for (const IntCheck& k :
       {IntCheck{"FTYPE", &Bstate3::FTYPE3}, IntCheck{"GDTYP", &Bstate3::GDTYP3},
        IntCheck{"NCOLS", &Bstate3::NCOLS3}, IntCheck{"NROWS", &Bstate3::NROWS3},
        IntCheck{"NLAYS", &Bstate3::NLAYS3}, IntCheck{"NTHIK", &Bstate3::NTHIK3},
        IntCheck{"NVARS", &Bstate3::NVARS3}}) {
    if ((b.*k.f)(m) != (b.*k.f)(list)) bad(k.what);
  }
  struct RealCheck {
    std::string_view what;
    PerSlot<double> Bstate3::*f;
  };
  for (const RealCheck& k :
       {RealCheck{"P_ALP", &Bstate3::P_ALP3}, RealCheck{"P_BET", &Bstate3::P_BET3},
        RealCheck{"P_GAM", &Bstate3::P_GAM3}, RealCheck{"XORIG", &Bstate3::XORIG3},
        RealCheck{"YORIG", &Bstate3::YORIG3}, RealCheck{"XCENT", &Bstate3::XCENT3},
        RealCheck{"YCENT", &Bstate3::YCENT3}, RealCheck{"XCELL", &Bstate3::XCELL3},
        RealCheck{"YCELL", &Bstate3::YCELL3}}) {
    if (differs((b.*k.f)(m), (b.*k.f)(list))) bad(k.what);
  }
  // Variable by variable, name then type, up to the list's count (within both tables).
  const int nvars = std::min(detail::described_vars(list), detail::described_vars(m));
  for (int v = 1; v <= detail::described_vars(list); ++v) {
    if (v > nvars || c.VLIST3D(v, m).padded() != c.VLIST3D(v, list).padded()) bad("VNAME");
    if (v > nvars || b.VTYPE3(v, m) != b.VTYPE3(v, list)) bad("VNAME");
  }
  return ok;
}

// A member slot given back: its file closed (reported by its kind), what the kinds keep for
// it (the direct path's descriptor) released, and the slot freed.
void release_member(int m) { (void)detail::give_back_slot(m, detail::GiveBack::kClose); }

// One member name H: open it, enter it, copy or compare its description.
void open_member(ListOpen& l, std::string_view name, int h, std::string_view pname) {
  Bstate3& b = state().b;
  const int m = detail::first_free_slot();
  if (m == 0) {
    XQMSG2(MsgBuf<256>() << "Could not open " << Name16(name).padded()
                         << " Max # of files already opened.");
    l.fail(name, "the file table is full");
    return;
  }
  Path512 path;
  bool volatile_member = false;
  if (!member_path(name, path, volatile_member)) {
    XQWARN("OPNLIST3", 0, 0, "File not available.");
    l.fail(name, "value longer than 512 characters");
    return;
  }
  if (!detail::file_exists(path.padded())) {
    XQMSG2(MsgBuf<640>() << Name16(name).padded() << ":" << path.trimmed());
    XQWARN("OPNLIST3", 0, 0, "File not available.");
    l.fail(name, detail::absence_cause(path.padded()));
    return;
  }
  b.VOLATILE3(m) = volatile_member;
  b.READONLY3(m) = true;
  b.NCID3(m) = detail::kNetcdfCode;  // members are always netCDF files
  state().c.FLNAME3(m) = name;
  const unsigned noted = detail::file_failures_noted();
  if (!OPNFIL3(path.padded(), m, kReadOnlyAccess, pname)) {
    (void)detail::give_back_slot(m, detail::GiveBack::kOpenerClosed);
    const FileFailure f = last_file_failure();
    l.fail(name, detail::file_failures_noted() != noted && f.noted ? f.cause : "not opened");
    return;
  }
  b.MEMBERFID3(l.first_entry + l.opened) = m;
  ++l.opened;
  if (b.LASTFID3 < m) b.LASTFID3 = m;  // the member is found by name while the list lives
  if (h == 1) {
    copy_first_member(l.fid, m);
    return;
  }
  if (l.failed) return;
  if (std::string_view first; !agrees(l.fid, m, first)) {
    l.fail(name, MsgBuf<80>() << first << " differs from the first member's");
    release_member(m);
    --l.opened;
  }
}

// Each member's place in the list's record numbering. A member whose start is not on
// the list's time-step grid has none: the list fails, naming it.
bool place_members(ListOpen& l) {
  Bstate3& b = state().b;
  bool ok = true;
  int last = 0;
  for (int e = l.first_entry; e < l.first_entry + l.opened; ++e) {
    const int m = b.MEMBERFID3(e);
    const int beg =
        JSTEP3(b.SDATE3(m), b.STIME3(m), b.SDATE3(l.fid), b.STIME3(l.fid), b.TSTEP3(l.fid));
    if (beg < 1) {
      warn_open3(MsgBuf<256>() << "Start of " << state().c.FLNAME3(m).padded()
                               << " not on the time steps of file list "
                               << state().c.FLNAME3(l.fid).padded());
      if (ok) l.fail(state().c.FLNAME3(m).padded(), "its start is not on the list's time steps");
      ok = false;
      continue;
    }
    b.MEMBERBEG3(e) = beg;
    b.MEMBEREND3(e) = detail::sat_add(beg, std::max(b.MXREC3(m), 0)) > INT_MAX
                          ? INT_MAX
                          : beg + std::max(b.MXREC3(m), 0);
    last = std::max(last, b.MEMBEREND3(e) - 1);
  }
  // The list holds the records up to the last member's last.
  b.MXREC3(l.fid) = last;
  return ok;
}

// A failed list: its members closed and freed, its slot released, the entries handed out
// again to the next list.
bool fail_list(const ListOpen& l) {
  Bstate3& b = state().b;
  for (int e = l.first_entry; e < l.first_entry + l.opened; ++e) release_member(b.MEMBERFID3(e));
  detail::note_file_failure("OPNLIST3", l.fid, l.cause);
  b.LISTCOUNT3(l.fid) = 0;
  (void)detail::give_back_slot(l.fid, detail::GiveBack::kOpenerClosed);
  return false;
}

}  // namespace

bool OPNLIST3(int fid, std::string_view pname) {
  Bstate3& b = state().b;
  const std::string_view lname = state().c.FLNAME3(fid).padded();
  std::array<Name16, MXOPEN3> names;
  int n = 0;
  if (!STRLIST(lname, kListDesc, MXOPEN3, n, std::span<Name16>(names))) {
    Path512 value;
    NAMEVAL(lname, value.span());
    XQMSG2(MsgBuf<640>() << lname << ":" << value.trimmed());
    warn_open3("Bad FILE_LIST.");
    detail::note_file_failure("OPNLIST3", fid, "bad file list");
    (void)detail::give_back_slot(fid, detail::GiveBack::kOpenerClosed);
    return false;
  }
  const int k = b.LISTUSED3;
  if (k + n > MXOPEN3) {
    XQMSG2(MsgBuf<256>() << "File list " << trimmed(lname)
                         << ": the table of list members is full (" << right_justified(k, 3)
                         << " of " << right_justified(MXOPEN3, 3) << " entries in use)");
    warn_open3("Bad FILE_LIST.");
    detail::note_file_failure("OPNLIST3", fid, "the table of list members is full");
    (void)detail::give_back_slot(fid, detail::GiveBack::kOpenerClosed);
    return false;
  }
  ListOpen l{fid, k + 1, 0, false, {}};
  b.LISTCOUNT3(fid) = 0;
  b.NCID3(fid) = LISTFIL3;
  b.SDATE3(fid) = 99999999;
  b.STIME3(fid) = 0;
  b.LISTFIRST3(fid) = k + 1;
  for (int h = 1; h <= n; ++h) {
    open_member(l, names[static_cast<std::size_t>(h - 1)].padded(), h, pname);
  }
  if (l.failed || !place_members(l)) return fail_list(l);
  b.LISTCOUNT3(fid) = l.opened;
  b.LISTFIRST3(fid) = k + 1;
  b.LISTUSED3 = k + l.opened;
  return true;
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
