#include "core/kinds.h"

#include <algorithm>
#include <cassert>

#include "core/state.h"
#include "kavro/core.h"
#include "kavro/params.h"

namespace kavro::detail {

namespace {

constinit std::array<const FileKind*, kMaxKinds> table{};
constinit std::size_t installed = 0;

// A slot that holds nothing (a closed or failed file): it describes and synchronises as a
// kind with nothing to do, has no flags and no data.
constexpr FileKind kNoKind = {
    .code = IMISSING3,
    .admit = [](int, int, std::string_view, std::string_view) { return Admission::kRefused; },
};

// The rows installed (none before INIT3 first lists them).
std::span<const FileKind* const> kinds() noexcept { return {table.data(), installed}; }

bool starts_with_nocase(std::string_view value, std::string_view prefix) noexcept {
  if (value.size() < prefix.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), value.begin(), [](char p, char v) {
    return p == (v >= 'a' && v <= 'z' ? static_cast<char>(v - 'a' + 'A') : v);
  });
}

}  // namespace

void install_kind_rows(std::span<const FileKind* const> rows) noexcept {
  assert(rows.size() <= kMaxKinds && "install_kinds checks the count");
  installed = std::min(rows.size(), kMaxKinds);
  std::copy_n(rows.begin(), installed, table.begin());
}

const FileKind& kind_of(int fid) noexcept {
  const int code = state().b.NCID3(fid);
  for (const FileKind* k : kinds()) {
    if (k->code == code || (code >= 0 && k->code == kNetcdfCode)) return *k;
  }
  return kNoKind;
}

const FileKind& kind_for_value(std::string_view path) noexcept {
  for (const FileKind* k : kinds()) {
    if (starts_with_nocase(path, k->prefix)) return *k;
  }
  return kNoKind;
}

void release_all(int fid) {
  for (const FileKind* k : kinds()) k->release(fid);
}

void forget_all() {
  for (const FileKind* k : kinds()) k->forget();
}

void init_all(std::string_view version, int rundate, int runtime) {
  for (const FileKind* k : kinds()) k->init(version, rundate, runtime);
}

bool no_flags(int fid, int, int, int, int, std::span<int>, MsgBuf<256>& why) {
  why << "Error reading time step flags for " << state().c.FLNAME3(fid).padded();
  return false;
}

}  // namespace kavro::detail
