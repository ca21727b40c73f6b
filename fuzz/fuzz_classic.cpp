// Raw bytes straight into the classic-header reader, held in memory: no file, no netCDF
// library, so the reader that guards both the open and the direct data path sees millions of
// inputs a minute. A header the reader accepts must keep its promises: every dimension,
// variable and attribute it hands over addresses only bytes the input has. A broken promise stops
// the process, which is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "netcdf/classic/classic_header.h"

namespace {

namespace classic = kavro::detail::classic;

[[noreturn]] void broken(const char* what, int var) {
  std::fprintf(stderr, "fuzz_classic: accepted header breaks its promise: %s (variable %d)\n", what,
               var);
  std::abort();
}

// What an accepted header promises its readers.
void check_accepted(const classic::Header& h, std::size_t size) {
  if (h.file_size != size) broken("file size", -1);
  if (h.header_end > size) broken("header end beyond the input", -1);
  if (h.ndims < 0 || h.dims.size() != static_cast<std::size_t>(h.ndims))
    broken("dimension count", -1);
  if (h.record_dim >= h.ndims) broken("record dimension", -1);
  for (int i = 0; i < h.nvars(); ++i) {
    const classic::Variable& v = h.var(i);
    if (v.rank < 0) broken("rank", i);
    if (classic::type_bytes(v.type) == 0) broken("type", i);
    for (int k = 0; k < v.rank && k < classic::kKeptRank; ++k) {
      const int d = v.dimids[static_cast<std::size_t>(k)];
      if (d < 0 || d >= h.ndims) broken("dimension id", i);
    }
    if (v.bytes == 0) continue;
    if (v.begin < h.header_end) broken("data inside the header", i);
    std::uint64_t end = v.begin + v.bytes;
    if (v.record) {
      if (h.numrecs == 0) continue;
      end += (h.numrecs - 1) * h.recsize;
    }
    if (end > size) broken("data beyond the input", i);
  }
}

// Every attribute told is of a type the format has, and its values lie inside the input (the
// survey of what a file lacks reads them from there).
class CheckedAttributes final : public classic::AttributeSink {
 public:
  explicit CheckedAttributes(std::size_t size) : size_(size) {}
  bool take(const classic::Attribute& a) noexcept override {
    const int bytes = classic::type_bytes(a.type);
    if (bytes == 0) broken("attribute type", a.owner);
    if (a.begin > size_ || a.count > (size_ - a.begin) / static_cast<std::uint64_t>(bytes)) {
      broken("attribute values beyond the input", a.owner);
    }
    return true;
  }

 private:
  std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One header for every input: its variable table is reused, as the open path reuses it.
  static classic::Header header;
  classic::Problem why;
  CheckedAttributes attributes(size);
  if (classic::parse_classic_header(std::span<const unsigned char>(data, size), header, why,
                                    &attributes)) {
    check_accepted(header, size);
  } else if (why.view().empty()) {
    std::fprintf(stderr, "fuzz_classic: refusal without a reason\n");
    std::abort();
  }
  return 0;
}
