// Compiled, never run: as many rows as the kind table holds (EXTRA 0), or one more (EXTRA 1),
// given to install_kinds. The first compiles; the second must not, so no kind is ever
// dropped silently.
#include <array>
#include <cstddef>

#include "core/kinds.h"

namespace {

constexpr kavro::detail::FileKind kRow{};

template <std::size_t... I>
void install(std::index_sequence<I...>) {
  const kavro::detail::FileKind* const rows[] = {(static_cast<void>(I), &kRow)...};
  kavro::detail::install_kinds(rows);
}

}  // namespace

void install_some_kinds() { install(std::make_index_sequence<kavro::detail::kMaxKinds + EXTRA>{}); }
