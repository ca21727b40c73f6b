#include "netcdf/classic/open_existing.h"

#include <netcdf.h>

#include "core/syscalls.h"

namespace kavro::detail {

Entry open_existing(const char* path, const EntryRequest& request, EntryResult& got) noexcept {
  got.reader = first_reader(path, got.why);
  if (got.reader == FirstReader::kFailed) return Entry::kRefused;
  if (got.reader == FirstReader::kHeaderCheck) {
    if (!classic::parse_classic_header(path, got.header, got.why,
                                       request.keep_fd ? &got.fd : nullptr, request.attributes)) {
      return Entry::kRefused;
    }
    if (!request.open_classic) return Entry::kChecked;
  }
  got.status = nc_open(path, request.mode, &got.ncid);
  if (got.status == NC_NOERR) return Entry::kOpened;
  got.ncid = -1;
  if (got.fd >= 0) {
    (void)sys::close(got.fd);  // opened read-only: nothing to lose
    got.fd = -1;
  }
  return Entry::kOpenFailed;
}

}  // namespace kavro::detail
