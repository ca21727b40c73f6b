#include "core/state.h"

#include <memory>
#include <new>

#include "core/units.h"
#include "kavro/desc.h"

namespace kavro {

namespace {
std::unique_ptr<LibraryState>& holder() noexcept {
  static std::unique_ptr<LibraryState> s;
  return s;
}

struct Description {
  Bdesc3 b{};
  Cdesc3 c{};
  Batts3 ba{};
  Catts3 ca{};
};
Description& description() {
  static Description* d = new Description();  // lives for the whole process
  return *d;
}
}  // namespace

LibraryState& state() noexcept {
  auto& s = holder();
  if (!s) s.reset(new LibraryState());
  return *s;
}

Bdesc3& BDESC3 = description().b;
Cdesc3& CDESC3 = description().c;
Batts3& BATTS3 = description().ba;
Catts3& CATTS3 = description().ca;

namespace detail {

bool slot_free(int slot) noexcept { return state().c.FLNAME3(slot).padded() == kFreeSlotName; }

void free_slot(int slot) noexcept { state().c.FLNAME3(slot) = kFreeSlotName; }

void reset_tables() noexcept {
  auto& st = state();
  st.c.FLNAME3.fill(Name16(kFreeSlotName));
  st.c.VLIST3D.fill(Name16(kFreeSlotName));
  st.b.LAYSIZE3.fill(IMISSING3);
  st.b.BUF0DATE3.fill(IMISSING3);
  st.b.BUF0TIME3.fill(IMISSING3);
  st.b.BUF1DATE3.fill(IMISSING3);
  st.b.BUF1TIME3.fill(IMISSING3);
  st.b.LISTFIRST3.fill(IMISSING3);
  st.b.MEMBERFID3.fill(IMISSING3);
  st.b.LISTCOUNT3.fill(0);
  st.b.LISTUSED3 = 0;
}

void reset_slot(int slot) noexcept {
  auto& st = state();
  free_slot(slot);
  const int nvars = st.b.NVARS3(slot) < MXVARS3 ? st.b.NVARS3(slot) : MXVARS3;
  for (int v = 1; v <= nvars; ++v) {
    st.b.VARID3(v, slot) = IMISSING3;
    st.b.BUF0DATE3(v, slot) = IMISSING3;
    st.b.BUF0TIME3(v, slot) = IMISSING3;
    st.b.BUF1DATE3(v, slot) = IMISSING3;
    st.b.BUF1TIME3(v, slot) = IMISSING3;
    st.b.BUFLAST3(v, slot) = IMISSING3;
    st.c.VLIST3D(v, slot) = kFreeSlotName;
  }
}

}  // namespace detail

namespace test_hooks {
void reset_state() {
  detail::reset_units();
  unpin_clock();
  holder().reset(new LibraryState());
}
}  // namespace test_hooks

}  // namespace kavro
