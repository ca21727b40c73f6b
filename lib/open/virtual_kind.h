// The virtual kind: a logical name whose value is "VIRTUAL" followed by a blank. This library
// version does not implement virtual files: OPEN3 refuses them.
#ifndef KAVRO_OPEN_VIRTUAL_KIND_H
#define KAVRO_OPEN_VIRTUAL_KIND_H

#include "core/kinds.h"

namespace kavro::detail {
extern const FileKind kVirtualKind;
}  // namespace kavro::detail

#endif  // KAVRO_OPEN_VIRTUAL_KIND_H
