// The buffers of memory-resident files: one per (slot 0..MXOPEN3, variable 0..MXVARS3), each
// one half (a time-independent file) or two halves of values of one size. Every buffer
// remembers its extent, and every routine checks that what it touches lies inside it.
#ifndef KAVRO_MEMORY_BUFFERS_H
#define KAVRO_MEMORY_BUFFERS_H

#include <cstdint>
#include <string_view>

namespace kavro::detail {

struct VarBuffer {
  unsigned char* data = nullptr;
  std::int64_t half_values = 0;  // values in one half
  int halves = 0;                // 1, or 2 for a time-stepped file
  int value_bytes = 0;           // 4, or 8 (0 for a variable of no known type)
};

// The buffer of (FID, VID), or null when there is none.
VarBuffer* find_buffer(int fid, int vid) noexcept;

// Whether values FIRST .. FIRST + COUNT - 1 (counted from 0, over both halves) of BUF exist
// and BUF holds values of BYTES bytes; logs "<ROUTINE>:  request outside the buffer" when not.
bool inside(const VarBuffer& buf, std::int64_t first, std::int64_t count, int bytes,
            std::string_view routine) noexcept;

// Every buffer of every slot released (the library starting afresh).
void release_all_buffers() noexcept;

}  // namespace kavro::detail

namespace kavro::test_hooks {
// Buffers held now, over every slot.
int buffers_held() noexcept;
}  // namespace kavro::test_hooks

#endif  // KAVRO_MEMORY_BUFFERS_H
