// The buffer routines of memory-resident files: allocation, storing and fetching a step,
// windows, time derivatives, filling from a file, release. Sizes and counts are checked in
// 64 bits before anything is allocated or copied.
#include "memory/buffers.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/kinds.h"
#include "core/msgbuf.h"
#include "core/sizes.h"
#include "core/state.h"
#include "core/syscalls.h"
#include "filetype/transfer_plan.h"
#include "kavro/core.h"
#include "kavro/kavro_c.h"
#include "kavro/params.h"

namespace kavro::detail {

namespace {

// baddr: one row of MXVARS3 + 1 entries per slot 0..MXOPEN3, allocated with its first buffer.
using Row = std::array<VarBuffer, MXVARS3 + 1>;
constinit std::array<Row*, MXOPEN3 + 1> baddr{};

int held = 0;

bool valid_index(int fid, int vid) noexcept {
  return fid >= 0 && fid <= MXOPEN3 && vid >= 0 && vid <= MXVARS3;
}

// A buffer of HALVES halves of HALF_VALUES values of BYTES bytes for (FID, VID); false (with
// MESSAGE) when a count is negative, the size overflows, or the memory is not there.
bool allocate(int fid, int vid, std::int64_t half_values, int halves, int bytes,
              std::string_view message) noexcept {
  std::int64_t total = 0;
  if (!valid_index(fid, vid) || half_values < 0 ||
      __builtin_mul_overflow(half_values, std::int64_t{halves} * bytes, &total) ||
      total > PTRDIFF_MAX / 2) {
    XQMSG2(message);
    return false;
  }
  Row*& row = baddr[static_cast<std::size_t>(fid)];
  if (row == nullptr) {
    void* p = sys::allocate_zeroed(sizeof(Row));
    if (p == nullptr) {
      XQMSG2(message);
      return false;
    }
    row = new (p) Row;
  }
  void* data = sys::allocate_zeroed(static_cast<std::size_t>(total));
  if (data == nullptr) {
    XQMSG2(message);
    return false;
  }
  (*row)[static_cast<std::size_t>(vid)] = {static_cast<unsigned char*>(data), half_values, halves,
                                           bytes};
  ++held;
  return true;
}

int halves_of(int tstep) noexcept { return tstep != 0 ? 2 : 1; }

template <typename T>
int get(int fid, int vid, int layer, int nlays, int size, int half, T* buffer,
        std::string_view routine) {
  const VarBuffer* b = find_buffer(fid, vid);
  if (b == nullptr) {
    XQMSG2("BUFFERED file not yet allocated");
    return 0;
  }
  const std::int64_t n = std::int64_t{size} * nlays;
  std::int64_t first = half != 0 ? n : 0;
  std::int64_t count = n;
  if (layer >= 1) {
    first += std::int64_t{size} * (layer - 1);
    count = size;
  }
  if (size < 0 || nlays < 0 || !inside(*b, first, count, sizeof(T), routine)) return 0;
  std::memcpy(buffer, b->data + first * b->value_bytes,
              static_cast<std::size_t>(count) * sizeof(T));
  return 1;
}

template <typename T>
int put(int fid, int vid, int size, int half, int tstep, const T* buffer, std::string_view routine,
        std::string_view message) {
  if (find_buffer(fid, vid) == nullptr &&
      !allocate(fid, vid, size, halves_of(tstep), sizeof(T), message)) {
    return 0;
  }
  VarBuffer* b = find_buffer(fid, vid);
  const std::int64_t first = half != 0 ? std::int64_t{size} : 0;
  if (size < 0 || !inside(*b, first, size, sizeof(T), routine)) return 0;
  std::memcpy(b->data + first * b->value_bytes, buffer, static_cast<std::size_t>(size) * sizeof(T));
  return 1;
}

bool in_window(int lo, int hi, int n) noexcept { return lo >= 1 && lo <= hi && hi <= n; }

template <typename T>
int extract(int fid, int vid, int lay0, int lay1, int row0, int row1, int col0, int col1, int nlays,
            int nrows, int ncols, int half, T* buffer, std::string_view routine) {
  const VarBuffer* b = find_buffer(fid, vid);
  if (b == nullptr) {
    XQMSG2("BUFFERED file not yet allocated.");
    return 0;
  }
  // The caller's grid may be anything: its size saturates, and inside() refuses it.
  const std::int64_t layer = std::int64_t{ncols} * nrows;
  const std::int64_t grid = sat_mul(layer, nlays);
  const std::int64_t base = half != 0 ? grid : 0;
  if (!in_window(lay0, lay1, nlays) || !in_window(row0, row1, nrows) ||
      !in_window(col0, col1, ncols) || !inside(*b, base, grid, sizeof(T), routine)) {
    if (in_window(lay0, lay1, nlays) && in_window(row0, row1, nrows) &&
        in_window(col0, col1, ncols)) {
      return 0;  // reported by inside()
    }
    XQMSG2(MsgBuf<80>(routine) << ":  window outside the grid");
    return 0;
  }
  const auto run = static_cast<std::size_t>(col1 - col0 + 1) * sizeof(T);
  auto* out = reinterpret_cast<unsigned char*>(buffer);
  for (int l = lay0; l <= lay1; ++l) {
    for (int r = row0; r <= row1; ++r) {
      const std::int64_t at = base + (l - 1) * layer + std::int64_t{r - 1} * ncols + (col0 - 1);
      std::memcpy(out, b->data + at * b->value_bytes, run);
      out += run;
    }
  }
  return 1;
}

template <typename T>
int derivative(int fid, int vid, int size, int half, T scale, T* buffer, std::string_view routine) {
  const VarBuffer* b = find_buffer(fid, vid);
  if (b == nullptr) {
    XQMSG2("Error referencing internal buffer for DDTVAR3()");
    return 0;
  }
  if (size < 0 || !inside(*b, 0, 2 * std::int64_t{size}, sizeof(T), routine)) return 0;
  const auto* values = reinterpret_cast<const T*>(b->data);
  const T* here = values + (half != 0 ? size : 0);
  const T* there = values + (half != 0 ? 0 : size);
  for (int i = 0; i < size; ++i) buffer[i] = (there[i] - here[i]) * scale;
  return 1;
}

template <typename T>
int fill_from_file(int fid, int vid, int doread, const int* start, const int* count, int size,
                   int half, int tstep, std::string_view routine, std::string_view message) {
  if (find_buffer(fid, vid) == nullptr &&
      !allocate(fid, vid, size, halves_of(tstep), sizeof(T), message)) {
    return 0;
  }
  if (doread == 0) return 1;
  VarBuffer* b = find_buffer(fid, vid);
  const std::int64_t first = half != 0 ? std::int64_t{size} : 0;
  if (size < 0 || fid < 1 || !inside(*b, first, size, sizeof(T), routine)) return 0;
  VarRead r;
  for (std::size_t i = 0; i < r.start.size(); ++i) {
    r.start[i] = start[i];
    r.count[i] = count[i];
  }
  r.size = size;
  layer_and_record(state().b.NLAYS3(fid), r);
  if (!kind_of(fid).read_vars(fid, vid, r,
                              reinterpret_cast<std::byte*>(b->data + first * b->value_bytes))) {
    XQMSG2(MsgBuf<80>().format("netCDF error %d reading file", 0));
    return 0;
  }
  return 1;
}

}  // namespace

VarBuffer* find_buffer(int fid, int vid) noexcept {
  if (!valid_index(fid, vid)) return nullptr;
  Row* row = baddr[static_cast<std::size_t>(fid)];
  if (row == nullptr) return nullptr;
  VarBuffer& b = (*row)[static_cast<std::size_t>(vid)];
  return b.data == nullptr ? nullptr : &b;
}

bool inside(const VarBuffer& buf, std::int64_t first, std::int64_t count, int bytes,
            std::string_view routine) noexcept {
  std::int64_t end = 0;
  if (buf.value_bytes == bytes && first >= 0 && count >= 0 &&
      !__builtin_add_overflow(first, count, &end) && end <= buf.half_values * buf.halves) {
    return true;
  }
  XQMSG2(MsgBuf<80>(routine) << ":  request outside the buffer");
  return false;
}

void release_all_buffers() noexcept {
  for (int fid = 0; fid <= MXOPEN3; ++fid) (void)BUFDEL3(fid);
}

}  // namespace kavro::detail

namespace kavro::test_hooks {
int buffers_held() noexcept { return detail::held; }
}  // namespace kavro::test_hooks

using kavro::detail::VarBuffer;
using namespace kavro::detail;

extern "C" {

int BUFCRE3(int fid, int nvars, int nlays, int size, const int* vtype, int tstep) {
  using namespace kavro::detail;
  if (find_buffer(fid, 1) != nullptr) return 1;
  if (nvars <= 0) return 1;
  constexpr std::string_view kMessage = "Error allocating internal buffer for BUFCRE3()";
  std::int64_t n = 0;
  if (nvars > kavro::MXVARS3 || nlays < 0 || size < 0 ||
      __builtin_mul_overflow(std::int64_t{size}, std::int64_t{nlays}, &n)) {
    kavro::XQMSG2(kMessage);
    return 0;
  }
  int bytes = 0;
  for (int v = 1; v <= nvars; ++v) {
    const int t = vtype[v - 1];
    if (t == kavro::XQREAL || t == kavro::XQINT) bytes = 4;
    if (t == kavro::XQDBLE) bytes = 8;
    if (!allocate(fid, v, n, halves_of(tstep), bytes, kMessage)) {
      (void)BUFDEL3(fid);  // nothing of a failed creation stays behind
      return 0;
    }
  }
  return 1;
}

int BUFGET3(int fid, int vid, int layer, int nlays, int size, int half, float* buffer) {
  return kavro::detail::get(fid, vid, layer, nlays, size, half, buffer, "BUFGET3");
}
int BUFGET3I(int fid, int vid, int layer, int nlays, int size, int half, int* buffer) {
  return kavro::detail::get(fid, vid, layer, nlays, size, half, buffer, "BUFGET3I");
}
int BUFGET3D(int fid, int vid, int layer, int nlays, int size, int half, double* buffer) {
  return kavro::detail::get(fid, vid, layer, nlays, size, half, buffer, "BUFGET3D");
}

int BUFPUT3(int fid, int vid, int size, int half, int tstep, const float* buffer) {
  return put(fid, vid, size, half, tstep, buffer, "BUFPUT3",
             "Error allocating internal buffer for BUFPUT3()");
}
int BUFPUT3I(int fid, int vid, int size, int half, int tstep, const int* buffer) {
  return put(fid, vid, size, half, tstep, buffer, "BUFPUT3I",
             "Error allocating internal buffer for BUFPUT3I()");
}
int BUFPUT3D(int fid, int vid, int size, int half, int tstep, const double* buffer) {
  return put(fid, vid, size, half, tstep, buffer, "BUFPUT3D",
             "Error allocating internal buffer for BUFPUT3D()");
}

int BUFXTR3(int fid, int vid, int lay0, int lay1, int row0, int row1, int col0, int col1, int nlays,
            int nrows, int ncols, int half, float* buffer) {
  return extract(fid, vid, lay0, lay1, row0, row1, col0, col1, nlays, nrows, ncols, half, buffer,
                 "BUFXTR3");
}
int BUFXTR3I(int fid, int vid, int lay0, int lay1, int row0, int row1, int col0, int col1,
             int nlays, int nrows, int ncols, int half, int* buffer) {
  return extract(fid, vid, lay0, lay1, row0, row1, col0, col1, nlays, nrows, ncols, half, buffer,
                 "BUFXTR3I");
}
int BUFXTR3D(int fid, int vid, int lay0, int lay1, int row0, int row1, int col0, int col1,
             int nlays, int nrows, int ncols, int half, double* buffer) {
  return extract(fid, vid, lay0, lay1, row0, row1, col0, col1, nlays, nrows, ncols, half, buffer,
                 "BUFXTR3D");
}

int BUFDDT3(int fid, int vid, int size, int half, int /*unused*/, float scale, float* buffer) {
  return derivative(fid, vid, size, half, scale, buffer, "BUFDDT3");
}
int BUFDDT3D(int fid, int vid, int size, int half, int /*unused*/, double scale, double* buffer) {
  return derivative(fid, vid, size, half, scale, buffer, "BUFDDT3D");
}

int BUFVGT3(int fid, int vid, int doread, const int* start, const int* count, int size, int half,
            int tstep) {
  return fill_from_file<float>(fid, vid, doread, start, count, size, half, tstep, "BUFVGT3",
                               "Error allocating internal buffer for BUFVGTP3()");
}
int BUFVGT3D(int fid, int vid, int doread, const int* start, const int* count, int size, int half,
             int tstep) {
  return fill_from_file<double>(fid, vid, doread, start, count, size, half, tstep, "BUFVGT3D",
                                "Error allocating internal buffer for BUFVGT3D()");
}

int BUFDEL3(int fid) {
  using namespace kavro::detail;
  if (fid < 0 || fid > kavro::MXOPEN3) return 1;
  Row*& row = baddr[static_cast<std::size_t>(fid)];
  if (row == nullptr) return 1;
  for (VarBuffer& b : *row) {
    if (b.data == nullptr) continue;
    sys::release(b.data);
    b = VarBuffer{};
    --held;
  }
  row->~Row();
  sys::release(row);
  row = nullptr;
  return 1;
}

}  // extern "C"
