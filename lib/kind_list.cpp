// The file kinds of this build, listed once. This is the one file that knows every kind; each
// kind brings its row from its own folder.
#include "binary/binary_kind.h"
#include "core/kinds.h"
#include "list/file_list.h"
#include "memory/memory_kind.h"
#include "netcdf/netcdf_kind.h"
#include "open/virtual_kind.h"

namespace kavro::detail {

namespace {

// The order in which the value forms are tried; the plain path, which any value is, last.
constexpr const FileKind* kKinds[] = {&kMemoryKind, &kVirtualKind, &kBinaryKind, &kListKind,
                                      &kNetcdfKind};

}  // namespace

void list_kinds() noexcept { install_kinds(kKinds); }

}  // namespace kavro::detail
