// What the file in a slot holds, as its opener or creator stored it in the slot's tables: its
// variables by name and their types, its layers and the values of one, its records. The
// routines that look a variable up by name, and the C++ interface, which reads no state table,
// ask here.
#ifndef KAVRO_CORE_SLOT_FACTS_H
#define KAVRO_CORE_SLOT_FACTS_H

#include <cstdint>
#include <string_view>

namespace kavro::detail {

// The index (1 ..) of variable VNAME in the file of slot FID; 0 when it has none of that name.
int variable_index(int fid, std::string_view vname) noexcept;
// The type (M3INT, M3REAL, M3DBLE) of variable VID (1 ..) of the file in slot FID.
int variable_type(int fid, int vid) noexcept;

struct SlotShape {
  int layers = 0;                 // of every variable
  std::int64_t layer_values = 0;  // values of one layer of one variable, by file type
  int records = 0;                // written so far
};
// The shape of the file in slot FID.
SlotShape slot_shape(int fid) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_CORE_SLOT_FACTS_H
