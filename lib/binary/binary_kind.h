// The native binary kind: a logical name whose value starts "BIN:" names a file in the
// library's own binary layout: a fixed header, the variable table, one record per time step.
#ifndef KAVRO_BINARY_BINARY_KIND_H
#define KAVRO_BINARY_BINARY_KIND_H

#include "core/kinds.h"

namespace kavro::detail {
extern const FileKind kBinaryKind;
}  // namespace kavro::detail

#endif  // KAVRO_BINARY_BINARY_KIND_H
