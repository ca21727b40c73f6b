// NAME2FID and the free-slot search.
#include "core/slots.h"

#include "core/kinds.h"
#include "core/log.h"
#include "core/msgbuf.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/params.h"

namespace kavro {

namespace detail {

int first_free_slot() noexcept {
  for (int s = 1; s <= MXOPEN3; ++s) {
    if (slot_free(s)) return s;
  }
  return 0;
}

int give_back_slot(int fid, GiveBack how) {
  int status = 0;
  if (how != GiveBack::kOpenerClosed) status = kind_of(fid).close(fid);
  if (status != 0 && how == GiveBack::kCloseOrKeep) return status;
  release_all(fid);
  // No kind is left holding the slot: the next open starts from nothing.
  state().b.NCID3(fid) = IMISSING3;
  reset_slot(fid);
  return status;
}

}  // namespace detail

int NAME2FID(std::string_view lname) {
  if (!detail::ensure_initialised()) {
    XQMSG2("KAVRO not yet initialized");
    return 0;
  }
  const auto& b = state().b;
  const std::string_view name = trimmed(lname);
  if (name.size() > static_cast<std::size_t>(NAMLEN3)) {
    XQMSG2((detail::MsgBuf<80>() << "Bad file name length for \"" << name << "\":  max length ")
               .format("%d actual %zu", NAMLEN3, name.size()));
    return -1;
  }
  const auto& c = state().c;
  for (int f = 1; f <= b.LASTFID3 && f <= MXOPEN3; ++f) {
    if (padded_equal(c.FLNAME3(f).padded(), name)) return f;
  }
  return 0;
}

}  // namespace kavro
