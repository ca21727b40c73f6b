// The native binary kind: a logical name whose value starts "BIN:" names a file in the
// library's own binary layout. This build does not read or write such files yet: every
// operation that would touch one warns that native binary files are not supported.
#ifndef KAVRO_BINARY_BINARY_KIND_H
#define KAVRO_BINARY_BINARY_KIND_H

#include "core/kinds.h"

namespace kavro::detail {
extern const FileKind kBinaryKind;
}  // namespace kavro::detail

#endif  // KAVRO_BINARY_BINARY_KIND_H
