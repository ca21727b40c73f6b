// The C++ interface over the routines. Every operation is one routine call (OPEN3, DESC3,
// READ3, WRITE3, CLOSE3) between clearing the library's noted reason and, on a false result,
// turning the reason the routine logged into an Error. The description record is the
// routines' exchange record: it is filled or read here and never shown to the caller.
#include "kavro/file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <utility>

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/sizes.h"
#include "core/slot_facts.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/open.h"
#include "kavro/read.h"
#include "kavro/settings.h"
#include "kavro/util.h"
#include "kavro/write.h"
#include "read/read.h"
#include "util/nameval.h"

namespace kavro {
namespace {

// The program name the opens are reported under.
constexpr std::string_view kProgram = "kavro::File";
// Logical names the interface gives paths: the prefix and a number (at most 16 characters).
constexpr std::string_view kPathNamePrefix = "KAVROFILE";

// Whether LNAME is a name of the interface's own making, which means nothing to the caller.
bool made_name(std::string_view lname) {
  if (!lname.starts_with(kPathNamePrefix)) return false;
  const std::string_view digits = lname.substr(kPathNamePrefix.size());
  return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
}

// The reason and the failure of a file the routine noted as it logged them.
[[noreturn]] void fail(std::string_view routine) {
  const detail::NotedReason r = detail::noted_reason();
  std::string who(r.routine);
  std::string why(r.text);
  if (why.empty()) why = std::string(r.line);
  if (who.empty()) who = std::string(routine);
  if (why.empty()) why = "failed (see the log)";
  const FileFailure f = last_file_failure();
  if (!f.noted) throw Error(std::move(who), std::move(why));
  throw Error(std::string(f.routine), std::move(why),
              made_name(f.lname) ? std::string() : std::string(f.lname), std::string(f.path),
              std::string(f.cause));
}

[[noreturn]] void refuse(std::string_view routine, std::string reason) {
  throw Error(std::string(routine), std::move(reason));
}

std::size_t value_bytes(int vtype) noexcept {
  return static_cast<std::size_t>(detail::words_per_value(vtype) * detail::kWordBytes);
}

std::string_view type_word(int vtype) noexcept {
  switch (vtype) {
    case XQINT:
      return "INTEGER";
    case XQREAL:
      return "REAL";
    case XQDBLE:
      return "DOUBLE";
    default:
      return "of another type";
  }
}

// A variable is read and written in its own type only.
void check_type(std::string_view routine, int fid, int vid, std::string_view var, ValueType type) {
  const int vtype = detail::variable_type(fid, vid);
  if (vtype == static_cast<int>(type)) return;
  refuse(routine, "Variable \"" + std::string(trimmed(var)) + "\" is " +
                      std::string(type_word(vtype)) + ", not " +
                      std::string(type_word(static_cast<int>(type))));
}

// The slot of a logical name the object holds.
int slot_of(const std::string& name) {
  const int fid = NAME2FID(name);
  if (fid <= 0) refuse("File", "File \"" + name + "\" is not open");
  return fid;
}

// The variable's index in the slot; 0 when it has none (READ3 reports that).
int variable_index(int fid, std::string_view var) {
  if (padded_equal(var, "ALL")) return ALLVAR3;
  return detail::variable_index(fid, var);
}

// A logical name the library holds no file under and the environment does not define (a
// name of the interface's own making).
std::string own_name() {
  for (int n = 1;; ++n) {
    detail::MsgBuf<32> name(kPathNamePrefix);
    name.format("%03d", n);
    const std::string s(name.view());
    if (NAME2FID(s) == 0) return s;
  }
}

// A logical name for PATH: a name of the interface's own making that the environment maps to
// it.
std::string name_for_path(std::string_view path) {
  detail::ensure_initialised();
  const std::string name = own_name();
  if (!SETENVVAR(name, path))
    refuse("SETENVVAR", "Could not set " + name + " for " + std::string(path));
  return name;
}

bool is_logical_name(std::string_view s) {
  if (s.empty() || s.size() > static_cast<std::size_t>(NAMLEN3)) return false;
  return detail::name_is_set(s);
}

// The step that record REC of a file with a negative time step holds now: the one every
// variable's flag pair names, when that step is on the file's time axis and REC is its turn.
std::optional<Step> record_step(int fid, int rec) {
  const int nvars = std::clamp(detail::variable_count(fid), 1, MXVARS3);
  std::array<int, 2 * MXVARS3> flags;
  detail::MsgBuf<256> why;
  if (!detail::record_flags(fid, nvars, rec, flags, why)) {
    refuse("File::steps", std::string(trimmed(why.view())));
  }
  const Step s{flags[0], flags[1]};
  for (std::size_t v = 1; v < static_cast<std::size_t>(nvars); ++v) {
    if (flags[2 * v] != s.date || flags[2 * v + 1] != s.time) return std::nullopt;
  }
  int step = 0;
  std::array<int, 2> pair{};
  if (!detail::record_of(fid, s.date, s.time, step, pair) || step != rec) return std::nullopt;
  return s;
}

// The steps held by the first RECORDS (at most 2) records, which a negative time step reuses
// in turn, first to last.
std::vector<Step> held_steps(int fid, int records) {
  std::vector<Step> out;
  for (int rec = 1; rec <= records; ++rec) {
    if (const std::optional<Step> s = record_step(fid, rec)) out.push_back(*s);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// ---- The description record and the Description value -------------------------------------

template <std::size_t N>
void put_text(FixedString<N>& field, std::string_view text, std::string_view what) {
  if (text.size() > N) {
    refuse("File::create", std::string(what) + " \"" + std::string(text) + "\" is longer than " +
                               std::to_string(N) + " characters");
  }
  field.assign(text);
}

void fill_record(const Description& d) {
  if (d.variables.size() > static_cast<std::size_t>(MXVARS3)) {
    refuse("File::create", "More than " + std::to_string(MXVARS3) + " variables");
  }
  if (d.lines.size() > static_cast<std::size_t>(MXDESC3)) {
    refuse("File::create", "More than " + std::to_string(MXDESC3) + " description lines");
  }
  if (d.vertical.levels.size() > static_cast<std::size_t>(MXLEVS3)) {
    refuse("File::create", "More than " + std::to_string(MXLEVS3) + " levels");
  }
  BDESC3 = Bdesc3{};
  CDESC3 = Cdesc3{};
  Bdesc3& b = BDESC3;
  Cdesc3& c = CDESC3;
  b.FTYPE3D = d.file_type;
  b.SDATE3D = d.time.start.date;
  b.STIME3D = d.time.start.time;
  b.TSTEP3D = d.time.step;
  b.NCOLS3D = d.grid.ncols;
  b.NROWS3D = d.grid.nrows;
  b.NLAYS3D = d.vertical.layers;
  b.NTHIK3D = d.grid.nthik;
  b.XORIG3D = d.grid.xorig;
  b.YORIG3D = d.grid.yorig;
  b.XCELL3D = d.grid.xcell;
  b.YCELL3D = d.grid.ycell;
  b.GDTYP3D = d.projection.type;
  b.P_ALP3D = d.projection.alpha;
  b.P_BET3D = d.projection.beta;
  b.P_GAM3D = d.projection.gamma;
  b.XCENT3D = d.projection.xcent;
  b.YCENT3D = d.projection.ycent;
  b.VGTYP3D = d.vertical.type;
  b.VGTOP3D = d.vertical.top;
  std::copy(d.vertical.levels.begin(), d.vertical.levels.end(), b.VGLVS3D.begin());
  b.NVARS3D = static_cast<int>(d.variables.size());
  put_text(c.GDNAM3D, d.grid.name, "Grid name");
  c.UPNAM3D.assign(kProgram);
  for (std::size_t i = 0; i < d.lines.size(); ++i) {
    put_text(c.FDESC3D[i], d.lines[i], "Description line");
  }
  for (std::size_t v = 0; v < d.variables.size(); ++v) {
    const Variable& var = d.variables[v];
    put_text(c.VNAME3D[v], var.name, "Variable name");
    put_text(c.UNITS3D[v], var.units, "Units");
    put_text(c.VDESC3D[v], var.description, "Variable description");
    b.VTYPE3D[v] = static_cast<int>(var.type);
    BATTS3.NATTS3[v] = 0;
  }
}

Description from_record(int fid) {
  const Bdesc3& b = BDESC3;
  const Cdesc3& c = CDESC3;
  Description d;
  d.file_type = b.FTYPE3D;
  d.grid = {std::string(c.GDNAM3D.trimmed()),
            b.NCOLS3D,
            b.NROWS3D,
            b.NTHIK3D,
            b.XORIG3D,
            b.YORIG3D,
            b.XCELL3D,
            b.YCELL3D};
  d.projection = {b.GDTYP3D, b.P_ALP3D, b.P_BET3D, b.P_GAM3D, b.XCENT3D, b.YCENT3D};
  d.time = {{b.SDATE3D, b.STIME3D}, b.TSTEP3D, detail::slot_shape(fid).records};
  d.vertical.layers = b.NLAYS3D;
  d.vertical.type = b.VGTYP3D;
  d.vertical.top = b.VGTOP3D;
  const int nlevels = std::clamp(b.NLAYS3D + 1, 0, MXLEVS3);
  d.vertical.levels.assign(b.VGLVS3D.begin(), b.VGLVS3D.begin() + nlevels);
  const int nvars = std::clamp(b.NVARS3D, 0, MXVARS3);
  for (int v = 0; v < nvars; ++v) {
    const auto i = static_cast<std::size_t>(v);
    d.variables.push_back({std::string(c.VNAME3D[i].trimmed()), std::string(c.UNITS3D[i].trimmed()),
                           std::string(c.VDESC3D[i].trimmed()), ValueType{b.VTYPE3D[i]}});
  }
  // Trailing blank lines are the record's padding, not the file's description.
  std::size_t nlines = c.FDESC3D.size();
  while (nlines > 0 && c.FDESC3D[nlines - 1].trimmed().empty()) --nlines;
  for (std::size_t i = 0; i < nlines; ++i) d.lines.emplace_back(c.FDESC3D[i].trimmed());
  return d;
}

}  // namespace

Error::Error(std::string routine, std::string reason)
    : std::runtime_error(routine + ": " + reason),
      routine_(std::move(routine)),
      reason_(std::move(reason)) {}

Error::Error(std::string routine, std::string reason, std::string lname, std::string path,
             std::string cause)
    : std::runtime_error(routine + ": " + (lname.empty() ? path : lname + " (" + path + ")") +
                         ": " + cause),
      routine_(std::move(routine)),
      reason_(std::move(reason)),
      lname_(std::move(lname)),
      path_(std::move(path)),
      cause_(std::move(cause)) {}

Step Step::next(int tstep) const noexcept {
  Step s = *this;
  return s.advance(tstep);
}

Step& Step::advance(int tstep) noexcept {
  NEXTIME(date, time, tstep);
  return *this;
}

File File::open(std::string_view logical_name, Mode mode) {
  detail::ensure_initialised();
  const std::string name(trimmed(logical_name));
  // A second object owning the same slot would close it under the first.
  if (NAME2FID(name) > 0) refuse("File::open", "File \"" + name + "\" is already open");
  detail::clear_reason();
  if (!OPEN3(name, static_cast<int>(mode), kProgram)) fail("OPEN3");
  return File(name);
}

File File::open_path(std::string_view path, Mode mode) { return open(name_for_path(path), mode); }

File File::create(std::string_view name_or_path, const Description& desc, Mode mode) {
  if (mode != Mode::create_new && mode != Mode::unknown && mode != Mode::create_replace) {
    refuse("File::create", "The mode must create a file (create_new, unknown, create_replace)");
  }
  fill_record(desc);
  if (is_logical_name(name_or_path)) return open(name_or_path, mode);
  return open_path(name_or_path, mode);
}

File::File(File&& other) noexcept : name_(std::exchange(other.name_, std::string())) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (is_open()) (void)CLOSE3(name_);
    name_ = std::exchange(other.name_, std::string());
  }
  return *this;
}

File::~File() {
  // A failure is in the log; a destructor has no one to tell.
  if (is_open()) (void)CLOSE3(name_);
}

void File::close() {
  if (!is_open()) return;
  const std::string name = std::exchange(name_, std::string());
  detail::clear_reason();
  if (!CLOSE3(name)) fail("CLOSE3");
}

Description File::description() const {
  const int fid = slot_of(name_);
  detail::clear_reason();
  if (!DESC3(name_)) fail("DESC3");
  return from_record(fid);
}

std::vector<Step> File::steps() const {
  const int fid = slot_of(name_);
  const detail::SlotTime time = detail::slot_time(fid);
  Step s{time.sdate, time.stime};
  const int tstep = time.tstep;
  if (tstep == 0) return {s};
  const int n = std::max(detail::slot_shape(fid).records, 0);
  if (tstep < 0 && detail::keeps_step_flags(fid)) {
    // As READ3 does: the flags of a volatile file as its writer left them on disk.
    detail::clear_reason();
    if (detail::slot_volatile(fid) && !SYNCFID(fid)) fail("SYNCFID");
    return held_steps(fid, std::min(n, 2));
  }
  std::vector<Step> out;
  out.reserve(static_cast<std::size_t>(n));
  for (int r = 0; r < n; ++r, s.advance(detail::magnitude(tstep))) out.push_back(s);
  return out;
}

std::size_t File::value_count(std::string_view var, int layer) const {
  const int fid = slot_of(name_);
  const int vid = variable_index(fid, var);
  if (vid <= 0) return 0;
  const detail::SlotShape shape = detail::slot_shape(fid);
  const std::int64_t n =
      layer == ALLAYS3 ? detail::sat_mul(shape.layer_values, shape.layers) : shape.layer_values;
  return static_cast<std::size_t>(n);
}

void File::read_into(std::string_view var, int layer, Step step, ValueType type,
                     std::span<std::byte> out) const {
  const int fid = slot_of(name_);
  const int vid = variable_index(fid, var);
  if (vid == ALLVAR3) refuse("File::read", "Read one variable at a time, not \"ALL\"");
  detail::clear_reason();
  if (vid == 0 || (layer != ALLAYS3 && (layer < 1 || layer > detail::slot_shape(fid).layers))) {
    // READ3 refuses the request with its own report.
    (void)READ3(name_, var, layer, step.date, step.time, out.data(), out.size());
    fail("READ3");
  }
  const int vtype = detail::variable_type(fid, vid);
  check_type("File::read", fid, vid, var, type);
  const std::size_t want = value_count(var, layer) * value_bytes(vtype);
  if (out.size() < want) {
    refuse("File::read", "Buffer of " + std::to_string(out.size()) + " bytes for " +
                             std::to_string(want) + " bytes of variable \"" +
                             std::string(trimmed(var)) + "\"");
  }
  const auto total = static_cast<std::size_t>(detail::read3_size_bytes(fid, vid, layer));
  if (total == want) {
    if (!READ3(name_, var, layer, step.date, step.time, out.data(), want)) fail("READ3");
    return;
  }
  // The type's per-step arrays come first (netCDF), or the record comes whole (native binary):
  // read it all and keep the variable's part, where the slot's kind says it is.
  std::vector<std::byte> scratch(total);
  if (!READ3(name_, var, layer, step.date, step.time, scratch.data(), total)) fail("READ3");
  std::size_t offset = 0;
  if (!detail::read3_values_start(fid, vid, layer, total, want, offset)) {
    refuse("File::read", "The values of variable \"" + std::string(trimmed(var)) +
                             "\" are not where the file's kind says they are");
  }
  std::memcpy(out.data(), scratch.data() + offset, want);
}

void File::write_from(std::string_view var, Step step, ValueType type,
                      std::span<const std::byte> values) {
  const int fid = slot_of(name_);
  const int vid = variable_index(fid, var);
  if (vid == ALLVAR3) refuse("File::write", "Write one variable at a time, or use write_raw");
  if (vid > 0) check_type("File::write", fid, vid, var, type);
  write_raw(var, step, values);
}

void File::write_raw(std::string_view var, Step step, std::span<const std::byte> buffer) {
  (void)slot_of(name_);
  detail::clear_reason();
  if (!WRITE3(name_, var, step.date, step.time, buffer.data(), buffer.size())) fail("WRITE3");
}

}  // namespace kavro
