// File slots: from a logical name to the slot that holds it, and the lowest free slot.
#ifndef KAVRO_CORE_SLOTS_H
#define KAVRO_CORE_SLOTS_H

namespace kavro::detail {

// The lowest slot whose logical name marks it free, or 0 when every slot is taken.
int first_free_slot() noexcept;

// How a slot is given back.
enum class GiveBack {
  kClose,         // close the file through its kind; the slot is given back whatever the close says
  kCloseOrKeep,   // the same, but a failed close leaves the slot as it is (CLOSE3 reports it)
  kOpenerClosed,  // an open that failed: its opener already closed what it had opened
};

// The one way a slot is given back (CLOSE3, SHUT3, a failed open or list, a replaced file):
// its file closed through its kind as HOW says, then every kind's release for the slot (a kept
// descriptor and header, buffers, state), then the slot's tables reset. Returns the close's
// status: 0, or the kind's failure status.
int give_back_slot(int fid, GiveBack how);

}  // namespace kavro::detail

#endif  // KAVRO_CORE_SLOTS_H
