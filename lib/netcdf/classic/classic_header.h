// The header of a netCDF classic-format file (CDF-1, CDF-2 and CDF-5), read and checked by
// the library itself before the netCDF library sees the file. The header is untrusted: no
// count, name length or attribute size it states is allocated or read before it has been
// shown to fit in the bytes the file really has (what the library's layout cannot use is
// refused later, by the open's own checks); and every variable's data, records included, must lie
// inside the file, after the header, in the order and without the overlaps the format lays down. A
// file that passes is one whose every read addresses bytes that exist, so the netCDF library never
// returns zeros for missing data and never meets a header it mishandles.
//
// One reader, two uses: the open refuses a file that fails here, and the direct data path
// reads variables at the offsets kept from here (netcdf/classic/kept_files.h). The lists are read
// in classic_header.cpp, the data's placement checked in data_extents.cpp; the tables they fill
// are kept in classic_tables.cpp.
#ifndef KAVRO_NETCDF_CLASSIC_HEADER_H
#define KAVRO_NETCDF_CLASSIC_HEADER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "core/msgbuf.h"
#include "kavro/fixed_string.h"
#include "kavro/params.h"

namespace kavro::detail::classic {

// The counts of a header are bounded by the bytes the file has left for their entries, and by
// the int the netCDF library counts them in; nothing smaller. A variable keeps the ids of its
// first kKeptRank dimensions (the direct data path reads ranks up to 5); its size counts all.
inline constexpr int kKeptRank = 8;
inline constexpr std::size_t kMaxName = 256;  // the format's longest name

// netCDF external type codes of the classic formats (7 .. 11 in CDF-5 only).
inline constexpr int kByte = 1, kChar = 2, kShort = 3, kInt = 4, kFloat = 5, kDouble = 6;

// Bytes of one value of external type TYPE; 0 for a code the format does not have.
int type_bytes(int type) noexcept;

// N rounded up to a whole number of 4-byte words: names, attribute values and the data of
// record variables are padded so.
constexpr std::uint64_t padded4(std::uint64_t n) noexcept { return (n + 3) & ~std::uint64_t{3}; }

// A name as the library looks it up: its first 16 characters and its full length (a longer
// name matches no 16-character name).
struct ShortName {
  Name16 text;
  std::size_t length = 0;
  bool is(std::string_view name) const noexcept;
};

struct Dimension {
  ShortName name;
  std::uint64_t length = 0;  // 0: the record dimension
};

struct Variable {
  ShortName name;
  int type = 0;
  int rank = 0;
  std::array<int, kKeptRank> dimids{};  // slowest varying first (the first kKeptRank)
  bool record = false;                  // its first dimension is the record dimension
  std::uint64_t begin = 0;  // byte offset of its data (of record 1 for a record variable)
  std::uint64_t bytes = 0;  // bytes of its data (of one record), without padding
};

class Header {
 public:
  int version = 0;              // 1, 2 or 5
  std::uint64_t numrecs = 0;    // records present
  std::uint64_t recsize = 0;    // bytes from one record to the next
  std::uint64_t file_size = 0;  // bytes of the file when it was read
  std::uint64_t header_end = 0;
  int record_dim = -1;
  int ndims = 0;
  // The ndims dimensions (set by reserve_dims).
  std::span<const Dimension> dims;

  int nvars() const noexcept { return nvars_; }
  const Variable& var(int i) const noexcept { return vars_[static_cast<std::size_t>(i)]; }
  // The variable of that name, or null.
  const Variable* find(std::string_view name) const noexcept;

  // Room for N variables (the count is checked first): false when it cannot be had.
  bool reserve(int n) noexcept;
  Variable& var(int i) noexcept { return vars_[static_cast<std::size_t>(i)]; }
  void set_nvars(int n) noexcept { nvars_ = n; }
  // Room for N dimensions, from then on dims; false when it cannot be had.
  bool reserve_dims(int n) noexcept;
  Dimension& dim(int i) noexcept { return dims_[static_cast<std::size_t>(i)]; }

 private:
  struct Release {
    void operator()(void* p) const noexcept;
  };
  std::unique_ptr<Variable[], Release> vars_;
  std::unique_ptr<Dimension[], Release> dims_;
  int capacity_ = 0;
  int nvars_ = 0;
};

// One attribute as the header check reads it: the variable it belongs to (-1: a global
// attribute), its name, its external type, its count of values and the file offset where its
// values begin. The values themselves are not read.
struct Attribute {
  int owner = -1;
  ShortName name;
  int type = 0;
  std::uint64_t count = 0;
  std::uint64_t begin = 0;
};

// Told of each attribute once its values are known to lie inside the file; false stops the
// check ("no memory for the attribute list").
class AttributeSink {
 public:
  virtual bool take(const Attribute& a) noexcept = 0;

 protected:
  ~AttributeSink() = default;
};

// What is wrong with a file, in a few words ("variable O3: data end 96019600 beyond file size
// 95000000"); the caller names the file.
using Problem = MsgBuf<160>;

// Reads and checks the header of the file at PATH, opened without blocking; only a regular
// file is read. False with the problem in WHY. With KEEP_FD, a file that passes stays open
// and its descriptor is handed over there (read-only, close-on-exec). SINK, when given, is told
// of every attribute read.
[[nodiscard]] bool parse_classic_header(const char* path, Header& h, Problem& why,
                                        int* keep_fd = nullptr,
                                        AttributeSink* sink = nullptr) noexcept;
// The same for a file held in memory whole.
[[nodiscard]] bool parse_classic_header(std::span<const unsigned char> file, Header& h,
                                        Problem& why, AttributeSink* sink = nullptr) noexcept;

}  // namespace kavro::detail::classic

#endif  // KAVRO_NETCDF_CLASSIC_HEADER_H
