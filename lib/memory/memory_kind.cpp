#include "memory/memory_kind.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/sizes.h"
#include "core/slot_facts.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/kavro_c.h"
#include "kavro/memory.h"
#include "kavro/params.h"
#include "kavro/util.h"
#include "memory/buffers.h"
#include "util/layer_size.h"

namespace kavro {

namespace {

using detail::MsgBuf;

detail::Admission admit(int fid, int, std::string_view, std::string_view) {
  return CRTBUF3(fid) ? detail::Admission::kOpened : detail::Admission::kRefused;
}

// A memory-resident file exists only once created; it cannot be opened from disk.
bool open(std::string_view, int fid, int, std::string_view) {
  XQMSG2(MsgBuf<256>() << "Error opening \"BUFFERED\" file " << state().c.FLNAME3(fid).padded());
  XQMSG2("File has not yet been created.");
  return false;
}

bool create(std::string_view, int fid, std::string_view, bool) { return CRTBUF3(fid); }

// The file carries the run's own stamps and no descriptions.
bool describe(int, std::string_view) {
  const auto& st = state();
  CDESC3.EXECN3D = st.c.EXECID3;
  BDESC3.CDATE3D = BDESC3.WDATE3D = st.b.RUNDATE3;
  BDESC3.CTIME3D = BDESC3.WTIME3D = st.b.RUNTIME3;
  CDESC3.UPNAM3D = kFreeSlotName;
  for (Line80& l : CDESC3.FDESC3D) l.blank();
  for (Line80& l : CDESC3.UPDSC3D) l.blank();
  return true;
}

// M values per variable (one layer, or all); all variables only while they are REAL.
std::int64_t read_bytes(int fid, int vid, int layer) {
  using namespace detail;
  const Bstate3& b = state().b;
  const int nvars = described_vars(fid);
  if (vid > nvars) return 0;
  const std::int64_t laysize = non_negative(b.LAYSIZE3(fid));
  const std::int64_t m = layer < 1 ? sat_mul(laysize, non_negative(b.NLAYS3(fid))) : laysize;
  std::int64_t words = 0;
  if (vid >= 1) {
    const int t = b.VTYPE3(vid, fid);
    words = t == XQINT || t == XQREAL || t == XQDBLE ? sat_mul(m, words_per_value(t)) : 0;
  } else {
    for (int v = 1; v <= nvars && b.VTYPE3(v, fid) == XQREAL; ++v) words = sat_add(words, m);
  }
  return sat_mul(words, kWordBytes);
}

void report(int, std::string_view access) {
  detail::put_log_line_untrimmed(MsgBuf<80>() << "BUFFERED \"file\" opened as " << access);
}

void release(int fid) { (void)BUFDEL3(fid); }

// CRTBUF3's block for a file type the memory holds no layout for, straight to the log.
void illegal_type(int fid, int ftype) {
  detail::put_log_line("");
  detail::put_log_line("");
  detail::put_log_line(">>> WARNING in subroutine CRTBUF3 <<<");
  detail::put_log_line(MsgBuf<80>("BUFFERED-file creation error for file ")
                       << state().c.FLNAME3(fid).padded());
  detail::put_log_line(MsgBuf<80>("ILLEGAL FILE TYPE.") << detail::right_justified(ftype, 5));
  detail::put_log_line("");
  detail::put_log_line("");
  detail::flush_log();
  detail::note_file_failure(
      "CRTBUF3", fid,
      MsgBuf<80>().format("a BUFFERED file cannot hold file type %d (FDESC)", ftype));
}

// Whether the latest (WHICH 0) or the earlier (WHICH 1) step held for VID is (JDATE, JTIME).
bool holds(int fid, int vid, int which, int jdate, int jtime) {
  const Bstate3& b = state().b;
  const int date = which == 0 ? b.BUF0DATE3(vid, fid) : b.BUF1DATE3(vid, fid);
  const int time = which == 0 ? b.BUF0TIME3(vid, fid) : b.BUF1TIME3(vid, fid);
  return date != IMISSING3 && jdate == date && jtime == time;
}

// The half of VID holding (JDATE, JTIME); false when it holds none (a time-stepped file
// warns).
bool half_for(int fid, int vid, int jdate, int jtime, int& half) {
  const Bstate3& b = state().b;
  const int last = b.BUFLAST3(vid, fid);
  if (b.TSTEP3(fid) == 0) {
    half = last;
    return b.BUF0DATE3(vid, fid) == 0;
  }
  if (holds(fid, vid, 0, jdate, jtime) || holds(fid, vid, 1, jdate, jtime)) {
    half = holds(fid, vid, 0, jdate, jtime) ? last : 1 - last;
    return true;
  }
  XQWARN("READ3/RDBUF3", jdate, jtime,
         MsgBuf<256>("Date and time not available in ") << state().c.FLNAME3(fid).padded());
  return false;
}

}  // namespace

bool CRTBUF3(int fid) {
  Bstate3& b = state().b;
  Cstate3& c = state().c;
  const Bdesc3& bd = BDESC3;
  const Cdesc3& cd = CDESC3;
  // The buffers hold the types whose variables are whole layers of cells or of a perimeter.
  switch (bd.FTYPE3D) {
    case CUSTOM3:
    case GRDDED3:
    case kTypeSeven:
    case BNDARY3:
      break;
    default:
      illegal_type(fid, bd.FTYPE3D);
      return false;
  }
  const std::int64_t values = *detail::layer_size(bd.FTYPE3D, bd.NCOLS3D, bd.NROWS3D, bd.NTHIK3D);
  // Counts a buffer could not be sized from are refused before anything is set.
  if (bd.NCOLS3D < 0 || bd.NROWS3D < 0 || bd.NLAYS3D < 0 || bd.NVARS3D < 0 ||
      bd.NVARS3D > MXVARS3 || values < 0 || values > INT32_MAX) {
    XQWARN("OPEN3/CRTBUF3", 0, 0,
           MsgBuf<256>("Bad dimensions for BUFFERED file ") << c.FLNAME3(fid).padded());
    detail::note_file_failure("CRTBUF3", fid, "bad dimensions in FDESC for a BUFFERED file");
    return false;
  }
  b.NCID3(fid) = MEMFIL3;
  b.FTYPE3(fid) = bd.FTYPE3D;
  b.NVARS3(fid) = bd.NVARS3D;
  detail::grid_from_description(fid);
  b.MXREC3(fid) = 0;
  b.TFLAGID3(fid) = IMISSING3;
  b.NCOLS3(fid) = bd.NCOLS3D;
  b.NROWS3(fid) = bd.NROWS3D;
  b.NLAYS3(fid) = bd.NLAYS3D;
  b.NTHIK3(fid) = bd.NTHIK3D;
  const int nlevels = detail::level_count(bd.NLAYS3D, 0, MXLAYS3);
  std::copy_n(bd.VGLVS3D.begin(), nlevels, b.VGLVS3(fid).begin());
  b.LAYSIZE3(fid) = static_cast<int>(values);
  for (int v = 1; v <= bd.NVARS3D; ++v) {
    const auto i = static_cast<std::size_t>(v - 1);
    b.VARID3(v, fid) = IMISSING3;
    b.VTYPE3(v, fid) = bd.VTYPE3D[i];
    b.BUF0DATE3(v, fid) = b.BUF0TIME3(v, fid) = IMISSING3;
    b.BUF1DATE3(v, fid) = b.BUF1TIME3(v, fid) = IMISSING3;
    b.BUFLAST3(v, fid) = 0;
    c.VLIST3D(v, fid) = cd.VNAME3D[i];
    c.UNITS3(v, fid) = cd.UNITS3D[i];
    if (bd.VTYPE3D[i] == XQDBLE) {
      XQWARN("OPEN3/CRTBUF3", 0, 0,
             MsgBuf<256>("DOUBLE PRECISION BUFFERRED not supported for ")
                 << cd.VNAME3D[i].padded());
      return false;
    }
  }
  return BUFCRE3(fid, bd.NVARS3D, bd.NLAYS3D, static_cast<int>(values), bd.VTYPE3D.data(),
                 bd.TSTEP3D) != 0;
}

bool RDBUF3(int fid, int vid, int layer, int jdate, int jtime, void* buffer) {
  const Bstate3& b = state().b;
  const int laysize = b.LAYSIZE3(fid);
  const int nlays = b.NLAYS3(fid);
  if (vid >= 1) {
    int half = 0;
    if (!half_for(fid, vid, jdate, jtime, half)) return false;
    switch (b.VTYPE3(vid, fid)) {
      case XQINT:
        return BUFGET3I(fid, vid, layer, nlays, laysize, half, static_cast<int*>(buffer)) != 0;
      case XQREAL:
        return BUFGET3(fid, vid, layer, nlays, laysize, half, static_cast<float*>(buffer)) != 0;
      case XQDBLE:
        return BUFGET3D(fid, vid, layer, nlays, laysize, half, static_cast<double*>(buffer)) != 0;
      default:
        return false;
    }
  }
  const int nvars = detail::described_vars(fid);
  if (nvars == 0) return true;
  const std::int64_t m = layer < 1 ? std::int64_t{laysize} * nlays : laysize;
  auto* out = static_cast<float*>(buffer);
  for (int v = 1; v <= nvars; ++v) {
    if (b.VTYPE3(v, fid) != XQREAL) {
      XQWARN("READ3/RDBUF3", jdate, jtime, "ALLVAR3 non-REAL types not supported");
      return false;
    }
    int half = 0;
    if (!half_for(fid, v, jdate, jtime, half)) return false;
    if (BUFGET3(fid, v, layer, nlays, laysize, half, out) == 0) return false;
    out += m;
  }
  return true;
}

namespace {

// Stores every layer of variable VID as the step of (JDATE, JTIME). A date and time already
// held is replaced in place; a new one replaces the older of the two held steps and becomes
// the latest. False when the buffer routine failed (it has logged why).
bool store_step(int fid, int vid, int jdate, int jtime, const void* buffer) {
  Bstate3& b = state().b;
  const int tstep = b.TSTEP3(fid);
  const std::int64_t n = std::int64_t{b.LAYSIZE3(fid)} * b.NLAYS3(fid);
  int& last = b.BUFLAST3(vid, fid);
  int half = 0;
  bool fresh = true;
  if (tstep != 0) {
    if (holds(fid, vid, 0, jdate, jtime) || holds(fid, vid, 1, jdate, jtime)) {
      half = holds(fid, vid, 0, jdate, jtime) ? last : 1 - last;
      fresh = false;
    } else if (b.BUF0DATE3(vid, fid) != IMISSING3) {
      half = 1 - last;
    }
  }
  int ok = 0;
  const int size = static_cast<int>(n);
  switch (b.VTYPE3(vid, fid)) {
    case XQINT:
      ok = BUFPUT3I(fid, vid, size, half, tstep, static_cast<const int*>(buffer));
      break;
    case XQREAL:
      ok = BUFPUT3(fid, vid, size, half, tstep, static_cast<const float*>(buffer));
      break;
    case XQDBLE:
      ok = BUFPUT3D(fid, vid, size, half, tstep, static_cast<const double*>(buffer));
      break;
    default:
      break;
  }
  if (ok == 0) return false;
  if (tstep == 0) {
    b.BUF0DATE3(vid, fid) = b.BUF0TIME3(vid, fid) = 0;
    last = 0;
  } else if (fresh) {
    b.BUF1DATE3(vid, fid) = b.BUF0DATE3(vid, fid);
    b.BUF1TIME3(vid, fid) = b.BUF0TIME3(vid, fid);
    b.BUF0DATE3(vid, fid) = jdate;
    b.BUF0TIME3(vid, fid) = jtime;
    last = half;
  }
  return true;
}

// WRITE3: one variable, or every variable one after another in the buffer as READ3 of all
// layers lays them out. A memory-resident file keeps no flags and no record count: the date
// and time are its buffers' own.
bool write_step(int fid, int vid, int, const std::array<int, 2>&, int jdate, int jtime,
                const std::byte* in) {
  const Bstate3& b = state().b;
  if (vid >= 1) return store_step(fid, vid, jdate, jtime, in);
  const std::int64_t n = std::int64_t{b.LAYSIZE3(fid)} * b.NLAYS3(fid);
  for (int v = 1; v <= detail::described_vars(fid); ++v) {
    if (!store_step(fid, v, jdate, jtime, in)) return false;
    in += n * detail::words_per_value(b.VTYPE3(v, fid)) * detail::kWordBytes;
  }
  return true;
}

}  // namespace

bool write_buffered_step(std::string_view fname, std::string_view vname, int jdate, int jtime,
                         const void* buffer) {
  constexpr std::string_view kCaller = "write_buffered_step";
  const int fid = NAME2FID(fname);
  if (fid <= 0 || state().b.NCID3(fid) != MEMFIL3) {
    XQWARN(kCaller, jdate, jtime, MsgBuf<256>("Not an open BUFFERED file: \"") << fname << '"');
    return false;
  }
  const int vid = detail::variable_index(fid, vname);
  if (vid == 0) {
    XQWARN(kCaller, jdate, jtime,
           MsgBuf<256>("Variable \"") << trimmed(vname) << "\" not in file " << fname);
    return false;
  }
  if (!store_step(fid, vid, jdate, jtime, buffer)) {
    XQWARN(kCaller, jdate, jtime,
           MsgBuf<256>("Could not store variable ") << trimmed(vname) << " in " << fname);
    return false;
  }
  return true;
}

namespace detail {

const FileKind kMemoryKind = {
    .code = MEMFIL3,
    .prefix = "BUFFERED",
    .admit = admit,
    .open = open,
    .create = create,
    .describe = describe,
    .read_dated = RDBUF3,
    .write_step = write_step,
    .read_bytes = read_bytes,
    .release = release,
    .forget = release_all_buffers,
    .report = report,
};

}  // namespace detail
}  // namespace kavro
