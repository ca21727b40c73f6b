#include "netcdf/classic/direct_read.h"

#include <netcdf.h>

#include <array>
#include <cstdint>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/msgbuf.h"
#include "core/state.h"
#include "core/syscalls.h"
#include "kavro/core.h"
#include "netcdf/block_io.h"
#include "netcdf/classic/kept_files.h"

namespace kavro::detail {

namespace {

constexpr int kMaxRank = 5;
static_assert(kMaxRank <= classic::kKeptRank, "the header keeps the dimension ids read here");

std::uint16_t byte_swapped(std::uint16_t v) noexcept { return __builtin_bswap16(v); }
std::uint32_t byte_swapped(std::uint32_t v) noexcept { return __builtin_bswap32(v); }
std::uint64_t byte_swapped(std::uint64_t v) noexcept { return __builtin_bswap64(v); }

// Bytes FROM .. BYTES of SRC as words of type Word, byte-swapped into DEST one by one.
template <typename Word>
void swap_words(unsigned char* dest, const unsigned char* src, std::size_t from,
                std::size_t bytes) noexcept {
  for (std::size_t i = from; i + sizeof(Word) <= bytes; i += sizeof(Word)) {
    Word v;
    std::memcpy(&v, src + i, sizeof v);
    v = byte_swapped(v);
    std::memcpy(dest + i, &v, sizeof v);
  }
}

#if defined(__x86_64__)
// The byte order of one 32-byte vector of SIZE-byte values reversed within each value.
[[gnu::target("avx2")]] __m256i value_order_mask(int size) noexcept {
  alignas(32) unsigned char m[32];
  for (int i = 0; i < 32; ++i)
    m[i] = static_cast<unsigned char>((i / size) * size + size - 1 - i % size);
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(m));
}

// As to_host below, 32 bytes at a time where the processor has AVX2 (one shuffle per vector);
// returns the bytes done.
[[gnu::target("avx2")]] std::size_t to_host_avx2(unsigned char* dest, const unsigned char* src,
                                                 std::size_t bytes, int size) noexcept {
  const __m256i mask = value_order_mask(size);
  std::size_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i), _mm256_shuffle_epi8(x, mask));
  }
  return i;
}

#endif

// Set by the tests to run the code every processor runs.
bool generic_swap = false;

// Big-endian values of SIZE bytes each, N of them at SRC, into the machine's order at DEST
// (the same place or another; neither need be aligned). Sixteen bytes at a time with SSE2,
// which every x86-64 processor has (the compiler does not vectorise a byte swap by itself
// without SSSE3), thirty-two with AVX2 where the processor has it.
void to_host(unsigned char* dest, const unsigned char* src, std::size_t n, int size) noexcept {
  const std::size_t bytes = n * static_cast<std::size_t>(size);
  std::size_t i = 0;
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2") != 0;
  if (size > 1 && avx2 && !generic_swap) i = to_host_avx2(dest, src, bytes, size);
#endif
#if defined(__SSE2__)
  if (size > 1) {
    for (; i + 16 <= bytes; i += 16) {
      __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      // Bytes swapped within each 16-bit lane, then the lanes reversed within each value.
      x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
      if (size == 4) {
        x = _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xB1), 0xB1);
      } else if (size == 8) {
        x = _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0x1B), 0x1B);
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), x);
    }
  }
#endif
  switch (size) {
    case 2:
      swap_words<std::uint16_t>(dest, src, i, bytes);
      break;
    case 4:
      swap_words<std::uint32_t>(dest, src, i, bytes);
      break;
    case 8:
      swap_words<std::uint64_t>(dest, src, i, bytes);
      break;
    default:
      if (dest != src) std::memcpy(dest, src, bytes);
      break;
  }
}

void report_short_file(int fid, const classic::Variable& v) {
  XQMSG2(MsgBuf<256>() << "File " << state().c.FLNAME3(fid).trimmed()
                       << " is shorter than its header says: data of variable "
                       << v.name.text.trimmed() << " missing");
}

// The variable VARID of the kept file K where the direct path serves a read of RANK and type
// VTYPE from it: only the variable's own type, whole values, the variable's rank. Null otherwise.
const classic::Variable* served_variable(const classic::KeptFile* k, int varid, int rank,
                                         int vtype) noexcept {
  if (k == nullptr) return nullptr;
  const classic::Header& h = k->header;
  if (varid < 0 || varid >= h.nvars() || rank < 1 || rank > kMaxRank) return nullptr;
  const classic::Variable& v = h.var(varid);
  if (vtype != v.type || v.type < classic::kByte || v.type > classic::kDouble || v.rank != rank) {
    return nullptr;
  }
  return &v;
}

// A block of a variable in C order (slowest first), 0-based, and how it lies in the file.
struct Block {
  int rank = 0;
  int size = 0;  // bytes of one value
  std::array<std::uint64_t, kMaxRank> st{}, ct{}, len{}, stride{};
  // The longest run the file holds contiguously: dimensions k_run .. rank - 1, of run bytes.
  int k_run = 0;
  std::uint64_t run = 0;
};

// The block the caller's START and COUNT give (Fortran order, 1-based) into B; false for a
// block outside the variable, or an empty one, which is the netCDF library's to refuse or
// answer.
bool c_order_block(const classic::Header& h, const classic::Variable& v, int rank, const int* start,
                   const int* count, Block& b) noexcept {
  b.rank = rank;
  b.size = classic::type_bytes(v.type);
  for (int i = 0; i < rank; ++i) {
    const int j = rank - 1 - i;
    if (start[j] < 1 || count[j] < 1) return false;
    b.st[i] = static_cast<std::uint64_t>(start[j] - 1);
    b.ct[i] = static_cast<std::uint64_t>(count[j]);
    const int dim = v.dimids[static_cast<std::size_t>(i)];
    b.len[i] = (v.record && i == 0) ? h.numrecs : h.dims[static_cast<std::size_t>(dim)].length;
    if (b.st[i] >= b.len[i] || b.ct[i] > b.len[i] - b.st[i]) return false;
  }
  return true;
}

// Byte strides: the record dimension steps by a record, the others by what they hold.
void set_strides(const classic::Header& h, const classic::Variable& v, Block& b) noexcept {
  std::uint64_t inner = static_cast<std::uint64_t>(b.size);
  for (int i = b.rank - 1; i >= 0; --i) {
    if (v.record && i == 0) {
      b.stride[0] = h.recsize;
    } else {
      b.stride[i] = inner;
      inner *= b.len[i];
    }
  }
}

// The longest run the file holds contiguously: dimensions K .. RANK - 1, every one after K
// whole. The record dimension is never part of a run, its steps being a record apart: a
// variable whose only dimension it is runs one value (K = RANK).
void set_longest_run(const classic::Variable& v, Block& b) noexcept {
  b.k_run = b.rank;
  b.run = static_cast<std::uint64_t>(b.size);
  while (b.k_run > (v.record ? 1 : 0)) {
    const auto d = static_cast<std::size_t>(--b.k_run);
    b.run *= b.ct[d];
    if (b.st[d] != 0 || b.ct[d] != b.len[d]) break;
  }
}

// One run per position of the dimensions before K, in the order of the caller's buffer, read
// through FD and put in the machine's order (or left reversed, as direct_read_block says): the
// netCDF status.
int read_runs(int fid, int fd, const classic::Variable& v, const Block& b, void* dest,
              bool* left_reversed) noexcept {
  const std::size_t values = static_cast<std::size_t>(b.run) / static_cast<std::size_t>(b.size);
  std::array<std::uint64_t, kMaxRank> idx{};
  auto* out = static_cast<unsigned char*>(dest);
  for (;;) {
    std::uint64_t offset = v.begin;
    for (std::size_t i = 0; i < static_cast<std::size_t>(b.rank); ++i) {
      offset += (b.st[i] + idx[i]) * b.stride[i];
    }
    const long long got = sys::pread_full(fd, out, static_cast<std::size_t>(b.run),
                                          static_cast<std::int64_t>(offset));
    if (got < 0 || static_cast<std::uint64_t>(got) != b.run) {
      if (got >= 0) report_short_file(fid, v);
      return NC_EIO;
    }
    if (b.size > 1 && left_reversed != nullptr) {
      *left_reversed = true;
    } else {
      to_host(out, out, values, b.size);
    }
    out += b.run;
    int i = b.k_run - 1;
    for (; i >= 0; --i) {
      if (++idx[static_cast<std::size_t>(i)] < b.ct[static_cast<std::size_t>(i)]) break;
      idx[static_cast<std::size_t>(i)] = 0;
    }
    if (i < 0) break;
  }
  return NC_NOERR;
}

}  // namespace

int direct_read_block(int fid, int varid, int rank, const int* start, const int* count, int vtype,
                      void* dest, bool* left_reversed) noexcept {
  const classic::KeptFile* k = classic::kept_file(fid);
  const classic::Variable* v = served_variable(k, varid, rank, vtype);
  if (v == nullptr) return kNotDirect;
  Block b;
  if (!c_order_block(k->header, *v, rank, start, count, b)) return kNotDirect;
  set_strides(k->header, *v, b);
  set_longest_run(*v, b);
  return read_runs(fid, k->fd, *v, b, dest, left_reversed);
}

int read_block(int fid, int varid, int rank, const int* start, const int* count, int vtype,
               void* dest, bool* left_reversed) noexcept {
  const int status = direct_read_block(fid, varid, rank, start, count, vtype, dest, left_reversed);
  if (status != kNotDirect) return status;
  return nc_read_block(state().b.NCID3(fid), varid, rank, start, count, vtype, dest);
}

}  // namespace kavro::detail

namespace kavro::test_hooks {
void use_generic_byte_swap(bool on) noexcept { detail::generic_swap = on; }
}  // namespace kavro::test_hooks
