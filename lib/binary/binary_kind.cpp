#include "binary/binary_kind.h"

#include <algorithm>
#include <array>

#include "binary/binary_state.h"
#include "core/log.h"
#include "core/msgbuf.h"
#include "core/sizes.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "filetype/transfer_plan.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/kavro_c.h"
#include "kavro/params.h"

namespace kavro::detail {

namespace {

// The path as the module takes it: up to its first blank, at most 510 characters.
std::array<char, 512> c_path(std::string_view path) {
  std::array<char, 512> p{};
  name2cstr(path.data(), p.data(), static_cast<int>(path.size()), static_cast<int>(p.size()));
  return p;
}

bool open(std::string_view path, int fid, int access, std::string_view) {
  return OPNBIN3(c_path(path).data(), fid, access, "") != 0;
}
bool create(std::string_view path, int fid, std::string_view, bool) {
  return CRTBIN3(c_path(path).data(), fid, "") != 0;
}
// The header's stamps, descriptions and levels, and the record count it holds now.
bool describe(int fid, std::string_view lname) {
  if (DSCBIN3(fid) == 0) {
    XQWARN("DESC3", 0, 0, MsgBuf<256>() << "Error reading header for BINFIL3 file " << lname);
    return false;
  }
  BDESC3.MXREC3D = state().b.MXREC3(fid);
  return true;
}
bool flush(int fid) { return FLUSHBIN3(fid) != 0; }
bool sync(int fid) {
  if (flush(fid)) return true;
  XQMSG2(MsgBuf<80>() << "Error flushing BINIO3 file \"" << state().c.FLNAME3(fid).trimmed()
                      << "\"");
  return false;
}
bool read_flags(int fid, int vid, int, int, int step, std::span<int> flags, MsgBuf<256>& why) {
  if (RDBFLAG(fid, vid, step, flags.data()) != 0) return true;
  why << "Error reading time-flags for BINIO3 file " << state().c.FLNAME3(fid).padded();
  note_file_failure("RDTFLAG", fid, "time-step flags unreadable");
  return false;
}

// The read's layer and record through RDBVARS; the one layer of a one-layer file is read as
// all layers, in one piece.
bool read_vars(int fid, int vid, const VarRead& read, std::byte* out) {
  const Bstate3& b = state().b;
  const Cstate3& c = state().c;
  if (transfer_type(fid) == 0) {
    if (vid >= 1) {
      XQMSG2(MsgBuf<256>("RDVARS:  bad file type for variable ")
             << c.VLIST3D(vid, fid).padded() << "from file " << c.FLNAME3(fid).padded());
    } else {
      XQMSG2(MsgBuf<256>("RDVARS:  bad file type for file ") << c.FLNAME3(fid).padded());
    }
    return false;
  }
  const int layer = read.layer == 1 && b.NLAYS3(fid) == 1 ? ALLAYS3 : read.layer;
  const bool ok = RDBVARS(fid, vid, layer, read.record, out) != 0;
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

// WRITE3: the values through WRBVARS (one variable's layers, or the whole record for every
// variable and for the site, profile, nest and matrix types, as READ3 reads them), then the
// flag pair through WRBFLAG, which also grows the record count in the header and MXREC3.
// The data go first, so a reader never finds a flag for values not yet there.
bool write_step(int fid, int vid, int step, const std::array<int, 2>& flags, int, int,
                const std::byte* in) {
  return WRBVARS(fid, vid, step, in) != 0 && WRBFLAG(fid, vid, step, flags.data()) != 0;
}

// A record of a type with per-step arrays (site, profile, nest and matrix) comes whole: every
// layer of every variable; the gridded, boundary and custom types as their netCDF transfer
// would, without the header arrays.
std::int64_t read_bytes(int fid, int vid, int layer) {
  const Bstate3& b = state().b;
  const int nvars = described_vars(fid);
  if (vid > nvars) return 0;
  const layout::TypeLayout* t = layout::type_layout(b.FTYPE3(fid));
  if (t == nullptr || t->transfer == 0) return 0;
  const bool whole = !t->structural.empty();
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

// In a whole record the variables follow each other, every layer of each.
std::int64_t values_offset(int fid, int vid, int layer) {
  const Bstate3& b = state().b;
  const std::int64_t laysize = non_negative(b.LAYSIZE3(fid));
  const std::int64_t nlays = non_negative(b.NLAYS3(fid));
  std::int64_t words = 0;
  for (int v = 1; v < vid; ++v) {
    words = sat_add(words, sat_mul(sat_mul(nlays, laysize), words_per_value(b.VTYPE3(v, fid))));
  }
  if (layer != ALLAYS3 && layer > 1) {
    words =
        sat_add(words, sat_mul(sat_mul(layer - 1, laysize), words_per_value(b.VTYPE3(vid, fid))));
  }
  return sat_mul(words, kWordBytes);
}

int close(int fid) { return CLOSEBIN3(fid) != 0 ? 0 : 1; }
void release(int fid) { discard_state(fid); }
void init(std::string_view version, int rundate, int runtime) {
  std::array<char, 81> text{};
  const std::size_t n = std::min(version.size(), text.size() - 1);
  std::copy_n(version.begin(), n, text.begin());
  (void)INITBIN3(text.data(), rundate, runtime);
}

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
    .write_step = write_step,
    .read_bytes = read_bytes,
    .values_offset = values_offset,
    .close = close,
    .close_name = "BINFIL3",
    .release = release,
    .init = init,
    .forget = discard_all,
    .report = report,
};

}  // namespace kavro::detail
