// What a transfer of one file type reads, from the layout's row of the type: START, COUNT and
// SIZE of the variable, and the per-step header arrays before it. READ3's transfers, the size
// a sized READ3 promises and WRITE3's step all take it from here, so the bytes promised, read
// and written cannot drift apart.
#ifndef KAVRO_FILETYPE_TRANSFER_PLAN_H
#define KAVRO_FILETYPE_TRANSFER_PLAN_H

#include <array>
#include <cstdint>

#include "core/kinds.h"
#include "filetype/file_type_model.h"

namespace kavro::detail {

// START, COUNT and SIZE of the variable read of one transfer (SIZE never negative), with its
// layer and record.
using Plan = VarRead;

// A count for the START/COUNT vectors: a length that is negative or does not fit an INTEGER
// is refused by the read (-1), never wrapped.
int as_count(std::int64_t v) noexcept;

// The header values the layout sizes a transfer of file type FTYPE from.
layout::Header header_for(int ftype, int fid) noexcept;

// The variable's START/COUNT/SIZE for a transfer of file type FTYPE, from the shape of the
// type's data variables: the layer (or all layers), the record STEP, every other dimension
// whole. False for a type without a transfer.
bool plan_for(int ftype, int fid, int layer, int step, Plan& p) noexcept;

// The layer and record of a read a caller gives as START and COUNT only (a buffer filled
// from a file): the record is the last used entry, the entry before it the layer, whole
// (ALLAYS3) when it starts at 1 and covers NLAYS layers.
void layer_and_record(int nlays, VarRead& r) noexcept;

// The values of one structural variable a transfer reads: one per step, or one per entry of
// its second dimension.
std::int64_t array_values(const layout::StructuralVar& a, const layout::Header& h) noexcept;

// START and COUNT of one structural variable's values of record STEP, as a transfer reads and
// writes them: a per-step count is the variable's one value of the record (rank 1), an array
// the record's whole row (rank 2). WORDS is what the values take in the caller's buffer.
struct ArraySlab {
  int rank = 1;
  std::array<int, 2> start{};
  std::array<int, 2> count{};
  std::int64_t words = 0;
};
ArraySlab array_slab(const layout::StructuralVar& a, const layout::Header& h, int step) noexcept;

// Words the header arrays of a transfer of file type FTYPE take at the front of the buffer.
std::int64_t header_words(int ftype, int fid) noexcept;

// The used length of a START/COUNT pair: up to the time step, whose COUNT is 1 and last.
int rank_of(const SlabVector& count) noexcept;

// The file type whose transfer serves slot FID's file type (GRDDED3 for types 1, 7 and 8);
// 0 for none.
int transfer_type(int fid) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_FILETYPE_TRANSFER_PLAN_H
