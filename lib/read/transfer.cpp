// The transfers by file type and RDVARS. Every transfer is the same walk: build START, COUNT
// and SIZE from the shape of the type's data variables, let the slot's kind read the type's
// per-step header arrays (netCDF files) into the front of the buffer, and hand the variable to
// RDVARS at the word after them. The per-type facts come from the transfer plan only, which
// the size computation of the sized READ3 reads too, so the bytes promised and the bytes
// written cannot drift apart.
#include <cstddef>
#include <string_view>

#include "core/kinds.h"
#include "core/sizes.h"
#include "core/state.h"
#include "filetype/transfer_plan.h"
#include "kavro/params.h"
#include "read/read.h"

namespace kavro {
namespace {

using detail::kWordBytes;

// The walk every transfer routine shares.
bool transfer(int ftype, std::string_view caller, int fid, int vid, int layer, int step,
              void* buffer, bool* stored_order_left) {
  detail::Plan p;
  if (!detail::plan_for(ftype, fid, layer, step, p)) return false;
  p.stored_order_left = stored_order_left;
  auto* out = static_cast<std::byte*>(buffer);
  const detail::FileKind& kind = detail::kind_of(fid);
  if (kind.read_header_arrays != nullptr) {
    const std::int64_t words = kind.read_header_arrays(ftype, fid, step, caller, out);
    if (words < 0) return false;
    out += words * kWordBytes;
    // The header arrays are in the machine's order, so the values after them must be too.
    if (words > 0) p.stored_order_left = nullptr;
  }
  return RDVARS(fid, vid, p, out);
}

}  // namespace

bool RDGRDDED(int fid, int vid, int layer, int step, void* buffer, bool* stored_order_left) {
  return transfer(GRDDED3, "READ3/RDGRDDED", fid, vid, layer, step, buffer, stored_order_left);
}
bool RDBNDARY(int fid, int vid, int layer, int step, void* buffer, bool* stored_order_left) {
  return transfer(BNDARY3, "READ3/RDBNDARY", fid, vid, layer, step, buffer, stored_order_left);
}
bool RDIDDATA(int fid, int vid, int layer, int step, void* buffer, bool* stored_order_left) {
  return transfer(IDDATA3, "READ3/RDIDDATA", fid, vid, layer, step, buffer, stored_order_left);
}
bool RDPROFIL(int fid, int vid, int layer, int step, void* buffer, bool* stored_order_left) {
  return transfer(PROFIL3, "READ3/RDPROFILE", fid, vid, layer, step, buffer, stored_order_left);
}
bool RDGRNEST(int fid, int vid, int layer, int step, void* buffer, bool* stored_order_left) {
  return transfer(GRNEST3, "READ3/RDGRNEST", fid, vid, layer, step, buffer, stored_order_left);
}
bool RDSMATRX(int fid, int vid, int step, void* buffer, bool* stored_order_left) {
  return transfer(SMATRX3, "READ3/RDSMATRX", fid, vid, 1, step, buffer, stored_order_left);
}
bool RDCUSTOM(int fid, int vid, int layer, int step, void* buffer, bool* stored_order_left) {
  return transfer(CUSTOM3, "READ3/RDCUSTOM", fid, vid, layer, step, buffer, stored_order_left);
}

bool RDVARS(int fid, int vid, const VarRead& read, void* buffer) {
  return detail::kind_of(fid).read_vars(fid, vid, read, static_cast<std::byte*>(buffer));
}

namespace detail {

std::int64_t read3_size_bytes(int fid, int vid, int layer) noexcept {
  // A dictionary entry goes to the description record.
  if (state().b.FTYPE3(fid) == DCTNRY3) return 0;
  return kind_of(fid).read_bytes(fid, vid, layer);
}

bool read3_values_start(int fid, int vid, int layer, std::size_t total, std::size_t want,
                        std::size_t& offset) noexcept {
  const FileKind& kind = kind_of(fid);
  offset = kind.values_offset != nullptr
               ? static_cast<std::size_t>(kind.values_offset(fid, vid, layer))
               : total - want;
  return offset <= total && total - offset >= want;
}

}  // namespace detail
}  // namespace kavro
