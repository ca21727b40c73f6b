// The file kinds of this build, listed once. This is the one file that knows every kind: the
// netCDF kind's row is put together here from its opening side (open/) and its reading side
// (read/); the other kinds bring their rows from their own folders.
#include "binary/binary_kind.h"
#include "core/kinds.h"
#include "kavro/params.h"
#include "memory/memory_kind.h"
#include "open/file_list.h"
#include "open/netcdf_kind.h"
#include "open/virtual_kind.h"
#include "read/netcdf_read.h"

namespace kavro::detail {

namespace {

const FileKind kNetcdfKind = {
    .code = 0,
    .on_disk = true,
    .open = open_netcdf,
    .create = create_netcdf,
    .describe = describe_netcdf,
    .flush = flush_netcdf,
    .sync = sync_netcdf,
    .read_flags = read_netcdf_flags,
    .header_arrays = true,
    .read_vars = read_netcdf_vars,
    .write_step = write_netcdf_step,
    .read_bytes = netcdf_read_bytes,
    .close = close_netcdf_file,
    .close_name = "netCDF",
    .close_reports_status = true,
    .release = release_netcdf,
    .report = report_netcdf,
    .execution_id = netcdf_execution_id,
};

// The order in which the value forms are tried; the plain path, which any value is, last.
constexpr const FileKind* kKinds[] = {&kMemoryKind, &kVirtualKind, &kBinaryKind, &kListKind,
                                      &kNetcdfKind};

}  // namespace

void list_kinds() noexcept { install_kinds(kKinds); }

}  // namespace kavro::detail
