#include "core/state.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "core/kinds.h"
#include "core/sizes.h"
#include "core/syscalls.h"
#include "core/units.h"
#include "kavro/core.h"
#include "kavro/desc.h"

namespace kavro {

namespace {
constexpr std::size_t state_bytes() noexcept {
  constexpr std::size_t kPage = 4096;
  return (sizeof(LibraryState) + kPage - 1) / kPage * kPage;
}

struct StateDeleter {
  void operator()(LibraryState* p) const noexcept {
    p->~LibraryState();
    munmap(p, state_bytes());
  }
};
using StateHolder = std::unique_ptr<LibraryState, StateDeleter>;

StateHolder& holder() noexcept {
  static StateHolder s;
  return s;
}

// The tables take about 25 MB, of which a run touches little (see PerVarSlot): zero-filled
// pages mapped on demand cost nothing until used.
LibraryState* new_state() noexcept {
  void* p =
      mmap(nullptr, state_bytes(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) {
    std::fputs("kavro: no memory for the library's state tables\n", stderr);
    std::exit(kExitFailure);
  }
  return new (p) LibraryState;  // default-initialised: no zeroing pass over the tables
}

}  // namespace

LibraryState& state() noexcept {
  auto& s = holder();
  if (!s) s.reset(new_state());
  return *s;
}

// Constant-initialised, so a caller's own static initialiser may fill them before main.
constinit Bdesc3 BDESC3{};
constinit Cdesc3 CDESC3{};
constinit Batts3 BATTS3{};
constinit Catts3 CATTS3{};

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

void grid_from_description(int slot) noexcept {
  auto& b = state().b;
  const Bdesc3& bd = BDESC3;
  b.P_ALP3(slot) = bd.P_ALP3D;
  b.P_BET3(slot) = bd.P_BET3D;
  b.P_GAM3(slot) = bd.P_GAM3D;
  b.XCENT3(slot) = bd.XCENT3D;
  b.YCENT3(slot) = bd.YCENT3D;
  b.XORIG3(slot) = bd.XORIG3D;
  b.YORIG3(slot) = bd.YORIG3D;
  b.XCELL3(slot) = bd.XCELL3D;
  b.YCELL3(slot) = bd.YCELL3D;
  b.SDATE3(slot) = bd.SDATE3D;
  b.STIME3(slot) = bd.STIME3D;
  b.TSTEP3(slot) = bd.TSTEP3D;
  b.GDTYP3(slot) = bd.GDTYP3D;
  b.VGTYP3(slot) = bd.VGTYP3D;
  b.VGTOP3(slot) = bd.VGTOP3D;
  state().c.GDNAM3(slot) = CDESC3.GDNAM3D;
}

}  // namespace detail

void reset_library() noexcept {
  // What the kinds hold for any slot (kept headers and descriptors, buffers) goes too.
  for (int fid = 1; fid <= MXOPEN3; ++fid) detail::release_all(fid);
  detail::forget_all();
  detail::reset_units();
  holder().reset(new_state());
  BDESC3 = Bdesc3{};
  CDESC3 = Cdesc3{};
  BATTS3 = Batts3{};
  CATTS3 = Catts3{};
}

namespace test_hooks {
void reset_state() {
  clear_failures();  // a failure armed by one test never reaches the next
  unpin_clock();
  reset_library();
}
}  // namespace test_hooks

}  // namespace kavro

namespace kavro::detail {
int described_vars(int fid) noexcept {
  const int n = state().b.NVARS3(fid);
  return n < 0 ? 0 : (n > MXVARS3 ? MXVARS3 : n);
}
}  // namespace kavro::detail
