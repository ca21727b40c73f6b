// bench_mapped FILE1 FILE2: the machine's limit for a comparison of two classic files. Maps
// both files, finds every data variable's offsets with the library's classic-header reader,
// and compares the big-endian words in place, record by record (each word turned into a float,
// NaN differs from everything, +0 equals -0), printing the number of differing cells. No
// copy, no buffer, nothing checked beyond the header.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "netcdf/classic/classic_header.h"

namespace {

namespace classic = kavro::detail::classic;

struct Mapped {
  classic::Header h;
  const unsigned char* data = nullptr;
  std::size_t size = 0;
};

bool map(const char* path, Mapped& m) {
  classic::Problem why;
  if (!classic::parse_classic_header(path, m.h, why)) {
    std::fprintf(stderr, "bench_mapped: %s: %.*s\n", path, int(why.size()), why.view().data());
    return false;
  }
  const int fd = ::open(path, O_RDONLY);
  if (fd < 0) return false;
  m.size = m.h.file_size;
  void* p = ::mmap(nullptr, m.size, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (p == MAP_FAILED) return false;
  ::madvise(p, m.size, MADV_SEQUENTIAL);
  m.data = static_cast<const unsigned char*>(p);
  return true;
}

float word(const unsigned char* p) {
  std::uint32_t u;
  std::memcpy(&u, p, 4);
  u = __builtin_bswap32(u);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_mapped FILE1 FILE2\n");
    return 1;
  }
  Mapped a, b;
  if (!map(argv[1], a) || !map(argv[2], b)) return 1;
  long long differing = 0;
  for (int i = 0; i < b.h.nvars(); ++i) {
    const classic::Variable& v2 = b.h.var(i);
    if (v2.name.is("TFLAG") || v2.type != classic::kFloat) continue;
    const classic::Variable* v1 = a.h.find(v2.name.text.trimmed());
    if (v1 == nullptr || v1->bytes != v2.bytes) return 1;
    const std::uint64_t records = v2.record ? b.h.numrecs : 1;
    for (std::uint64_t r = 0; r < records; ++r) {
      const unsigned char* p1 = a.data + v1->begin + (v1->record ? r * a.h.recsize : 0);
      const unsigned char* p2 = b.data + v2.begin + (v2.record ? r * b.h.recsize : 0);
      for (std::uint64_t k = 0; k < v2.bytes; k += 4) {
        if (!(word(p1 + k) == word(p2 + k))) ++differing;
      }
    }
  }
  std::printf("%lld\n", differing);
  return 0;
}
