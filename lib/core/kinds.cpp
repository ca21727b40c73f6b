#include "core/kinds.h"

#include <array>
#include <cstddef>

#include "kavro/params.h"

namespace kavro::detail {

namespace {

// Indexed by -kind: MEMFIL3 -1 .. BINFIL3 -4.
constexpr int kKinds = -BINFIL3;
constinit std::array<KindOps, kKinds + 1> table{};

bool known(int kind) noexcept { return kind <= MEMFIL3 && kind >= BINFIL3; }

}  // namespace

bool register_kind(int kind, const KindOps& ops) noexcept {
  if (!known(kind)) return false;
  table[static_cast<std::size_t>(-kind)] = ops;
  return true;
}

const KindOps* kind_ops(int kind) noexcept {
  return known(kind) ? &table[static_cast<std::size_t>(-kind)] : nullptr;
}

bool close_kind(int kind, int fid) {
  const KindOps* ops = kind_ops(kind);
  return ops == nullptr || ops->close == nullptr || ops->close(fid) != 0;
}

bool flush_kind(int kind, int fid) {
  const KindOps* ops = kind_ops(kind);
  return ops == nullptr || ops->flush == nullptr || ops->flush(fid) != 0;
}

void release_kinds(int fid) {
  for (std::size_t k = 1; k < table.size(); ++k) {
    if (table[k].release != nullptr) table[k].release(fid);
  }
}

void init_kinds(std::string_view version, int rundate, int runtime) {
  for (std::size_t k = 1; k < table.size(); ++k) {
    if (table[k].init != nullptr) table[k].init(version, rundate, runtime);
  }
}

}  // namespace kavro::detail
