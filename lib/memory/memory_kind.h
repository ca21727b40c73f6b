// The memory-resident kind: a logical name whose value is "BUFFERED" names a file held in
// memory, two time steps per variable (kavro/memory.h).
#ifndef KAVRO_MEMORY_MEMORY_KIND_H
#define KAVRO_MEMORY_MEMORY_KIND_H

#include "core/kinds.h"
#include "kavro/memory.h"

namespace kavro::detail {
extern const FileKind kMemoryKind;
}  // namespace kavro::detail

#endif  // KAVRO_MEMORY_MEMORY_KIND_H
