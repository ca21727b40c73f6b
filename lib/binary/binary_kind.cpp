#include "binary/binary_kind.h"

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/sizes.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/params.h"

namespace kavro::detail {

namespace {

constexpr std::string_view kWhat = "Native binary files are";

bool open(std::string_view, int, int, std::string_view) {
  not_built("OPNBIN3", kWhat);
  return false;
}
bool create(std::string_view, int, std::string_view) {
  not_built("CRTBIN3", kWhat);
  return false;
}
bool describe(int, std::string_view lname) {
  not_built("DSCBIN3", kWhat);
  XQWARN("DESC3", 0, 0, MsgBuf<256>() << "Error reading header for BINFIL3 file " << lname);
  return false;
}
bool flush(int) {
  not_built("FLUSHBIN3", kWhat);
  return false;
}
bool sync(int fid) {
  if (flush(fid)) return true;
  XQMSG2(MsgBuf<80>() << "Error flushing BINIO3 file \"" << state().c.FLNAME3(fid).trimmed()
                      << "\"");
  return false;
}
bool read_flags(int fid, int, int, int, int, std::span<int>, MsgBuf<256>& why) {
  not_built("RDBFLAG", kWhat);
  why << "Error reading time-flags for BINIO3 file " << state().c.FLNAME3(fid).padded();
  return false;
}
// The variables of record STEP (VID, or all; LAYER, or all) into BUFFER; 1 on success.
int RDBVARS(int, int, int, int, std::byte*) {
  not_built("RDBVARS", kWhat);
  return 0;
}

// Position (1-based) of the layer entry in the START/COUNT vectors of a native binary
// transfer, by file type; 0 when the type has none.
int layer_position(int ftype) noexcept {
  switch (ftype) {
    case GRDDED3:
    case kTypeSeven:
    case PTRFLY3:
    case PROFIL3:
    case GRNEST3:
      return 3;
    case BNDARY3:
    case IDDATA3:
    case CUSTOM3:
      return 2;
    case SMATRX3:
      return 1;
    default:
      return 0;
  }
}

bool read_vars(int fid, int vid, const SlabVector& start, const SlabVector& count,
               std::int64_t size, std::byte* out) {
  const Bstate3& b = state().b;
  const Cstate3& c = state().c;
  const int p = layer_position(b.FTYPE3(fid));
  if (p == 0) {
    if (vid >= 1) {
      XQMSG2(MsgBuf<256>("RDVARS:  bad file type for variable ")
             << c.VLIST3D(vid, fid).padded() << "from file " << c.FLNAME3(fid).padded());
    } else {
      XQMSG2(MsgBuf<256>("RDVARS:  bad file type for file ") << c.FLNAME3(fid).padded());
    }
    return false;
  }
  const auto pi = static_cast<std::size_t>(p - 1);
  const int layer = start[pi] == 1 && count[pi] == b.NLAYS3(fid) ? ALLAYS3 : start[pi];
  std::int64_t words = 0;  // advance per record
  if (vid >= 1) {
    words = sat_mul(size, words_per_value(b.VTYPE3(vid, fid)));
  } else {
    const int n = described_vars(fid) > 0 ? described_vars(fid) : 1;
    for (int v = 1; v <= n; ++v) {
      words = sat_add(words, sat_mul(size, words_per_value(b.VTYPE3(v, fid))));
    }
  }
  bool ok = true;
  const int first = start[pi + 1];
  for (int rec = first; rec < first + count[pi + 1]; ++rec) {
    if (RDBVARS(fid, vid, layer, rec, out) == 0) ok = false;
    out += sat_mul(words, kWordBytes);
  }
  if (!ok) {
    if (vid >= 1) {
      XQMSG2(MsgBuf<256>("Error reading variable ")
             << c.VLIST3D(vid, fid).padded() << "from file " << c.FLNAME3(fid).padded());
    } else {
      XQMSG2(MsgBuf<256>("Error reading ALL VARIABLES from file ") << c.FLNAME3(fid).padded());
    }
  }
  return ok;
}

// A record of the site, profile, nest and matrix types comes whole: every layer of every
// variable; the gridded, boundary and custom types as their netCDF transfer would, without
// the header arrays.
std::int64_t read_bytes(int fid, int vid, int layer) {
  const Bstate3& b = state().b;
  const int ftype = b.FTYPE3(fid);
  const int nvars = described_vars(fid);
  if (vid > nvars) return 0;
  const bool whole = ftype >= IDDATA3 && ftype <= SMATRX3;
  const bool by_layer = ftype == GRDDED3 || ftype == kTypeSeven || ftype == PTRFLY3 ||
                        ftype == BNDARY3 || ftype == CUSTOM3;
  if (!whole && !by_layer) return 0;
  const std::int64_t laysize = non_negative(b.LAYSIZE3(fid));
  const std::int64_t nlays = non_negative(b.NLAYS3(fid));
  const std::int64_t values = whole || layer == ALLAYS3 ? sat_mul(nlays, laysize) : laysize;
  std::int64_t words = 0;
  for (int v = 1; v <= nvars; ++v) {
    if (!whole && vid >= 1 && v != vid) continue;
    words = sat_add(words, sat_mul(values, words_per_value(b.VTYPE3(v, fid))));
  }
  return sat_mul(words, kWordBytes);
}

int close(int) { return 0; }  // nothing of this kind is ever opened in this build

void report(int, std::string_view access) {
  put_log_line_untrimmed(MsgBuf<80>() << "Native-binary file opened as " << access);
}

}  // namespace

const FileKind kBinaryKind = {
    .code = BINFIL3,
    .prefix = "BIN:",
    .strip_prefix = true,
    .on_disk = true,
    .open = open,
    .create = create,
    .describe = describe,
    .flush = flush,
    .sync = sync,
    .read_flags = read_flags,
    .read_vars = read_vars,
    .read_bytes = read_bytes,
    .close = close,
    .close_name = "BINFIL3",
    .report = report,
};

}  // namespace kavro::detail
