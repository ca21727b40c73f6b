// The native binary header's bytes: where each field sits and how it is written and read.
// Pure functions over a header held in memory: no I/O, no state. Every integer is
// little-endian byte by byte; the byte-order mark alone is the host's own layout.
#ifndef KAVRO_BINARY_BINARY_FORMAT_H
#define KAVRO_BINARY_BINARY_FORMAT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "kavro/desc.h"
#include "kavro/params.h"

namespace kavro::detail {

// Fixed header: 19884 bytes, then 112 bytes per variable.
inline constexpr std::int64_t kFixedHeader = 19884;
inline constexpr std::int64_t kVarTableEntry = 16 + 16 + 80;
// The byte-order mark, as the host lays it out.
inline constexpr int kByteOrder = 50462976;

// Offsets in the fixed header.
namespace hdr {
inline constexpr std::size_t kMxrec = 0, kVersion = 4, kByteOrder = 20, kIntSize = 24,
                             kRealSize = 28, kDbleSize = 32, kCdate = 36, kCtime = 40, kWdate = 44,
                             kWtime = 48, kFtype = 52, kGdtyp = 56, kVgtyp = 60, kNcols = 64,
                             kNrows = 68, kNlays = 72, kNthik = 76, kNvars = 80, kSdate = 84,
                             kStime = 88, kTstep = 92, kGrid = 96, kGridField = 28, kVgtop = 348,
                             kLevels = 364, kLevelField = 16, kVtype = 1980, kGdnam = 10172,
                             kUpnam = 10188, kExecn = 10204, kFdesc = 10284, kUpdsc = 15084;
}  // namespace hdr

using Header = std::array<unsigned char, static_cast<std::size_t>(kFixedHeader)>;

// The header's names for its nine grid values, in the order they are stored.
inline constexpr std::array<std::string_view, 9> kGridNames = {
    "P_ALP", "P_BET", "P_GAM", "XCENT", "YCENT", "XORIG", "YORIG", "XCELL", "YCELL"};

// The header fields the layout depends on.
struct Fields {
  int mxrec, ftype, gdtyp, ncols, nrows, nlays, nthik, nvars, isize, rsize, dsize;
};

// Who wrote a header, and when: the library version (its first 16 bytes, blank-filled), the
// host's byte-order mark, and the run's date and time (creation and last write alike).
struct Stamp {
  std::string_view version;
  int byte_order;
  int date, time;
};

// The header of a new file from the description records: every field at its offset, numbers
// as text, the rest zero. MXREC is 0.
void encode_header(const Bdesc3& bd, const Cdesc3& cd, const Stamp& stamp, Header& h);

// A 32-bit integer as 4 little-endian bytes at P, and back: the header's and the flags' form.
void put_le(unsigned char* p, int value) noexcept;
int get_le(const unsigned char* p) noexcept;

int get_int(const Header& h, std::size_t at) noexcept;
// The byte-order mark as the writing host laid it out.
int byte_order_mark(const Header& h) noexcept;
Fields decode_fields(const Header& h) noexcept;
// The first OUT.size() variable types.
void decode_vtypes(const Header& h, std::span<int> out) noexcept;
// The text of N bytes at AT.
std::string_view text_at(const Header& h, std::size_t at, std::size_t n) noexcept;

// Offset of level L's text (0 .. NLAYS).
constexpr std::size_t level_at(int l) noexcept {
  return hdr::kLevels + static_cast<std::size_t>(l) * hdr::kLevelField;
}

// What a header holds of the description records beyond the slot's tables: the update and
// program names, the file and update descriptions, the creation and last-write stamps, the
// vertical grid (levels 0 .. NLAYS).
void decode_description(const Header& h, int nlays, Bdesc3& bd, Cdesc3& cd) noexcept;

// Whether a number's text ends in its field: grid value K (0..8), or the level text at AT.
bool grid_terminated(const Header& h, std::size_t k) noexcept;
bool level_terminated(const Header& h, std::size_t at) noexcept;
// Grid value K and the level text at AT as numbers; 0 for an unterminated or unreadable text.
double grid_value(const Header& h, std::size_t k) noexcept;
float level_value(const Header& h, std::size_t at) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_BINARY_BINARY_FORMAT_H
