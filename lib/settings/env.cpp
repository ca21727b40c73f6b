// Settings: every setting of the library is named by an environment variable. The C readers hold
// the logic and the messages; the fixed-length readers convert their fields to C strings and call
// them. Nothing is cached, so a value installed with SETENVVAR is seen by every later look-up.
#include <unistd.h>

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include "core/msgbuf.h"
#include "core/state.h"
#include "core/syscalls.h"
#include "kavro/core.h"
#include "kavro/kavro_c.h"
#include "kavro/settings.h"
#include "util/c_strings.h"

namespace kavro {
namespace {

// Messages of the setting readers are built in a buffer of this many characters, and the
// fixed-length readers pass names, descriptions and defaults in C buffers of this size.
constexpr int kSettingTextSize = 10000;
// RMFILE converts its path into a C buffer of this size.
constexpr int kPathBufferSize = 257;

// A caller's field length as the C conversions take it.
int c_len(std::size_t n) noexcept { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }

// A field as a C string of at most kSettingTextSize - 1 characters, by one of the
// conversions: name2cstr (the logical name, up to the first white space) or fstr2cstr (the
// whole field, trailing blanks included).
std::string c_string(std::string_view field, void (*convert)(const char*, char*, int, int)) {
  std::string s(kSettingTextSize, '\0');
  convert(field.data(), s.data(), c_len(field.size()), kSettingTextSize);
  s.resize(std::strlen(s.c_str()));
  return s;
}
std::string c_name(std::string_view field) { return c_string(field, name2cstr); }
std::string c_text(std::string_view field) { return c_string(field, fstr2cstr); }

// A message of the setting readers: printf into the fixed buffer, cut where it ends.
using SettingMessage = detail::MsgBuf<kSettingTextSize - 1>;

// The environment's value of a C name, or nullptr when unset. A null name is never set.
const char* lookup(const char* name) noexcept {
  return name == nullptr || *name == '\0' ? nullptr : std::getenv(name);
}

// The status of a looked-up value before parsing: unset, empty, or to be parsed.
constexpr int kUnset = -2;
constexpr int kEmpty = -1;
constexpr int kUsed = 0;
constexpr int kUnparseable = 1;

int presence(const char* value) noexcept {
  if (value == nullptr) return kUnset;
  return *value == '\0' ? kEmpty : kUsed;
}

const char* safe(const char* s) noexcept { return s == nullptr ? "" : s; }

const char* true_false(bool b) noexcept { return b ? "TRUE" : "FALSE"; }

// A value out of single-precision range becomes an infinity instead of an undefined cast.
float to_float(double d) noexcept {
  if (std::isfinite(d) && std::fabs(d) > FLT_MAX) return d > 0 ? HUGE_VALF : -HUGE_VALF;
  return static_cast<float>(d);
}

// The C string-to-double conversion of the leading numeric part; false when nothing converts.
bool parse_double(const char* value, double& result) noexcept {
  char* end = nullptr;
  result = std::strtod(value, &end);
  return end != value;
}

}  // namespace

// ---- Fixed-length readers ----------------------------------------------------------------

bool ENVYN(std::string_view lname, std::string_view desc, bool defaultval, int& stat) {
  return envync(c_name(lname).c_str(), c_text(desc).c_str(), defaultval ? 1 : 0, &stat) != 0;
}

int ENVINT(std::string_view lname, std::string_view desc, int defaultval, int& stat) {
  return envintc(c_name(lname).c_str(), c_text(desc).c_str(), defaultval, &stat);
}

float ENVREAL(std::string_view lname, std::string_view desc, float defaultval, int& stat) {
  return envrealc(c_name(lname).c_str(), c_text(desc).c_str(), defaultval, &stat);
}

double ENVDBLE(std::string_view lname, std::string_view desc, double defaultval, int& stat) {
  return envdblec(c_name(lname).c_str(), c_text(desc).c_str(), defaultval, &stat);
}

void ENVSTR(std::string_view lname, std::string_view desc, std::string_view defaultval,
            std::span<char> eqname, int& stat) {
  // One byte more than EQNAME so the whole field can be filled before the NUL.
  std::string buffer(eqname.size() + 1, '\0');
  envstrc(c_name(lname).c_str(), c_text(desc).c_str(), c_text(defaultval).c_str(), buffer.data(),
          &stat, c_len(buffer.size()));
  assign_padded(eqname, buffer.c_str());
}

// ---- Setting and removing ------------------------------------------------------------------

namespace {

// Every text handed to putenv stays referenced by the environment and is never released.
// Each block begins with a pointer to the one installed before it, so the chain stays
// reachable from here even after a later value replaces it in the environment.
void* installed_texts = nullptr;

char* allocate_env_text(std::size_t length) noexcept {
  void* block = detail::sys::allocate(sizeof(void*) + length + 1);
  if (block == nullptr) return nullptr;
  std::memcpy(block, &installed_texts, sizeof(void*));
  installed_texts = block;
  return static_cast<char*>(block) + sizeof(void*);
}

}  // namespace

bool SETENVVAR(std::string_view lname, std::string_view value) {
  const std::string_view name = trimmed(lname);
  const std::string_view text = trimmed(value);
  // An empty name, or one holding an equals sign, would install a different variable.
  if (name.empty() || name.find('=') != std::string_view::npos) return false;
  char* entry = allocate_env_text(name.size() + 1 + text.size());
  if (entry == nullptr) {
    XQMESG("SETENVVAR:  malloc() failure");
    return false;
  }
  std::memcpy(entry, name.data(), name.size());
  entry[name.size()] = '=';
  std::memcpy(entry + name.size() + 1, text.data(), text.size());
  entry[name.size() + 1 + text.size()] = '\0';
  return putenv(entry) == 0;
}

int RMFILE(std::string_view path) {
  char cpath[kPathBufferSize];
  name2cstr(path.data(), cpath, c_len(path.size()), kPathBufferSize);
  // A path cut to the buffer names some other file: refuse it rather than remove that one.
  const std::size_t len = std::strlen(cpath);
  const bool cut = len < path.size() && !detail::is_white(path[len]);
  if (!cut && unlink(cpath) == 0) return 0;
  const int err = cut ? ENAMETOOLONG : errno;
  const char* reason = err != 0 ? std::strerror(err) : nullptr;
  XQWARN("RMFILE", 0, 0, reason != nullptr ? reason : "Error unlinking file");
  return -1;
}

}  // namespace kavro

// ---- C readers ----------------------------------------------------------------------------

namespace kavro {
namespace {

// The wording of one numeric reader's messages; spacing differs from reader to reader.
struct NumberTexts {
  const char* caller;       // the warning's caller
  const char* default_fmt;  // unset and empty: "Value for", NAME, the text, D
  const char* not_defined;
  const char* parsed_fmt;  // value_for, NAME, the value
  const char* value_for;
  const char* bad_fmt;  // "Value for", NAME, not_a, VALUE, returning, D
  const char* not_a;
  const char* returning;
};

constexpr const char* kDefinedButEmpty = "defined but empty; returning default ";

// The common road of envintc, envrealc and envdblec: look up, parse, report, set STATUS.
// Parse turns a non-empty value into T and says whether anything converted.
template <typename T, typename Parse>
T read_number(const char* name, T defaultval, int* status, const NumberTexts& t, Parse parse) {
  // printf wants reals as double.
  using Printed = std::conditional_t<std::is_floating_point_v<T>, double, T>;
  const char* value = lookup(name);
  const char* n = safe(name);
  int stat = presence(value);
  T result = defaultval;
  if (stat == kUnset) {
    XQMESG(
        SettingMessage().format(t.default_fmt, "Value for", n, t.not_defined, Printed(defaultval)));
  } else if (stat == kEmpty) {
    XQMESG(SettingMessage().format(t.default_fmt, "Value for", n, kDefinedButEmpty,
                                   Printed(defaultval)));
  } else if (parse(value, result)) {
    XQMESG(SettingMessage().format(t.parsed_fmt, t.value_for, n, Printed(result)));
  } else {
    stat = kUnparseable;
    result = defaultval;
    XQWARN(t.caller, 0, 0,
           SettingMessage().format(t.bad_fmt, "Value for", n, t.not_a, value, t.returning,
                                   Printed(defaultval)));
  }
  if (status != nullptr) *status = stat;
  return result;
}

bool parse_int(const char* value, int& result) noexcept {
  char* end = nullptr;
  const long v = std::strtol(value, &end, 10);
  if (end == value) return false;
  // A value beyond the 32-bit range stays at the nearest end of it.
  result = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
  return true;
}

bool parse_float(const char* value, float& result) noexcept {
  double d = 0;
  if (!parse_double(value, d)) return false;
  result = to_float(d);
  return true;
}

constexpr NumberTexts kIntTexts{.caller = "envintc",
                                .default_fmt = "%s %s %s:  %d",
                                .not_defined = "not defined; returning default",
                                .parsed_fmt = "%s %s:  %d",
                                .value_for = "Value for",
                                .bad_fmt = "%s %s %s: '%.16s', %s  %d",
                                .not_a = "not an integer ",
                                .returning = "returning default"};
constexpr NumberTexts kRealTexts{.caller = "envrealc",
                                 .default_fmt = "%s %s %s:  %G",
                                 .not_defined = "not defined; returning default ",
                                 .parsed_fmt = "%s %s:  %G",
                                 .value_for = "Value for",
                                 .bad_fmt = "%s %s %s: '%.16s', %s  %G",
                                 .not_a = "not a real ",
                                 .returning = "returning default "};
constexpr NumberTexts kDoubleTexts{.caller = "envdblec",
                                   .default_fmt = "%s %s %s:  %G",
                                   .not_defined = "not defined;returning default ",
                                   .parsed_fmt = "%s %s:  %G",
                                   .value_for = "Value for ",
                                   .bad_fmt = "%s %s %s: '%.16s', %s  %G",
                                   .not_a = "not a double ",
                                   .returning = "returning default:"};

}  // namespace
}  // namespace kavro

extern "C" {

int envync(const char* name, const char* /*description*/, int defaultval, int* status) {
  using namespace kavro;
  const char* value = lookup(name);
  const char* n = safe(name);
  const char* d = true_false(defaultval != 0);
  int stat = presence(value);
  int result = defaultval != 0 ? 1 : 0;
  if (stat == kUnset) {
    XQMESG(SettingMessage().format("%s %s %s  %s", "Value for", n,
                                   "not defined;returning default: ", d));
  } else if (stat == kEmpty) {
    XQMESG(SettingMessage().format("%s %s %s:  %s", "Value for", n, kDefinedButEmpty, d));
  } else {
    // Only one letter counts, the second when the first is a period (.TRUE., .FALSE.).
    const char c = value[0] == '.' ? value[1] : value[0];
    const char up = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    if (up == 'T' || up == 'Y' || up == 'F' || up == 'N') {
      result = up == 'T' || up == 'Y' ? 1 : 0;
      XQMESG(SettingMessage().format("%s %s:  %s %s", "Value for", n, value,
                                     result != 0 ? "returning TRUE" : "returning FALSE"));
    } else {
      stat = kUnparseable;
      XQWARN("envync", 0, 0,
             SettingMessage().format("%s %s %s: '%.16s', %s  %s", "Value for", n,
                                     "not T,F,Y, or N ", value, "returning defaultval  ", d));
    }
  }
  if (status != nullptr) *status = stat;
  return result;
}

int envintc(const char* name, const char* /*description*/, int defaultval, int* status) {
  return kavro::read_number(name, defaultval, status, kavro::kIntTexts, kavro::parse_int);
}

float envrealc(const char* name, const char* /*description*/, float defaultval, int* status) {
  return kavro::read_number(name, defaultval, status, kavro::kRealTexts, kavro::parse_float);
}

double envdblec(const char* name, const char* /*description*/, double defaultval, int* status) {
  return kavro::read_number(name, defaultval, status, kavro::kDoubleTexts, kavro::parse_double);
}

void envstrc(const char* name, const char* /*description*/, const char* defaultval, char* buffer,
             int* status, int length) {
  using namespace kavro;
  const char* value = lookup(name);
  const char* n = safe(name);
  const char* d = safe(defaultval);
  const int stat = presence(value);
  if (stat == kUnset) {
    XQMESG((SettingMessage().format("%s %s %s:  '", "Value for", n,
                                    "not defined; returning defaultval '")
            << d << "'"));
  } else if (stat == kEmpty) {
    XQMESG((SettingMessage().format("%s %s %s:  '", "Value for", n,
                                    "defined but empty; returning default")
            << d << "'"));
  } else {
    XQMESG((SettingMessage().format("%s %s:  '", "Value for", n) << value << "'"));
  }
  // The value, or the default, cut to the buffer's length with room for the NUL.
  if (buffer != nullptr && length > 0) {
    const char* text = stat == kUsed ? value : d;
    const std::size_t len = strnlen(text, static_cast<std::size_t>(length) - 1);
    std::memcpy(buffer, text, len);
    buffer[len] = '\0';
  }
  if (status != nullptr) *status = stat;
}

}  // extern "C"
