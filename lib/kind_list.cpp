// The file kinds of this build, listed once. This is the one file that knows every kind; each
// kind brings its row from its own folder.
#include "kind_list.h"

#include <vector>

#include "binary/binary_kind.h"
#include "core/kinds.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/open.h"
#include "list/file_list.h"
#include "memory/memory_kind.h"
#include "netcdf/netcdf_kind.h"
#include "open/virtual_kind.h"

namespace kavro {

namespace detail {

namespace {

// The order in which the value forms are tried; the plain path, which any value is, last.
constexpr const FileKind* kKinds[] = {&kMemoryKind, &kVirtualKind, &kBinaryKind, &kListKind,
                                      &kNetcdfKind};

}  // namespace

void list_kinds() noexcept { install_kinds(kKinds); }

}  // namespace detail

std::vector<ValuePrefix> value_prefixes() {
  std::vector<ValuePrefix> out;
  for (const detail::FileKind* k : detail::kKinds) {
    if (!k->prefix.empty()) out.push_back({k->code, k->prefix});
  }
  return out;
}

// The kinds are listed when the library starts, not again while it runs.
int INIT3() {
  if (!state().b.INITDONE3) detail::list_kinds();
  return detail::start_library();
}

}  // namespace kavro
