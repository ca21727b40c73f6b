// What a gridded netCDF file lacks of the layout, all at once and under the names the file
// should carry: the opener stops at the first gap and reports it in its own words; a person
// writing a file needs the whole list. Absent or of the wrong type count the same.
//
// The file comes through the one way in (netcdf/classic/open_existing.h): a classic file is
// surveyed from the header check's parse and never reaches the netCDF library; one the check
// refuses has nothing surveyed (its cause is the check's). Only a file of another format (netCDF-4)
// is opened with the netCDF library and asked there.
#include "kavro/file_gaps.h"

#include <netcdf.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/syscalls.h"
#include "filetype/file_type_model.h"
#include "kavro/fixed_string.h"
#include "kavro/params.h"
#include "netcdf/classic/open_existing.h"
#include "netcdf/header_atts.h"
#include "netcdf/header_mistakes.h"

namespace kavro {
namespace {

enum class AttKind { kInteger, kFloat, kDouble, kText };

struct GlobalAtt {
  std::string_view name;
  AttKind kind;
};

// The global attributes the opener and DESC3 read, in the layout's order.
constexpr std::array<GlobalAtt, 31> kGlobals = {{
    {layout::kExecIdAtt, AttKind::kText},   {layout::kCdateAtt, AttKind::kInteger},
    {layout::kCtimeAtt, AttKind::kInteger}, {layout::kWdateAtt, AttKind::kInteger},
    {layout::kWtimeAtt, AttKind::kInteger}, {layout::kFtypeAtt, AttKind::kInteger},
    {layout::kSdateAtt, AttKind::kInteger}, {layout::kStimeAtt, AttKind::kInteger},
    {layout::kTstepAtt, AttKind::kInteger}, {layout::kNthikAtt, AttKind::kInteger},
    {layout::kNcolsAtt, AttKind::kInteger}, {layout::kNrowsAtt, AttKind::kInteger},
    {layout::kNlaysAtt, AttKind::kInteger}, {layout::kNvarsAtt, AttKind::kInteger},
    {layout::kGdtypAtt, AttKind::kInteger}, {layout::kPalpAtt, AttKind::kDouble},
    {layout::kPbetAtt, AttKind::kDouble},   {layout::kPgamAtt, AttKind::kDouble},
    {layout::kXcentAtt, AttKind::kDouble},  {layout::kYcentAtt, AttKind::kDouble},
    {layout::kXorigAtt, AttKind::kDouble},  {layout::kYorigAtt, AttKind::kDouble},
    {layout::kXcellAtt, AttKind::kDouble},  {layout::kYcellAtt, AttKind::kDouble},
    {layout::kVgtypAtt, AttKind::kInteger}, {layout::kVgtopAtt, AttKind::kFloat},
    {layout::kVglvlsAtt, AttKind::kFloat},  {layout::kGdnamAtt, AttKind::kText},
    {layout::kUpnamAtt, AttKind::kText},    {layout::kFiledescAtt, AttKind::kText},
    {layout::kHistoryAtt, AttKind::kText},
}};

constexpr std::string_view kind_name(AttKind kind) noexcept {
  switch (kind) {
    case AttKind::kInteger:
      return "int";
    case AttKind::kFloat:
      return "float";
    case AttKind::kDouble:
      return "double";
    case AttKind::kText:
      break;
  }
  return "text";
}

// The integer types of netCDF: the classic codes 1 and 3 to 4, the CDF-5 codes 7 to 11.
bool integer_type(int type) noexcept {
  return type == NC_BYTE || type == NC_SHORT || type == NC_INT || type == NC_INT64 ||
         type == NC_UBYTE || type == NC_USHORT || type == NC_UINT || type == NC_UINT64;
}

bool has_kind(int type, AttKind kind) noexcept {
  switch (kind) {
    case AttKind::kInteger:
      return integer_type(type);
    case AttKind::kFloat:
      return type == NC_FLOAT;
    case AttKind::kDouble:
      return type == NC_DOUBLE;
    case AttKind::kText:
      return type == NC_CHAR;
  }
  return false;
}

// The attributes a data variable must carry.
constexpr std::array<std::string_view, 3> kVariableAtts = {layout::kLongNameAtt, layout::kUnitsAtt,
                                                           layout::kVarDescAtt};

// What the survey asks of a file, whichever reader answers.
class Holdings {
 public:
  // Whether the file holds no dimension, variable or global attribute at all.
  virtual bool empty() const = 0;
  virtual bool has_dimension(std::string_view name) const = 0;
  // The variable's index, or -1 when the file has no variable of that name.
  virtual int variable(std::string_view name) const = 0;
  // Whether the attribute (of variable VAR, or global for -1) is there, of KIND, not empty.
  virtual bool has_attribute(int var, std::string_view name, AttKind kind) const = 0;
  // NVARS, as the opener reads it; false when it cannot be read.
  virtual bool nvars(int& value) const = 0;
  // VAR-LIST into TEXT, cut or blank-padded, and its LENGTH as stored; false when it cannot
  // be read.
  virtual bool var_list(std::span<char> text, std::size_t& length) const = 0;

 protected:
  ~Holdings() = default;
};

// The data variables' names from VAR-LIST, 16 characters each; none when it cannot be read,
// and none, with MISMATCH set, when it holds another number of names than NVARS (the opener
// names that mistake).
std::vector<std::string> variable_names(const Holdings& file, int nvars, bool& mismatch) {
  std::vector<std::string> names;
  mismatch = false;
  if (nvars <= 0 || nvars > MXVARS3) return names;
  std::vector<char> text(static_cast<std::size_t>(nvars) * NAMLEN3);
  std::size_t len = 0;
  if (!file.var_list(text, len)) return names;
  const std::string_view list(text.data(), std::min(len, text.size()));
  mismatch = !detail::var_list_mistake(nvars, list).view().empty();
  if (mismatch) return names;
  for (std::size_t v = 0; v < static_cast<std::size_t>(nvars); ++v) {
    names.emplace_back(trimmed(std::string_view(text.data() + v * NAMLEN3, NAMLEN3)));
  }
  return names;
}

void survey_globals(const Holdings& file, std::vector<std::string>& gaps) {
  for (const GlobalAtt& a : kGlobals) {
    if (!file.has_attribute(-1, a.name, a.kind)) {
      gaps.push_back("the " + std::string(kind_name(a.kind)) + " attribute " + std::string(a.name));
    }
  }
}

void survey_structure(const Holdings& file, std::vector<std::string>& gaps) {
  for (const std::string_view dim : {layout::kTstepDim, layout::kDateTimeDim, layout::kLayDim,
                                     layout::kVarDim, layout::kRowDim, layout::kColDim}) {
    if (!file.has_dimension(dim)) gaps.push_back("the dimension " + std::string(dim));
  }
  if (file.variable(layout::kTflagVar) < 0) {
    gaps.push_back("the variable " + std::string(layout::kTflagVar));
  }
}

void survey_variables(const Holdings& file, std::vector<std::string>& gaps) {
  int nvars = 0;
  if (!file.nvars(nvars) || nvars <= 0) return;
  bool mismatch = false;
  const std::vector<std::string> names = variable_names(file, nvars, mismatch);
  if (mismatch) return;
  if (names.empty()) {
    gaps.push_back("the text attribute " + std::string(layout::kVarListAtt));
    return;
  }
  for (const std::string& name : names) {
    const int var = file.variable(name);
    if (var < 0) {
      gaps.push_back("the variable " + name);
      continue;
    }
    for (const std::string_view att : kVariableAtts) {
      if (!file.has_attribute(var, att, AttKind::kText)) {
        gaps.push_back(std::string(att) + " on " + name);
      }
    }
  }
}

std::vector<std::string> survey(const Holdings& file) {
  std::vector<std::string> gaps;
  // A file with nothing in it (a damaged one netCDF still opens) is no attempt at the layout.
  if (file.empty()) return gaps;
  survey_structure(file, gaps);
  survey_globals(file, gaps);
  survey_variables(file, gaps);
  return gaps;
}

// ---- A file of another format, asked through the netCDF library ----

class NetcdfHoldings final : public Holdings {
 public:
  explicit NetcdfHoldings(int ncid) noexcept : ncid_(ncid) {}

  bool empty() const override {
    int ndims = 0, nvars = 0, natts = 0;
    return nc_inq(ncid_, &ndims, &nvars, &natts, nullptr) != NC_NOERR || ndims + nvars + natts == 0;
  }
  bool has_dimension(std::string_view name) const override {
    int id = 0;
    return nc_inq_dimid(ncid_, detail::NcName(name).c_str(), &id) == NC_NOERR;
  }
  int variable(std::string_view name) const override {
    int id = 0;
    return nc_inq_varid(ncid_, detail::NcName(name).c_str(), &id) == NC_NOERR ? id : -1;
  }
  bool has_attribute(int var, std::string_view name, AttKind kind) const override {
    nc_type type{};
    std::size_t len = 0;
    return nc_inq_att(ncid_, var < 0 ? NC_GLOBAL : var, detail::NcName(name).c_str(), &type,
                      &len) == NC_NOERR &&
           has_kind(type, kind) && len > 0;
  }
  bool nvars(int& value) const override {
    return detail::get_int_att(ncid_, NC_GLOBAL, layout::kNvarsAtt, value) == NC_NOERR;
  }
  bool var_list(std::span<char> text, std::size_t& length) const override {
    return detail::get_text_att(ncid_, NC_GLOBAL, layout::kVarListAtt, text, &length) == NC_NOERR;
  }

 private:
  int ncid_;
};

// ---- A classic file, from the header check's parse ----

namespace classic = detail::classic;

bool is_global_wanted(const classic::ShortName& name) noexcept {
  return name.is(layout::kVarListAtt) ||
         std::any_of(kGlobals.begin(), kGlobals.end(),
                     [&](const GlobalAtt& a) { return name.is(a.name); });
}

// Keeps, as the check reads them, the attributes the survey asks about; counts the global ones.
// They come in the header's order: the global ones, then each variable's in turn.
class WantedAttributes final : public classic::AttributeSink {
 public:
  bool take(const classic::Attribute& a) noexcept override {
    if (a.owner < 0) ++globals_;
    const bool wanted = a.owner < 0 ? is_global_wanted(a.name)
                                    : std::any_of(kVariableAtts.begin(), kVariableAtts.end(),
                                                  [&](std::string_view n) { return a.name.is(n); });
    if (!wanted) return true;
    try {
      kept_.push_back(a);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  std::uint64_t globals() const noexcept { return globals_; }
  // The kept attribute NAME of OWNER, or null.
  const classic::Attribute* find(int owner, std::string_view name) const noexcept {
    const auto by_owner = [](const classic::Attribute& a, int o) { return a.owner < o; };
    for (auto it = std::lower_bound(kept_.begin(), kept_.end(), owner, by_owner);
         it != kept_.end() && it->owner == owner; ++it) {
      if (it->name.is(name)) return &*it;
    }
    return nullptr;
  }

 private:
  std::vector<classic::Attribute> kept_;
  std::uint64_t globals_ = 0;
};

class ParsedHoldings final : public Holdings {
 public:
  ParsedHoldings(const classic::Header& h, const WantedAttributes& atts, int fd) noexcept
      : h_(h), atts_(atts), fd_(fd) {}

  bool empty() const override { return h_.ndims == 0 && h_.nvars() == 0 && atts_.globals() == 0; }
  bool has_dimension(std::string_view name) const override {
    return std::any_of(h_.dims.begin(), h_.dims.end(),
                       [&](const classic::Dimension& d) { return d.name.is(name); });
  }
  int variable(std::string_view name) const override {
    const classic::Variable* v = h_.find(name);
    return v == nullptr ? -1 : static_cast<int>(v - &h_.var(0));
  }
  bool has_attribute(int var, std::string_view name, AttKind kind) const override {
    const classic::Attribute* a = atts_.find(var, name);
    return a != nullptr && has_kind(a->type, kind) && a->count > 0;
  }
  // One value of an integer type that fits an int, as the opener takes NVARS.
  bool nvars(int& value) const override {
    const classic::Attribute* a = atts_.find(-1, layout::kNvarsAtt);
    if (a == nullptr || !integer_type(a->type) || a->count != 1) return false;
    const int size = classic::type_bytes(a->type);
    std::array<unsigned char, 8> b{};
    if (!read(a->begin, b.data(), static_cast<std::size_t>(size))) return false;
    std::uint64_t u = 0;
    for (int i = 0; i < size; ++i) u = u << 8 | b[static_cast<std::size_t>(i)];
    const bool is_signed =
        a->type == NC_BYTE || a->type == NC_SHORT || a->type == NC_INT || a->type == NC_INT64;
    long long v = 0;
    if (is_signed) {
      // Sign-extended from SIZE bytes.
      const unsigned shift = 64U - 8U * static_cast<unsigned>(size);
      v = static_cast<long long>(u << shift) >> shift;
    } else if (u > static_cast<std::uint64_t>(INT_MAX)) {
      return false;
    } else {
      v = static_cast<long long>(u);
    }
    if (v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
  }
  // Cut to TEXT, ended by a NUL, blank-padded, as the opener reads text.
  bool var_list(std::span<char> text, std::size_t& length) const override {
    const classic::Attribute* a = atts_.find(-1, layout::kVarListAtt);
    if (a == nullptr || a->type != NC_CHAR) return false;
    length = static_cast<std::size_t>(std::min<std::uint64_t>(a->count, SIZE_MAX));
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(a->count, text.size()));
    std::vector<char> got(n);
    if (!read(a->begin, got.data(), n)) return false;
    const std::string_view value(got.data(), n);
    assign_padded(text, value.substr(0, std::min(value.find('\0'), value.size())));
    return true;
  }

 private:
  bool read(std::uint64_t pos, void* dst, std::size_t n) const {
    return n == 0 || detail::sys::pread_full(fd_, dst, n, static_cast<std::int64_t>(pos)) ==
                         static_cast<long long>(n);
  }
  const classic::Header& h_;
  const WantedAttributes& atts_;
  int fd_;
};

}  // namespace

std::vector<std::string> file_gaps(const std::string& path) {
  WantedAttributes atts;
  detail::EntryRequest request;
  request.mode = NC_NOWRITE;
  request.keep_fd = true;
  request.open_classic = false;
  request.attributes = &atts;
  detail::EntryResult file;
  std::vector<std::string> gaps;
  switch (detail::open_existing(path.c_str(), request, file)) {
    case detail::Entry::kChecked:
      gaps = survey(ParsedHoldings(file.header, atts, file.fd));
      break;
    case detail::Entry::kOpened:
      gaps = survey(NetcdfHoldings(file.ncid));
      // Read-only: a failed close loses nothing.
      (void)nc_close(file.ncid);
      break;
    case detail::Entry::kRefused:
    case detail::Entry::kOpenFailed:
      break;
  }
  if (file.fd >= 0) (void)detail::sys::close(file.fd);  // read-only: nothing to lose
  return gaps;
}

std::string file_gaps_line(std::string_view path, const std::vector<std::string>& gaps) {
  std::string line(path);
  line.append(" lacks ");
  for (std::size_t i = 0; i < gaps.size(); ++i) {
    if (i > 0) line.append(gaps.size() == 2 ? " and " : i + 1 == gaps.size() ? ", and " : ", ");
    line.append(gaps[i]);
  }
  return line;
}

}  // namespace kavro
