#include "memory/memory_kind.h"

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/sizes.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/params.h"

namespace kavro {

namespace {

using detail::MsgBuf;

constexpr std::string_view kWhat = "Memory-resident files are";

detail::Admission admit(int fid, int, std::string_view, std::string_view) {
  return CRTBUF3(fid) ? detail::Admission::kOpened : detail::Admission::kRefused;
}

// A memory-resident file exists only once created; it cannot be opened from disk.
bool open(std::string_view, int fid, int, std::string_view) {
  XQMSG2(MsgBuf<256>() << "Error opening \"BUFFERED\" file " << state().c.FLNAME3(fid).padded());
  XQMSG2("File has not yet been created.");
  return false;
}

bool create(std::string_view, int fid, std::string_view) { return CRTBUF3(fid); }

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

}  // namespace

bool CRTBUF3(int) {
  detail::not_built("CRTBUF3", kWhat);
  return false;
}

bool RDBUF3(int, int, int, int jdate, int jtime, void*) {
  XQWARN("READ3/RDBUF3", jdate, jtime, MsgBuf<256>() << kWhat << " not supported in this build");
  return false;
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
    .read_bytes = read_bytes,
    .report = report,
};

}  // namespace detail
}  // namespace kavro
