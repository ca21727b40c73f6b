// Time interpolation of memory-resident files: the two held steps of a variable blended with
// the caller's weights, over the whole buffer or a window of a gridded one. P weights the
// half named by HALF, Q the other; a weight of exactly 0 makes the result a copy of the
// other half's stored values.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/msgbuf.h"
#include "core/sizes.h"
#include "kavro/core.h"
#include "kavro/kavro_c.h"
#include "memory/buffers.h"

namespace kavro::detail {
namespace {

// The result for value position I (from 0) of a half.
template <typename T>
T blend(const T* here, const T* there, std::int64_t i, int tstep, T p, T q) {
  if (tstep == 0 || q == 0) return here[i];
  if (p == 0) return there[i];
  return p * here[i] + q * there[i];
}

// The two halves of (FID, VID), each of SIZE values, or null (reported).
template <typename T>
bool halves(int fid, int vid, int size, int half, int tstep, const T*& here, const T*& there,
            std::string_view missing, std::string_view routine) {
  const VarBuffer* b = find_buffer(fid, vid);
  if (b == nullptr) {
    XQMSG2(missing);
    return false;
  }
  const std::int64_t n = size < 0 ? -1 : std::int64_t{size} * (tstep != 0 ? 2 : 1);
  if (!inside(*b, 0, n, static_cast<int>(sizeof(T)), routine)) return false;
  const auto* values = reinterpret_cast<const T*>(b->data);
  here = values + (tstep != 0 && half != 0 ? size : 0);
  there = values + (tstep != 0 && half == 0 ? size : 0);
  return true;
}

template <typename T>
int interpolate(int fid, int vid, int size, int half, int tstep, T p, T q, T* buffer,
                std::string_view routine) {
  const T* here = nullptr;
  const T* there = nullptr;
  if (!halves(fid, vid, size, half, tstep, here, there,
              "Error referencing internal buffer for INTERP3()", routine)) {
    return 0;
  }
  if (tstep == 0 || q == 0) {
    std::memcpy(buffer, here, static_cast<std::size_t>(size) * sizeof(T));
  } else if (p == 0) {
    std::memcpy(buffer, there, static_cast<std::size_t>(size) * sizeof(T));
  } else {
    for (int i = 0; i < size; ++i) buffer[i] = p * here[i] + q * there[i];
  }
  return 1;
}

template <typename T>
int interpolate_window(int fid, int vid, int size, int half, int tstep, const int* dims,
                       const int* lo, const int* hi, T p, T q, T* buffer, std::string_view missing,
                       std::string_view routine) {
  const T* here = nullptr;
  const T* there = nullptr;
  if (!halves(fid, vid, size, half, tstep, here, there, missing, routine)) return 0;
  const std::int64_t ncols = dims[0];
  const std::int64_t layer = sat_mul(ncols, dims[1]);
  // The window must lie inside the grid, and the grid's last window position inside a half
  // (computed saturating: the caller's dimensions may be anything).
  const bool fits =
      lo[0] >= 1 && lo[0] <= hi[0] && hi[0] <= dims[0] && lo[1] >= 1 && lo[1] <= hi[1] &&
      hi[1] <= dims[1] && lo[2] >= 1 && lo[2] <= hi[2] &&
      sat_add(sat_add(sat_mul(hi[2] - 1, layer), sat_mul(hi[1] - 1, ncols)), hi[0]) <= size;
  if (!fits) {
    XQMSG2(MsgBuf<80>(routine) << ":  window outside the grid");
    return 0;
  }
  std::int64_t k = 0;
  for (std::int64_t l = lo[2]; l <= hi[2]; ++l) {
    for (std::int64_t r = lo[1]; r <= hi[1]; ++r) {
      for (std::int64_t c = lo[0]; c <= hi[0]; ++c) {
        buffer[k++] = blend(here, there, (l - 1) * layer + (r - 1) * ncols + (c - 1), tstep, p, q);
      }
    }
  }
  return 1;
}

}  // namespace
}  // namespace kavro::detail

extern "C" {

int BUFINT3(int fid, int vid, int size, int half, int tstep, float p, float q, float* buffer) {
  return kavro::detail::interpolate(fid, vid, size, half, tstep, p, q, buffer, "BUFINT3");
}
int BUFINT3D(int fid, int vid, int size, int half, int tstep, double p, double q, double* buffer) {
  return kavro::detail::interpolate(fid, vid, size, half, tstep, p, q, buffer, "BUFINT3D");
}
int BUFINTX(int fid, int vid, int size, int half, int tstep, const int* dims, const int* lo,
            const int* hi, float p, float q, float* buffer) {
  return kavro::detail::interpolate_window(fid, vid, size, half, tstep, dims, lo, hi, p, q, buffer,
                                           "Error referencing internal buffer for INTERPX()",
                                           "BUFINTX");
}
int BUFINTXD(int fid, int vid, int size, int half, int tstep, const int* dims, const int* lo,
             const int* hi, double p, double q, double* buffer) {
  return kavro::detail::interpolate_window(fid, vid, size, half, tstep, dims, lo, hi, p, q, buffer,
                                           "Error referencing internal buffer for INTERP3()",
                                           "BUFINTXD");
}

}  // extern "C"
