// READ3: validates the request against the file's slot, hands dictionaries and the kinds that
// read by date and time (memory-resident files) to their kind's own readers, proves the date and
// time through RDTFLAG and lets the transfer routine of the file type fill the caller's buffer.
#include <cstdint>

#include "core/kinds.h"
#include "core/log.h"
#include "core/msgbuf.h"
#include "core/sizes.h"
#include "core/slot_facts.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "kavro/core.h"
#include "kavro/params.h"
#include "kavro/read.h"
#include "kavro/util.h"
#include "read/read.h"

namespace kavro {
namespace {

using detail::MsgBuf;
using detail::right_justified;

constexpr std::size_t kMaxVarName = NAMLEN3;
constexpr int kNamesPerLine = 3;

using Transfer = bool (*)(int fid, int vid, int layer, int step, void* buffer,
                          bool* stored_order_left);

// The transfer routine of each file type (types 1, 7 and 8 are read by the gridded one); null
// for a type without one.
Transfer transfer_for(int ftype) noexcept {
  const layout::TypeLayout* t = layout::type_layout(ftype);
  switch (t != nullptr ? t->transfer : 0) {
    case GRDDED3:
      return RDGRDDED;
    case BNDARY3:
      return RDBNDARY;
    case IDDATA3:
      return RDIDDATA;
    case PROFIL3:
      return RDPROFIL;
    case GRNEST3:
      return RDGRNEST;
    case SMATRX3:
      return [](int fid, int vid, int, int step, void* buffer, bool* stored_order_left) {
        return RDSMATRX(fid, vid, step, buffer, stored_order_left);
      };
    case CUSTOM3:
      return RDCUSTOM;
    default:
      return nullptr;
  }
}

bool read3(std::string_view fname, std::string_view vname, int layer, int jdate, int jtime,
           void* buffer, const std::size_t* nbytes, bool* stored_order_left = nullptr) {
  const Bstate3& b = state().b;

  int fid = detail::named_slot("READ3", fname, vname, jdate, jtime);
  if (fid <= 0) return false;

  const detail::FileKind& kind = detail::kind_of(fid);
  if (b.FTYPE3(fid) == DCTNRY3) {
    if (kind.read_entry != nullptr) return kind.read_entry(fid, vname);
    detail::report_unknown_type("READ3", fid, fname, jdate, jtime);
    return false;
  }

  int vid = ALLVAR3;
  if (!padded_equal(vname, "ALL")) {
    vid = detail::variable_index(fid, vname);
    if (vid == 0) {
      detail::report_missing_variable("READ3", fid, fname, vname, jdate, jtime);
      return false;
    }
  }

  if (layer != ALLAYS3 && (layer < 1 || layer > b.NLAYS3(fid))) {
    XQMSG2(MsgBuf<80>("Requested layer:") << right_justified(layer, 5));
    XQMSG2(MsgBuf<80>("Layers in the file:  1 ...") << right_justified(b.NLAYS3(fid), 5));
    XQWARN("READ3", jdate, jtime, MsgBuf<256>("LAYER not available in file ") << fname);
    detail::note_file_failure("READ3", fid,
                              MsgBuf<80>().format("layer %d is not in this file", layer));
    return false;
  }

  // A kind that holds its steps by date and time (memory-resident) reads them itself.
  if (kind.read_dated != nullptr) {
    if (!detail::fits("READ3", fid, vid, layer, nbytes, fname, vname, jdate, jtime)) return false;
    return kind.read_dated(fid, vid, layer, jdate, jtime, buffer);
  }

  int step = 0;
  if (!RDTFLAG(fid, vid, jdate, jtime, step, true)) return false;

  const Transfer transfer = transfer_for(b.FTYPE3(fid));
  if (transfer == nullptr) {
    detail::report_unknown_type("READ3", fid, fname, jdate, jtime);
    return false;
  }
  if (!detail::fits("READ3", fid, vid, layer, nbytes, fname, vname, jdate, jtime)) return false;
  return transfer(fid, vid, layer, step, buffer, vid >= 1 ? stored_order_left : nullptr);
}

}  // namespace

namespace detail {

int named_slot(std::string_view caller, std::string_view fname, std::string_view vname, int jdate,
               int jtime) {
  const int fid = NAME2FID(fname);
  const std::size_t vlen = trimmed(vname).size();
  if (vlen > kMaxVarName) {
    XQMSG2(MsgBuf<80>("Max vble name length 16; actual:")
           << right_justified(static_cast<long long>(vlen), 10));
  }
  if (vlen > kMaxVarName || fid <= 0) {
    XQMSG2(MsgBuf<256>("File \"") << fname << "\" Variable \"" << vname << '"');
    XQWARN(caller, jdate, jtime, "Invalid variable or file name arguments");
    return 0;
  }
  return fid;
}

void report_missing_variable(std::string_view caller, int fid, std::string_view fname,
                             std::string_view vname, int jdate, int jtime) {
  XQMSG2(MsgBuf<256>("File ") << trimmed(fname) << " contains vbles");
  // The file's variables, three names to a line.
  const int nvars = described_vars(fid);
  for (int v = 1; v <= nvars; v += kNamesPerLine) {
    MsgBuf<80> line;
    for (int k = v; k < v + kNamesPerLine && k <= nvars; ++k) {
      if (k > v) line << "    ";
      line << '"' << state().c.VLIST3D(k, fid).padded() << '"';
    }
    XQMSG2(line);
  }
  XQWARN(caller, jdate, jtime,
         MsgBuf<256>("Requested variable \"") << trimmed(vname) << "\" not available");
  note_file_failure(caller, fid,
                    MsgBuf<80>("variable \"") << trimmed(vname) << "\" is not in this file");
}

void report_unknown_type(std::string_view caller, int fid, std::string_view fname, int jdate,
                         int jtime) {
  XQWARN(caller, jdate, jtime,
         MsgBuf<256>("File:  ") << trimmed(fname) << " of unknown type:"
                                << right_justified(state().b.FTYPE3(fid), 5));
}

bool fits(std::string_view caller, int fid, int vid, int layer, const std::size_t* nbytes,
          std::string_view fname, std::string_view vname, int jdate, int jtime) {
  if (nbytes == nullptr) return true;
  const std::int64_t need = read3_size_bytes(fid, vid, layer);
  if (static_cast<std::uint64_t>(need) <= *nbytes) return true;
  MsgBuf<256> msg("Buffer too small for variable ");
  msg << trimmed(vname) << " of file " << trimmed(fname);
  msg.format(": %lld bytes needed, %zu given", static_cast<long long>(need), *nbytes);
  XQWARN(caller, jdate, jtime, msg);
  return false;
}

}  // namespace detail

bool READ3(std::string_view fname, std::string_view vname, int layer, int jdate, int jtime,
           void* buffer) {
  return read3(fname, vname, layer, jdate, jtime, buffer, nullptr);
}

bool READ3(std::string_view fname, std::string_view vname, int layer, int jdate, int jtime,
           void* buffer, std::size_t nbytes) {
  return read3(fname, vname, layer, jdate, jtime, buffer, &nbytes);
}

bool READ3(std::string_view fname, std::string_view vname, int layer, int jdate, int jtime,
           void* buffer, std::size_t nbytes, ValueOrder& order) {
  bool left = false;
  const bool ok = read3(fname, vname, layer, jdate, jtime, buffer, &nbytes, &left);
  order = left ? ValueOrder::reversed : ValueOrder::native;
  return ok;
}

}  // namespace kavro
