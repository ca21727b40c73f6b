// File slots: from a logical name to the slot that holds it, and the lowest free slot.
#ifndef KAVRO_CORE_SLOTS_H
#define KAVRO_CORE_SLOTS_H

namespace kavro::detail {

// The lowest slot whose logical name marks it free, or 0 when every slot is taken.
int first_free_slot() noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_CORE_SLOTS_H
