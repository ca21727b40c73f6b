// The memory-resident kind: a logical name whose value is "BUFFERED" names a file held in
// memory, two time steps per variable. This build does not create such files yet: the
// creation and the read warn that memory-resident files are not supported.
#ifndef KAVRO_MEMORY_MEMORY_KIND_H
#define KAVRO_MEMORY_MEMORY_KIND_H

#include "core/kinds.h"

namespace kavro {

// Creates the memory-resident file of slot FID from the description record.
bool CRTBUF3(int fid);

// READ3 of a memory-resident file.
bool RDBUF3(int fid, int vid, int layer, int jdate, int jtime, void* buffer);

namespace detail {
extern const FileKind kMemoryKind;
}  // namespace detail

}  // namespace kavro

#endif  // KAVRO_MEMORY_MEMORY_KIND_H
