#include "netcdf/classic/classic_header.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "core/syscalls.h"
#include "netcdf/classic/data_extents.h"

namespace kavro::detail::classic {

namespace {

constexpr std::uint32_t kDimensionTag = 0x0A;
constexpr std::uint32_t kVariableTag = 0x0B;
constexpr std::uint32_t kAttributeTag = 0x0C;
constexpr std::uint64_t kStreaming32 = 0xFFFFFFFFu;
constexpr std::uint64_t kMaxRecords = 0x7FFFFFFF;  // the record count the library's tables hold
constexpr std::uint64_t kMaxOffset = 0x7FFFFFFFFFFFFFFF;
constexpr std::uint64_t kMaxCount = 0x7FFFFFFF;  // the netCDF library counts in an int

// The smallest encodings of a list's entries: a dimension (a name of up to 4 characters and
// its length), an attribute (name, type, count), a variable (name, rank, empty attribute list,
// type, size, offset).
constexpr std::uint64_t kMinDimensionBytes = 12;
constexpr std::uint64_t kMinAttributeBytes = 16;
constexpr std::uint64_t kMinVariableBytes = 32;

// The bytes of the file, from a descriptor through a window or from memory.
class Source {
 public:
  Source(int fd, std::uint64_t size) noexcept : fd_(fd), size_(size) {}
  explicit Source(std::span<const unsigned char> bytes) noexcept
      : mem_(bytes.data()), size_(bytes.size()) {}

  std::uint64_t size() const noexcept { return size_; }
  int error() const noexcept { return error_; }

  // N bytes (at most a window) at POS into DST; false past the end or when reading fails.
  bool get(std::uint64_t pos, std::size_t n, unsigned char* dst) noexcept {
    if (pos > size_ || n > size_ - pos) return false;
    if (mem_ != nullptr) {
      std::memcpy(dst, mem_ + pos, n);
      return true;
    }
    if (pos < wbegin_ || pos + n > wbegin_ + wlen_) {
      const std::uint64_t want = size_ - pos < kWindow ? size_ - pos : kWindow;
      const long long got = sys::pread_full(fd_, window_.data(), static_cast<std::size_t>(want),
                                            static_cast<std::int64_t>(pos));
      if (got < 0 || static_cast<std::uint64_t>(got) < n) {
        // The file shrank under us, or the read failed.
        error_ = got < 0 ? (errno != 0 ? errno : EIO) : EIO;
        wlen_ = 0;
        return false;
      }
      wbegin_ = pos;
      wlen_ = static_cast<std::size_t>(got);
    }
    std::memcpy(dst, window_.data() + (pos - wbegin_), n);
    return true;
  }

 private:
  static constexpr std::size_t kWindow = 8192;
  int fd_ = -1;
  const unsigned char* mem_ = nullptr;
  std::uint64_t size_ = 0;
  int error_ = 0;
  std::array<unsigned char, kWindow> window_{};
  std::uint64_t wbegin_ = 0;
  std::size_t wlen_ = 0;
};

class Parser {
 public:
  Parser(Source& src, Header& h, Problem& why, AttributeSink* sink) noexcept
      : src_(src), h_(h), why_(why), sink_(sink) {}

  bool run() noexcept {
    h_.file_size = src_.size();
    return magic() && records() && dimensions() && attributes("global") && variables() &&
           check_data_extents(h_, why_);
  }

 private:
  // ---- Reading primitives: each checks that the bytes are there ----
  bool bytes(std::size_t n, unsigned char* dst) noexcept {
    if (src_.get(pos_, n, dst)) {
      pos_ += n;
      return true;
    }
    if (src_.error() != 0) {
      why_ << "cannot be read: " << std::strerror(src_.error());
    } else {
      why_.format("header runs past the end of the file (%llu bytes)",
                  static_cast<unsigned long long>(src_.size()));
    }
    return false;
  }
  bool u32(std::uint32_t& v) noexcept {
    unsigned char b[4];
    if (!bytes(4, b)) return false;
    v = std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
    return true;
  }
  bool u64(std::uint64_t& v) noexcept {
    std::uint32_t hi = 0, lo = 0;
    if (!u32(hi) || !u32(lo)) return false;
    v = std::uint64_t{hi} << 32 | lo;
    return true;
  }
  // A count or length: 32 bits (at most 2^31 - 1) in CDF-1 and CDF-2, 64 in CDF-5.
  bool non_neg(std::uint64_t& v, std::string_view what) noexcept {
    if (h_.version == 5) {
      if (!u64(v)) return false;
      if (v <= kMaxOffset) return true;
    } else {
      std::uint32_t w = 0;
      if (!u32(w)) return false;
      v = w;
      if (v <= 0x7FFFFFFF) return true;
    }
    why_ << what;
    why_.format(" %llu out of range", static_cast<unsigned long long>(v));
    return false;
  }
  bool skip(std::uint64_t n, std::string_view what) noexcept {
    if (n <= src_.size() && pos_ <= src_.size() - n) {
      pos_ += n;
      return true;
    }
    why_ << what;
    why_.format(": %llu bytes beyond file size %llu", static_cast<unsigned long long>(n),
                static_cast<unsigned long long>(src_.size()));
    return false;
  }
  std::uint64_t remaining() const noexcept { return src_.size() - pos_; }

  bool name(ShortName& n, std::string_view what) noexcept {
    std::uint64_t len = 0;
    if (!non_neg(len, what)) return false;
    if (len == 0 || len > kMaxName) {
      why_ << what;
      why_.format(": name of %llu bytes", static_cast<unsigned long long>(len));
      return false;
    }
    std::array<unsigned char, kMaxName> text{};
    if (!bytes(static_cast<std::size_t>(len), text.data())) return false;
    const std::size_t shown = len < Name16::size() ? static_cast<std::size_t>(len) : Name16::size();
    n.text.assign(std::string_view(reinterpret_cast<const char*>(text.data()), shown));
    n.length = static_cast<std::size_t>(len);
    return skip(padded4(len) - len, what);
  }

  // A list's tag and count: the tag, or ABSENT (zero tag, zero count). The count is bounded
  // by the bytes left for its entries at their smallest, and by the int the netCDF library
  // counts in: nothing else, so an unusual file is the open's to judge.
  bool list(std::uint32_t tag, std::uint64_t& count, std::string_view what,
            std::uint64_t entry_bytes) noexcept {
    std::uint32_t got = 0;
    if (!u32(got) || !non_neg(count, what)) return false;
    if (got == 0 && count == 0) return true;
    if (got != tag) {
      why_ << "bad " << what << " list tag";
      return false;
    }
    if (count > remaining() / entry_bytes) {
      why_.format("%llu ", static_cast<unsigned long long>(count));
      why_ << what << "s cannot fit in the file";
      return false;
    }
    if (count > kMaxCount) {
      why_.format("%llu ", static_cast<unsigned long long>(count));
      why_ << what << "s, more than the netCDF library counts";
      return false;
    }
    return true;
  }

  // ---- The header, part by part ----
  bool magic() noexcept {
    unsigned char m[4];
    if (!src_.get(0, 4, m) || m[0] != 'C' || m[1] != 'D' || m[2] != 'F' ||
        (m[3] != 1 && m[3] != 2 && m[3] != 5)) {
      if (src_.error() != 0) {
        why_ << "cannot be read: " << std::strerror(src_.error());
      } else {
        why_ << "not a netCDF classic file (CDF-1, CDF-2 or CDF-5)";
      }
      return false;
    }
    pos_ = 4;
    h_.version = m[3];
    return true;
  }

  bool records() noexcept {
    std::uint64_t n = 0;
    if (h_.version == 5) {
      if (!u64(n)) return false;
      if (n == ~std::uint64_t{0}) n = kStreaming32;
    } else {
      std::uint32_t w = 0;
      if (!u32(w)) return false;
      n = w;
    }
    if (n == kStreaming32) {
      why_ << "streaming record count";
      return false;
    }
    if (n > kMaxRecords) {
      why_.format("record count %llu out of range", static_cast<unsigned long long>(n));
      return false;
    }
    h_.numrecs = n;
    return true;
  }

  bool dimensions() noexcept {
    std::uint64_t count = 0;
    if (!list(kDimensionTag, count, "dimension", kMinDimensionBytes)) return false;
    if (!h_.reserve_dims(static_cast<int>(count))) {
      why_ << "no memory for the dimension table";
      return false;
    }
    for (int i = 0; i < h_.ndims; ++i) {
      Dimension& d = h_.dim(i);
      if (!name(d.name, "dimension") || !non_neg(d.length, "dimension length")) return false;
      if (d.length != 0) continue;
      if (h_.record_dim >= 0) {
        why_ << "two record dimensions";
        return false;
      }
      h_.record_dim = i;
    }
    return true;
  }

  bool attributes(std::string_view owner) noexcept {
    std::uint64_t count = 0;
    if (!list(kAttributeTag, count, "attribute", kMinAttributeBytes)) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
      ShortName n;
      std::uint32_t type = 0;
      std::uint64_t nelems = 0;
      if (!name(n, "attribute") || !u32(type) || !non_neg(nelems, "attribute length")) {
        return false;
      }
      const int size = type_bytes(static_cast<int>(type));
      std::uint64_t values = 0;
      if (size == 0 || (type > kDouble && h_.version != 5)) {
        why_ << owner << " attribute " << n.text.trimmed();
        why_.format(": type code %u", type);
        return false;
      }
      if (__builtin_mul_overflow(nelems, static_cast<std::uint64_t>(size), &values) ||
          values > kMaxOffset) {
        values = kMaxOffset;
      }
      Problem what;
      what << owner << " attribute " << n.text.trimmed();
      const std::uint64_t begin = pos_;
      if (!skip(padded4(values), what)) {
        why_.clear();
        why_ << what;
        why_.format(": %llu bytes of values beyond file size %llu",
                    static_cast<unsigned long long>(values),
                    static_cast<unsigned long long>(src_.size()));
        return false;
      }
      if (sink_ != nullptr &&
          !sink_->take(Attribute{owner_, n, static_cast<int>(type), nelems, begin})) {
        why_ << "no memory for the attribute list";
        return false;
      }
    }
    return true;
  }

  bool variables() noexcept {
    std::uint64_t count = 0;
    if (!list(kVariableTag, count, "variable", kMinVariableBytes)) return false;
    if (!h_.reserve(static_cast<int>(count))) {
      why_ << "no memory for the variable table";
      return false;
    }
    for (int i = 0; i < static_cast<int>(count); ++i) {
      owner_ = i;
      if (!variable(h_.var(i))) return false;
      h_.set_nvars(i + 1);
    }
    h_.header_end = pos_;
    return true;
  }

  bool variable(Variable& v) noexcept {
    v.record = false;
    std::uint64_t rank = 0;
    if (!name(v.name, "variable") || !non_neg(rank, "variable rank")) return false;
    Problem who;
    who << "variable " << v.name.text.trimmed();
    // Values per record (all of them for a variable without the record dimension).
    std::uint64_t n = 1;
    if (!shape(v, rank, who, n) || !attributes(who) || !value_type(v, who) || !data_begin(v, who)) {
      return false;
    }
    if (__builtin_mul_overflow(n, static_cast<std::uint64_t>(type_bytes(v.type)), &n) ||
        n > kMaxOffset) {
      why_ << who << ": data size overflows";
      return false;
    }
    v.bytes = n;
    return true;
  }

  // The dimension ids of V, RANK of them: its rank, the ids it keeps, whether it is a record
  // variable, and N multiplied by the length of each dimension but the record dimension.
  bool shape(Variable& v, std::uint64_t rank, std::string_view who, std::uint64_t& n) noexcept {
    // Each dimension id takes 4 bytes (8 in CDF-5): a rank the file cannot hold is refused
    // before its ids are read.
    if (rank > remaining() / (h_.version == 5 ? 8 : 4) || rank > kMaxCount) {
      why_ << who;
      why_.format(": rank %llu cannot fit in the file", static_cast<unsigned long long>(rank));
      return false;
    }
    v.rank = static_cast<int>(rank);
    for (int k = 0; k < v.rank; ++k) {
      if (!dimension_id(v, k, who, n)) return false;
    }
    return true;
  }

  // Dimension K of V, as shape says.
  bool dimension_id(Variable& v, int k, std::string_view who, std::uint64_t& n) noexcept {
    std::uint64_t id = 0;
    if (!non_neg(id, "dimension id")) return false;
    if (id >= static_cast<std::uint64_t>(h_.ndims)) {
      why_ << who;
      why_.format(": dimension id %llu of %d dimensions", static_cast<unsigned long long>(id),
                  h_.ndims);
      return false;
    }
    if (k < kKeptRank) v.dimids[static_cast<std::size_t>(k)] = static_cast<int>(id);
    if (static_cast<int>(id) == h_.record_dim) {
      if (k > 0) {
        why_ << who << ": record dimension not first";
        return false;
      }
      v.record = true;
      return true;
    }
    if (__builtin_mul_overflow(n, h_.dims[static_cast<std::size_t>(id)].length, &n) ||
        n > kMaxOffset) {
      why_ << who << ": data size overflows";
      return false;
    }
    return true;
  }

  // The type of V's values, and past the size the header states for them, which is not used
  // (it saturates for large variables): the size is computed.
  bool value_type(Variable& v, std::string_view who) noexcept {
    std::uint32_t type = 0;
    std::uint64_t vsize = 0;
    if (!u32(type) || !(h_.version == 5 ? u64(vsize) : skip(4, who))) return false;
    v.type = static_cast<int>(type);
    const int size = type_bytes(v.type);
    if (size == 0 || (v.type > kDouble && h_.version != 5)) {
      why_ << who;
      why_.format(": type code %u", type);
      return false;
    }
    return true;
  }

  // Where V's data begins: 32 bits in CDF-1, 64 in the others.
  bool data_begin(Variable& v, std::string_view who) noexcept {
    if (h_.version == 1) {
      std::uint32_t b = 0;
      if (!u32(b)) return false;
      v.begin = b;
    } else if (!u64(v.begin)) {
      return false;
    }
    if (v.begin > kMaxOffset) {
      why_ << who << ": data offset out of range";
      return false;
    }
    return true;
  }

  Source& src_;
  Header& h_;
  Problem& why_;
  AttributeSink* sink_;
  int owner_ = -1;  // whose attributes are read: -1 global, else the variable's index
  std::uint64_t pos_ = 0;
};

bool parse(Source& src, Header& h, Problem& why, AttributeSink* sink) noexcept {
  h = Header();
  Parser p(src, h, why, sink);
  return p.run();
}

}  // namespace

bool parse_classic_header(const char* path, Header& h, Problem& why, int* keep_fd,
                          AttributeSink* sink) noexcept {
  // Without blocking: a FIFO would otherwise wait for a writer.
  const int fd = sys::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    why << "cannot be opened: " << std::strerror(errno);
    return false;
  }
  struct stat st {};
  bool ok = false;
  if (::fstat(fd, &st) != 0) {
    why << "cannot be examined: " << std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    why << "not a regular file";
  } else {
    Source src(fd, static_cast<std::uint64_t>(st.st_size));
    ok = parse(src, h, why, sink);
  }
  if (ok && keep_fd != nullptr) {
    *keep_fd = fd;
    return true;
  }
  (void)sys::close(fd);  // opened read-only: nothing to lose
  return ok;
}

bool parse_classic_header(std::span<const unsigned char> file, Header& h, Problem& why,
                          AttributeSink* sink) noexcept {
  Source src(file);
  return parse(src, h, why, sink);
}

}  // namespace kavro::detail::classic
