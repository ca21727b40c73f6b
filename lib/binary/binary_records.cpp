// The time-step records of a native binary file: every access is one seek to a computed
// offset and one read or write. Requests are checked against the file's layout first (a
// step below 1, a variable or layer the file does not have, a window off the grid), so no
// offset is computed from a number that does not fit.
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "binary/binary_format.h"
#include "binary/binary_state.h"
#include "core/msgbuf.h"
#include "core/state.h"
#include "core/syscalls.h"
#include "kavro/core.h"
#include "kavro/kavro_c.h"
#include "kavro/params.h"

namespace kavro::detail {

namespace {

// Bytes per value by type code.
constexpr std::array<std::int64_t, 7> tsizes = {0, 1, 1, 2, 4, 4, 8};

// The extraction buffer of XTRBIN3: it grows on demand and stays between calls.
constinit unsigned char* inbuf = nullptr;
constinit std::int64_t last_size = 0;  // in values of 8 bytes

// The common first steps: the slot's state and its stream, or the routine's message.
BinState* open_state(int fid, std::string_view routine) {
  BinState* st = bin_state(fid);
  sys::clear_failure();  // no system call failed: there is nothing to describe
  if (st == nullptr) {
    log_system_failure(MsgBuf<80>(routine) << ":  file not yet open");
    return nullptr;
  }
  if (st->stream == nullptr) {
    log_system_failure(MsgBuf<80>(routine) << ":  bad FID");
    return nullptr;
  }
  return st;
}

// The start of record STEP; false (reported) for a step the file cannot have.
bool record_start(const BinState& st, int step, std::string_view routine, std::int64_t& at) {
  if (step >= 1 && !__builtin_mul_overflow(st.rec_len, std::int64_t{step} - 1, &at) &&
      !__builtin_add_overflow(at, st.hdr_len, &at)) {
    return true;
  }
  XQMSG2((MsgBuf<80>(routine) << ":  bad time step").format(" %d", step));
  return false;
}

bool bad_request(std::string_view routine, std::string_view what, int value) {
  XQMSG2((MsgBuf<80>(routine) << ":  bad " << what).format(" %d", value));
  return false;
}

// VID (below 1: all) and LAYER (below 1: all) within the file.
bool check_var_layer(const BinState& st, int vid, int layer, std::string_view routine) {
  if (vid > st.nvars) return bad_request(routine, "variable", vid);
  if (layer > st.nlays) return bad_request(routine, "layer", layer);
  return true;
}

// Whether a layer of variable V is NCOLS x NROWS values, columns fastest.
bool gridded_layer(const BinState& st, int v) {
  const int t = st.vtype[static_cast<std::size_t>(v - 1)];
  return t >= 1 && t <= XQDBLE &&
         st.lay_size[static_cast<std::size_t>(v - 1)] ==
             std::int64_t{st.ncols} * st.nrows * tsizes[static_cast<std::size_t>(t)];
}

bool in_range(int lo, int hi, int n) { return lo >= 1 && lo <= hi && hi <= n; }

// Offset and count of the flag pairs of VID (below 1: every variable) in record STEP.
bool flag_span(const BinState& st, int vid, int step, std::string_view routine, std::int64_t& at,
               std::size_t& count) {
  if (!check_var_layer(st, vid, 0, routine) || !record_start(st, step, routine, at)) return false;
  if (vid >= 1) {
    at += 8 * std::int64_t{vid - 1};
    count = 2;
  } else {
    count = 2 * static_cast<std::size_t>(st.nvars > 0 ? st.nvars : 1);
  }
  return true;
}

// Offset and length of VID's data (or, VID below 1 or a type read whole, every variable's)
// in record STEP: what WRBVARS writes and a whole-record RDBVARS reads.
bool whole_span(const BinState& st, int vid, std::int64_t start, std::int64_t& at,
                std::int64_t& len) {
  if (vid >= 1 && !(st.ftype >= IDDATA3 && st.ftype <= SMATRX3)) {
    const auto i = static_cast<std::size_t>(vid - 1);
    at = start + st.offset[i];
    len = st.lay_size[i] * st.nlays;
    return false;
  }
  at = start + st.data_start;
  len = st.rec_len - st.data_start;
  return true;
}

}  // namespace

void release_scratch() noexcept {
  sys::release(inbuf);
  inbuf = nullptr;
  last_size = 0;
}

}  // namespace kavro::detail

namespace sys = kavro::detail::sys;
using kavro::detail::BinState;
using kavro::detail::MsgBuf;

extern "C" {

int RDBFLAG(int fid, int vid, int step, int* flags) {
  using namespace kavro::detail;
  BinState* st = open_state(fid, "RDBFLAG");
  std::int64_t at = 0;
  std::size_t count = 0;
  if (st == nullptr || !flag_span(*st, vid, step, "RDBFLAG", at, count)) return 0;
  if (!sys::fseek(st->stream, at)) {
    kavro::XQMSG2("RDBFLAG:  fseeko( TIMESTEP HEADER ) failure");
    return 0;
  }
  std::array<unsigned char, 4 * 2 * kavro::MXVARS3> raw;
  if (!sys::fread_full(raw.data(), 4 * count, st->stream)) {
    log_system_failure("RDBFLAG:  fread( TIMESTEP HEADER ) failure");
    return 0;
  }
  for (std::size_t i = 0; i < count; ++i) flags[i] = get_le(raw.data() + 4 * i);
  return 1;
}

int WRBFLAG(int fid, int vid, int step, const int* flags) {
  using namespace kavro::detail;
  BinState* st = open_state(fid, "WRBFLAG");
  std::int64_t at = 0;
  std::size_t count = 0;
  if (st == nullptr || !flag_span(*st, vid, step, "WRBFLAG", at, count)) return 0;
  if (!sys::fseek(st->stream, at)) {
    kavro::XQMSG2("RDBFLAG:  fseeko( TIMESTEP HEADER ) failure");
    return 0;
  }
  std::array<unsigned char, 4 * 2 * kavro::MXVARS3> raw;
  for (std::size_t i = 0; i < count; ++i) put_le(raw.data() + 4 * i, flags[i % 2]);
  if (!sys::fwrite_full(raw.data(), 4 * count, st->stream)) {
    log_system_failure("WRBFLAG:  fwrite( TIMESTEP HEADER ) failure");
    return 0;
  }
  if (step > st->mxrec) {
    if (!sys::fseek(st->stream, 0)) {
      kavro::XQMSG2("WRBFLAG:  fseeko( MXREC ) failure");
      return 0;
    }
    put_le(raw.data(), step);
    if (!sys::fwrite_full(raw.data(), 4, st->stream)) {
      log_system_failure("RDBFLAG:  fwrite( MXREC ) failure");
      return 0;
    }
    st->mxrec = step;
    kavro::state().b.MXREC3(fid) = step;
  }
  return 1;
}

int RDBVARS(int fid, int vid, int layer, int step, void* buffer) {
  using namespace kavro::detail;
  BinState* st = open_state(fid, "RDBVARS");
  std::int64_t start = 0;
  if (st == nullptr || !check_var_layer(*st, vid, layer, "RDBVARS") ||
      !record_start(*st, step, "RDBVARS", start)) {
    return 0;
  }
  auto* out = static_cast<unsigned char*>(buffer);
  const bool whole_type = st->ftype >= kavro::IDDATA3 && st->ftype <= kavro::SMATRX3;
  if (!whole_type && vid < 1 && layer >= 1) {
    // All variables, one layer: one read per variable.
    for (int v = 0; v < st->nvars; ++v) {
      const auto i = static_cast<std::size_t>(v);
      if (!sys::fseek(st->stream, start + st->offset[i] + (layer - 1) * st->lay_size[i])) {
        kavro::XQMSG2("RDBVARS:  fseeko( V-TIMESTEP ) failure");
        return 0;
      }
      if (!sys::fread_full(out, static_cast<std::size_t>(st->lay_size[i]), st->stream)) {
        log_system_failure("RDBVARS:  fread( V-TIMESTEP ) failure");
        return 0;
      }
      out += st->lay_size[i];
    }
    return 1;
  }
  // Every layer of every variable, or of one variable, or one layer of one variable.
  std::int64_t at = 0;
  std::int64_t len = 0;
  (void)whole_span(*st, vid, start, at, len);
  if (!whole_type && vid >= 1 && layer >= 1) {
    const auto i = static_cast<std::size_t>(vid - 1);
    at += (layer - 1) * st->lay_size[i];
    len = st->lay_size[i];
  }
  if (!sys::fseek(st->stream, at)) {
    kavro::XQMSG2("RDBVARS:  fseeko( TIMESTEP ) failure");
    return 0;
  }
  if (!sys::fread_full(out, static_cast<std::size_t>(len), st->stream)) {
    log_system_failure("RDBVARS:  fread( TIMESTEP ) failure");
    return 0;
  }
  return 1;
}

int WRBVARS(int fid, int vid, int step, const void* buffer) {
  using namespace kavro::detail;
  BinState* st = open_state(fid, "WRBVARS");
  std::int64_t start = 0;
  if (st == nullptr || !check_var_layer(*st, vid, 0, "WRBVARS") ||
      !record_start(*st, step, "WRBVARS", start)) {
    return 0;
  }
  std::int64_t at = 0;
  std::int64_t len = 0;
  (void)whole_span(*st, vid, start, at, len);
  if (!sys::fseek(st->stream, at)) {
    kavro::XQMSG2("WRBVARS:  fseeko( TIMESTEP ) failure");
    return 0;
  }
  if (!sys::fwrite_full(buffer, static_cast<std::size_t>(len), st->stream)) {
    log_system_failure("WRBVARS:  fwrite( TIMESTEP ) failure");
    return 0;
  }
  return 1;
}

int XTRBIN3(int fid, int vid, int lay0, int lay1, int row0, int row1, int col0, int col1, int step,
            void* buffer) {
  using namespace kavro::detail;
  BinState* st = open_state(fid, "XTRBIN3");
  std::int64_t start = 0;
  if (st == nullptr) return 0;
  if (vid == 0 && st->nvars < 1) return 1;
  if (vid < 0 || vid > st->nvars) return bad_request("XTRBIN3", "variable", vid);
  if (!in_range(lay0, lay1, st->nlays) || !in_range(row0, row1, st->nrows) ||
      !in_range(col0, col1, st->ncols)) {
    kavro::XQMSG2("XTRBIN3:  window outside the grid");
    return 0;
  }
  const int first = vid == 0 ? 1 : vid;
  const int last = vid == 0 ? st->nvars : vid;
  for (int v = first; v <= last; ++v) {
    if (!gridded_layer(*st, v)) return bad_request("XTRBIN3", "layout for variable", v);
  }
  if (!record_start(*st, step, "XTRBIN3", start)) return 0;
  const std::int64_t nlays = lay1 - lay0 + 1;
  const std::int64_t want = std::int64_t{st->ncols} * st->nrows * nlays;  // fits: checked at open
  if (want > last_size) {
    release_scratch();
    inbuf = static_cast<unsigned char*>(sys::allocate(static_cast<std::size_t>(want) * 8));
    if (inbuf == nullptr) {
      log_system_failure("XTRBIN3:  malloc() failure");
      return 0;
    }
    last_size = want;
  }
  auto* out = static_cast<unsigned char*>(buffer);
  for (int v = first; v <= last; ++v) {
    const auto i = static_cast<std::size_t>(v - 1);
    const std::int64_t t = tsizes[static_cast<std::size_t>(st->vtype[i])];
    if (!sys::fseek(st->stream, start + st->offset[i] + (lay0 - 1) * st->lay_size[i])) {
      kavro::XQMSG2("XTRBIN3:  fseeko( TIMESTEP ) failure");
      release_scratch();
      return 0;
    }
    if (!sys::fread_full(inbuf, static_cast<std::size_t>(nlays * st->lay_size[i]), st->stream)) {
      log_system_failure("XTRBIN3:  fread( TIMESTEP ) failure");
      release_scratch();
      return 0;
    }
    const auto run = static_cast<std::size_t>((col1 - col0 + 1) * t);
    for (std::int64_t l = 0; l < nlays; ++l) {
      for (int r = row0; r <= row1; ++r) {
        const std::int64_t from =
            l * st->lay_size[i] + t * ((r - 1) * std::int64_t{st->ncols} + col0 - 1);
        std::memcpy(out, inbuf + from, run);
        out += run;
      }
    }
  }
  return 1;
}

int WRBPATCH(int fid, int vid, const int* origin, const int* size, int step, const void* buffer) {
  using namespace kavro::detail;
  BinState* st = open_state(fid, "WRBPATCH");
  if (st == nullptr) return 0;
  if (vid < 1) {
    kavro::XQMSG2("WRBPATCH:  ALLVARS write is not supported");
    return 0;
  }
  std::int64_t start = 0;
  if (!check_var_layer(*st, vid, 0, "WRBPATCH")) return 0;
  if (!gridded_layer(*st, vid)) return bad_request("WRBPATCH", "layout for variable", vid);
  if (size[0] < 1 || size[1] < 1 || !in_range(origin[0], origin[0] + size[0] - 1, st->ncols) ||
      !in_range(origin[1], origin[1] + size[1] - 1, st->nrows)) {
    kavro::XQMSG2("WRBPATCH:  patch outside the grid");
    return 0;
  }
  if (!record_start(*st, step, "WRBPATCH", start)) return 0;
  const auto i = static_cast<std::size_t>(vid - 1);
  const std::int64_t t = tsizes[static_cast<std::size_t>(st->vtype[i])];
  const auto run = static_cast<std::size_t>(size[0] * t);
  const auto* in = static_cast<const unsigned char*>(buffer);
  for (int l = 1; l <= st->nlays; ++l) {
    for (int r = origin[1]; r < origin[1] + size[1]; ++r) {
      const std::int64_t at = start + st->offset[i] + (l - 1) * st->lay_size[i] +
                              t * ((origin[0] - 1) + std::int64_t{st->ncols} * (r - 1));
      if (!sys::fseek(st->stream, at)) {
        kavro::XQMSG2("WRBPATCH:  single-vble fseeko() failure");
        return 0;
      }
      if (!sys::fwrite_full(in, run, st->stream)) {
        log_system_failure("WRBPATCH:  single-vble fwrite() failure");
        return 0;
      }
      in += run;
    }
  }
  return 1;
}

int FLUSHBIN3(int fid) {
  using namespace kavro::detail;
  BinState* st = open_state(fid, "FLUSHBIN3");
  if (st == nullptr) return 0;
  if (!sys::fsync(st->stream)) {
    log_system_failure("FLUSHBIN3:  fsync() failure");
    return 0;
  }
  return 1;
}

int CLOSEBIN3(int fid) {
  using namespace kavro::detail;
  BinState* st = open_state(fid, "CLOSEBIN3");
  if (st == nullptr) return 0;
  std::FILE* stream = st->stream;
  // The stream is gone even when its close fails; the state must not keep it.
  st->stream = nullptr;
  if (sys::fclose(stream) != 0) {
    log_system_failure("CLOSEBIN3:  fclose() failure");
    return 0;
  }
  discard_state(fid);
  return 1;
}

}  // extern "C"
