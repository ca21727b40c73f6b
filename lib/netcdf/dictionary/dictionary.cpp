// RDDICT3: one entry of a dictionary file, found by its name, into the description record.
// The entry names of the dictionary read last are kept here, by the kind, and read again only
// for another dictionary, or when the dictionary's entry count has changed since they were read.
//
// A dictionary is untrusted input like any header: every variable is checked for the type
// and rank of the layout before it is read, and the counts an entry gives are checked against
// the description record before anything is read by them.
#include <netcdf.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <type_traits>

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/state.h"
#include "kavro/desc.h"
#include "kavro/fixed_string.h"
#include "kavro/params.h"
#include "kavro/util.h"
#include "netcdf/dictionary/dictionary_format.h"
#include "netcdf/header_atts.h"
#include "netcdf/netcdf_routines.h"

namespace kavro {

namespace {

using detail::MsgBuf;
using detail::NumField;
using Line = MsgBuf<80>;
namespace dict = layout::dictionary;

// Text fields are read straight into the record's fixed-width fields.
static_assert(sizeof(Name16) == NAMLEN3 && std::is_trivially_copyable_v<Name16>);
static_assert(sizeof(Line80) == MXDLEN3 && std::is_trivially_copyable_v<Line80>);

// One request: the dictionary's slot and the entry (record) asked for, 0 while the names are
// read.
struct Request {
  int fid;
  int ncid;
  int entry;
  std::string_view lname() const { return state().c.FLNAME3(fid).padded(); }
};

// The block of a failed read; WHAT names the variable.
void read_failure(const Request& r, int status, std::string_view what) {
  detail::warning_block("RDDICT3", {detail::error_number_line(status),
                                    Line("Dictionary file:  ") << r.lname() << "; entry requested:"
                                                               << NumField(r.entry, 5),
                                    what});
}

// The block of an entry whose counts do not fit the description record.
void count_failure(const Request& r, std::string_view what, int value) {
  detail::warning_block("RDDICT3", {Line("Dictionary file:  ") << r.lname() << "; entry requested:"
                                                               << NumField(r.entry, 5),
                                    Line() << what << NumField(value, 10)});
}

// Reads the block START/COUNT of variable VARID in its own type into OUT. The variable must
// have TYPE and as many dimensions as START has entries, so netCDF never reads past START or
// COUNT; netCDF itself refuses a block past the dimensions' ends.
int get_block(int ncid, int varid, nc_type type, std::span<const std::size_t> start,
              std::span<const std::size_t> count, void* out) {
  nc_type got{};
  int ndims = 0;
  const int status = nc_inq_var(ncid, varid, nullptr, &got, &ndims, nullptr, nullptr);
  if (status != NC_NOERR) return status;
  if (got != type) return NC_EBADTYPE;
  if (static_cast<std::size_t>(ndims) != start.size()) return NC_EINVAL;
  return nc_get_vara(ncid, varid, start.data(), count.data(), out);
}

// The schema variable SCHEMA (found by name), RECORDS records from FIRST, each block INNER.
int get_schema_block(const Request& r, std::size_t schema, std::size_t first, std::size_t records,
                     std::span<const std::size_t> inner, void* out) {
  const dict::SchemaVar& v = dict::kSchema[schema];
  int varid = 0;
  const int status = nc_inq_varid(r.ncid, detail::NcName(v.name).c_str(), &varid);
  if (status != NC_NOERR) return status;
  std::array<std::size_t, 3> start{first, 0, 0};
  std::array<std::size_t, 3> count{records, 0, 0};
  const std::size_t rank = std::min(inner.size(), start.size() - 1) + 1;
  std::copy_n(inner.begin(), rank - 1, count.begin() + 1);
  return get_block(r.ncid, varid, v.type, std::span(start.data(), rank),
                   std::span(count.data(), rank), out);
}

// A fixed-width text field ends at a NUL (C writers store one): the rest becomes blank.
template <std::size_t N>
void end_at_nul(std::span<FixedString<N>> fields) {
  for (FixedString<N>& f : fields) {
    const std::size_t nul = f.padded().find('\0');
    if (nul != std::string_view::npos) f.assign(f.padded().substr(0, nul));
  }
}

// The entry names of the dictionary in slot FID (-1: none), in record order, COUNT of them.
struct NameTable {
  int fid = -1;
  int count = 0;
  std::array<Name16, MXVARS3> names;
};
NameTable& name_table() noexcept {
  static NameTable table;
  return table;
}

// The names of the dictionary's entries (at most 2048) into the name table.
bool read_names(const Request& r) {
  NameTable& t = name_table();
  const int count = std::clamp(state().b.MXREC3(r.fid), 0, dict::kMaxEntries);
  t.fid = -1;
  if (count > 0) {
    const std::array<std::size_t, 1> inner{NAMLEN3};
    const int status = get_schema_block(r, dict::kFnameVar, 0, static_cast<std::size_t>(count),
                                        inner, t.names.data());
    if (status != NC_NOERR) {
      read_failure(r, status, "Error reading netCDF dictionary variable FNAME.");
      return false;
    }
    end_at_nul(std::span(t.names.data(), static_cast<std::size_t>(count)));
  }
  t.fid = r.fid;
  t.count = count;
  return true;
}

// The entry's record flag; false without a message for a record that does
// not exist.
bool entry_valid(const Request& r) {
  const std::array<std::size_t, 1> start{static_cast<std::size_t>(r.entry - 1)};
  const std::array<std::size_t, 1> count{1};
  int flag = 0;
  const int status = get_block(r.ncid, state().b.TFLAGID3(r.fid), NC_INT, start, count, &flag);
  if (detail::step_not_yet_written(status)) return false;
  if (status != NC_NOERR) {
    detail::warning_block(
        "RDDICT3",
        {detail::error_number_line(status),
         Line("Dictionary entry requested:") << NumField(r.entry, 5),
         Line("Error reading netCDF file record flag in dictionary file ") << r.lname()});
    return false;
  }
  if (flag == OKFLAG3 || flag == r.entry) return true;
  detail::warning_block("RDDICT3", {Line("Dictionary entry requested:") << NumField(r.entry, 5),
                                    Line("Record not available in dictionary file ") << r.lname()});
  return false;
}

// One field of the entry: INNER values of the schema variable into OUT. A failure reports
// the variable as "Error reading netCDF dictionary variable NAME." unless WHAT says otherwise.
bool field(const Request& r, std::size_t schema, std::span<const std::size_t> inner, void* out,
           std::string_view what = {}) {
  const int status =
      get_schema_block(r, schema, static_cast<std::size_t>(r.entry - 1), 1, inner, out);
  if (status == NC_NOERR) return true;
  read_failure(r, status,
               what.empty() ? Line("Error reading netCDF dictionary variable ")
                                  << dict::kSchema[schema].read_name << "."
                            : Line(what));
  return false;
}

struct IntField {
  std::size_t schema;
  int Bdesc3::*field;
};

constexpr std::array<IntField, 9> kIntFields = {{
    {dict::kFtypeVar, &Bdesc3::FTYPE3D},
    {dict::kTstepVar, &Bdesc3::TSTEP3D},
    {dict::kNvarsVar, &Bdesc3::NVARS3D},
    {dict::kNlaysVar, &Bdesc3::NLAYS3D},
    {dict::kNrowsVar, &Bdesc3::NROWS3D},
    {dict::kNcolsVar, &Bdesc3::NCOLS3D},
    {dict::kNthikVar, &Bdesc3::NTHIK3D},
    {dict::kGdtypVar, &Bdesc3::GDTYP3D},
    {dict::kVgtypVar, &Bdesc3::VGTYP3D},
}};

struct RealField {
  std::size_t schema;
  double Bdesc3::*field;
};

constexpr std::array<RealField, 9> kRealFields = {{
    {dict::kPalpVar, &Bdesc3::P_ALP3D},
    {dict::kPbetVar, &Bdesc3::P_BET3D},
    {dict::kPgamVar, &Bdesc3::P_GAM3D},
    {dict::kXcentVar, &Bdesc3::XCENT3D},
    {dict::kYcentVar, &Bdesc3::YCENT3D},
    {dict::kXorigVar, &Bdesc3::XORIG3D},
    {dict::kYorigVar, &Bdesc3::YORIG3D},
    {dict::kXcellVar, &Bdesc3::XCELL3D},
    {dict::kYcellVar, &Bdesc3::YCELL3D},
}};

// The entry's fields, in schema order, into the description record; the first
// failure ends the read, with the fields read before it kept.
bool read_entry(const Request& r) {
  constexpr std::array<std::size_t, 0> kOne{};
  for (const IntField& f : kIntFields) {
    if (!field(r, f.schema, kOne, &(BDESC3.*f.field))) return false;
  }
  const int nvars = BDESC3.NVARS3D, nlays = BDESC3.NLAYS3D;
  if (nvars < 0 || nvars > MXVARS3) {
    count_failure(r, "Variable count outside 0 .. 2048:", nvars);
    return false;
  }
  if (nlays < 0 || nlays > MXLAYS3) {
    count_failure(r, "Layer count outside 0 .. 100:", nlays);
    return false;
  }
  const std::array<std::size_t, 1> levels{static_cast<std::size_t>(nlays) + 1};
  if (!field(r, dict::kVglvsVar, levels, BDESC3.VGLVS3D.data(),
             Line("Error reading variable VGLVS from file ") << r.lname())) {
    return false;
  }
  for (const RealField& f : kRealFields) {
    if (!field(r, f.schema, kOne, &(BDESC3.*f.field))) return false;
  }
  const std::array<std::size_t, 1> name{NAMLEN3};
  if (!field(r, dict::kGdnamVar, name, CDESC3.GDNAM3D.data())) return false;
  end_at_nul(std::span(&CDESC3.GDNAM3D, 1));
  const std::array<std::size_t, 2> lines{MXDESC3, MXDLEN3};
  if (!field(r, dict::kFdescVar, lines, CDESC3.FDESC3D.data())) return false;
  end_at_nul(std::span(CDESC3.FDESC3D.data(), CDESC3.FDESC3D.size()));
  const auto n = static_cast<std::size_t>(nvars);
  const std::array<std::size_t, 2> names{n, NAMLEN3};
  const std::array<std::size_t, 2> descs{n, MXDLEN3};
  const std::array<std::size_t, 1> types{n};
  if (!field(r, dict::kVnameVar, names, CDESC3.VNAME3D.data())) return false;
  end_at_nul(std::span(CDESC3.VNAME3D.data(), n));
  if (!field(r, dict::kVunitVar, names, CDESC3.UNITS3D.data())) return false;
  end_at_nul(std::span(CDESC3.UNITS3D.data(), n));
  if (!field(r, dict::kVdescVar, descs, CDESC3.VDESC3D.data())) return false;
  end_at_nul(std::span(CDESC3.VDESC3D.data(), n));
  return field(r, dict::kVtypeVar, types, BDESC3.VTYPE3D.data());
}

}  // namespace

bool RDDICT3(int fid, std::string_view vname) {
  const auto& b = state().b;
  // Only the dictionary file type holds entries (and only the netCDF kind makes or opens one;
  // any other slot's id is refused by the netCDF library itself, with its report).
  if (b.FTYPE3(fid) != DCTNRY3) return false;
  Request r{fid, b.NCID3(fid), 0};
  const NameTable& t = name_table();
  const bool names_current =
      t.fid == fid && t.count == std::clamp(b.MXREC3(fid), 0, dict::kMaxEntries);
  if (!names_current && !read_names(r)) return false;
  r.entry = INDEX1(vname, t.count, std::span<const Name16>(t.names));
  if (r.entry == 0) return false;  // no such entry: not an error
  return entry_valid(r) && read_entry(r);
}

void detail::forget_dictionary_names(int fid) noexcept {
  NameTable& t = name_table();
  if (t.fid != fid) return;
  t.fid = -1;
  t.count = 0;
}

int test_hooks::dictionary_names_slot() noexcept { return name_table().fid; }
std::span<Name16> test_hooks::dictionary_names() noexcept { return name_table().names; }

}  // namespace kavro
