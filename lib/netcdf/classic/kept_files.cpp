#include "netcdf/classic/kept_files.h"

#include <array>
#include <new>
#include <utility>

#include "core/syscalls.h"
#include "kavro/params.h"

namespace kavro::detail::classic {

namespace {
// Per slot 1..MXOPEN3; zero-initialised, so usable before any constructor runs.
constinit std::array<KeptFile*, MXOPEN3> kept{};

KeptFile*& kept_slot(int fid) noexcept { return kept[static_cast<std::size_t>(fid - 1)]; }
}  // namespace

bool keep_file(int fid, Header&& h, int fd) noexcept {
  forget_file(fid);
  void* p = sys::allocate(sizeof(KeptFile));
  if (p == nullptr) {
    (void)sys::close(fd);
    return false;
  }
  KeptFile* k = new (p) KeptFile();
  k->header = std::move(h);
  k->fd = fd;
  kept_slot(fid) = k;
  return true;
}

const KeptFile* kept_file(int fid) noexcept {
  return fid >= 1 && fid <= MXOPEN3 ? kept_slot(fid) : nullptr;
}

void forget_file(int fid) noexcept {
  if (fid < 1 || fid > MXOPEN3) return;
  KeptFile*& k = kept_slot(fid);
  if (k == nullptr) return;
  (void)sys::close(k->fd);
  k->~KeptFile();
  sys::release(k);
  k = nullptr;
}

}  // namespace kavro::detail::classic
