// The netCDF kind's row, and its lines of the open report.
#include "netcdf/netcdf_kind.h"

#include <netcdf.h>

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "netcdf/header_atts.h"
#include "netcdf/netcdf_ops.h"
#include "netcdf/netcdf_routines.h"

namespace kavro::detail {

void report_netcdf(int fid, std::string_view access) {
  put_log_line_untrimmed(MsgBuf<80>() << "NetCDF ID: " << NumField(state().b.NCID3(fid), 9)
                                      << "  opened as " << access);
}

int netcdf_execution_id(int fid, Line80& execid, bool& first_nul) {
  return get_text_att(state().b.NCID3(fid), NC_GLOBAL, layout::kExecIdAtt, execid.span(), nullptr,
                      &first_nul);
}

namespace {
// What the kind holds for a slot: the header and descriptor kept for the direct data path, and
// a dictionary's entry names.
void release(int fid) {
  release_netcdf(fid);
  forget_dictionary_names(fid);
}
}  // namespace

const FileKind kNetcdfKind = {
    .code = kNetcdfCode,
    .on_disk = true,
    .open = open_netcdf,
    .create = create_netcdf,
    .describe = describe_netcdf,
    .flush = flush_netcdf,
    .sync = sync_netcdf,
    .read_flags = read_netcdf_flags,
    .read_entry = RDDICT3,
    .read_header_arrays = read_netcdf_header_arrays,
    .read_vars = read_netcdf_vars,
    .write_step = write_netcdf_step,
    .read_bytes = netcdf_read_bytes,
    .close = close_netcdf,
    .close_name = "netCDF",
    .close_reports_status = true,
    .release = release,
    .checks_vertical = true,
    .report = report_netcdf,
    .execution_id = netcdf_execution_id,
};

}  // namespace kavro::detail
