#include "binary/binary_checks.h"

#include <algorithm>

#include "binary/record_offsets.h"
#include "core/msgbuf.h"
#include "kavro/core.h"
#include "kavro/kavro_c.h"
#include "util/overflow.h"

namespace kavro::detail {

namespace {

void bad_field(std::string_view caller, std::string_view field, long long value,
               std::string_view path) {
  XQMSG2((MsgBuf<256>(caller) << ":  invalid header field " << field).format(" = %lld", value)
         << " in file " << path);
}

bool check_ranges(std::string_view caller, const Fields& f, std::string_view path) {
  struct Range {
    std::string_view name;
    int value, lo, hi;
  };
  const Range ranges[] = {
      {"NVARS", f.nvars, 0, MXVARS3},   {"NLAYS", f.nlays, 0, MXLAYS3},
      {"NCOLS", f.ncols, 0, INT32_MAX}, {"NROWS", f.nrows, 0, INT32_MAX},
      {"MXREC", f.mxrec, 0, INT32_MAX}, {"INTEGER size", f.isize, 4, 4},
      {"REAL size", f.rsize, 4, 4},     {"DOUBLE size", f.dsize, 8, 8},
  };
  for (const Range& r : ranges) {
    if (r.value < r.lo || r.value > r.hi) {
      bad_field(caller, r.name, r.value, path);
      return false;
    }
  }
  return true;
}

// Every number text of the header ends in its field.
bool check_number_texts(const Header& h, const Fields& f, std::string_view path) {
  for (std::size_t k = 0; k < kGridNames.size(); ++k) {
    if (!grid_terminated(h, k)) {
      XQMSG2(MsgBuf<256>("OPNBIN3:  invalid header field ")
             << kGridNames[k] << " (no NUL in its text) in file " << path);
      return false;
    }
  }
  if (!level_terminated(h, hdr::kVgtop)) {
    XQMSG2(MsgBuf<256>("OPNBIN3:  invalid header field VGTOP (no NUL in its text) in file ")
           << path);
    return false;
  }
  for (int l = 0; l <= f.nlays; ++l) {
    if (!level_terminated(h, level_at(l))) {
      XQMSG2((MsgBuf<256>("OPNBIN3:  invalid header field VGLVS")).format("(%d)", l + 1)
             << " (no NUL in its text) in file " << path);
      return false;
    }
  }
  return true;
}

}  // namespace

void report_unsupported_type(int ftype) {
  XQMSG2((MsgBuf<80>()).format("CRTBIN3():  unsupported FTYPE %d", ftype));
}

bool check_fields(std::string_view caller, const Fields& f, std::string_view path,
                  std::span<const int> vtype, BinState& st) {
  if (!check_ranges(caller, f, path)) return false;
  const std::optional<LayerShape> shape = layer_shape(f);
  if (!shape) {
    report_unsupported_type(f.ftype);
    if (caller == "OPNBIN3") bad_field(caller, "FTYPE", f.ftype, path);
    return false;
  }
  if (shape->values < 0) {
    bad_field(caller, "NTHIK", f.nthik, path);
    return false;
  }
  // Invalid variable types are left to set_fstate: any code that is not 4, 5 or 6 counts as
  // a 4-byte value here, which overstates nothing.
  std::array<int, MXVARS3> types{};
  const auto nv = static_cast<std::size_t>(f.nvars);
  for (std::size_t v = 0; v < nv; ++v) types[v] = vtype[v] == XQDBLE ? XQDBLE : XQREAL;
  if (compute_record_offsets(st, f, std::span<const int>(types.data(), nv)) < 0) {
    XQMSG2(MsgBuf<256>(caller) << ":  invalid header field NCOLS x NROWS x NLAYS in file " << path);
    return false;
  }
  return true;
}

bool check_read_fields(const Header& h, int mark, std::string_view path, BinState& st, Fields& f,
                       std::array<int, MXVARS3>& vtypes) {
  // The records hold raw host memory: a file written in another byte order cannot be read.
  if (byte_order_mark(h) != mark) {
    xqwarnc("OPNBIN3", 0, 0, "Byte-order mismatch");
    XQMSG2("OPNBIN3:  invalid file specification");
    return false;
  }
  f = decode_fields(h);
  if (f.nvars > MXVARS3) XQMSG2("CRTBIN3:  max NVARS exceeded for this build");
  const std::size_t nv = static_cast<std::size_t>(std::clamp(f.nvars, 0, MXVARS3));
  decode_vtypes(h, std::span<int>(vtypes.data(), nv));
  st.int_size = 4;
  st.real_size = 4;
  st.dble_size = 8;
  return check_fields("OPNBIN3", f, path, std::span<const int>(vtypes.data(), nv), st);
}

bool check_file(const Header& h, const Fields& f, const BinState& st, std::int64_t length,
                std::string_view path) {
  if (!check_number_texts(h, f, path)) return false;
  if (length < st.hdr_len) {
    XQMSG2(MsgBuf<256>("OPNBIN3:  file shorter than its header: ") << path);
    return false;
  }
  // A record counts once its flags are written: MXREC records reach at least the flags of
  // the last one.
  if (f.mxrec > 0) {
    std::int64_t need = 0;
    const std::int64_t flags = 8 * static_cast<std::int64_t>(f.nvars > 0 ? f.nvars : 1);
    if (!checked_mul(st.rec_len, f.mxrec - 1, need) || !checked_add(need, st.hdr_len, need) ||
        !checked_add(need, flags, need) || need > length) {
      bad_field("OPNBIN3", "MXREC", f.mxrec, path);
      return false;
    }
  }
  return true;
}

}  // namespace kavro::detail
