// Names and lists: the rule for legal names, table search, leading blanks, upper case, and
// the comma-separated list of names held in an environment variable.
#include <string>

#include "kavro/kavro.h"

namespace kavro {
namespace {

constexpr std::string_view kNameFirst = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz$_#@-";
constexpr std::string_view kNameRest =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz$_#@-0123456789";

// STRLIST reads the variable into a buffer of this many characters.
constexpr std::size_t kListBufferSize = 512;

int count_of(int n, std::size_t size) noexcept {
  return n < 0 ? 0 : static_cast<std::size_t>(n) < size ? n : static_cast<int>(size);
}

}  // namespace

bool CKNAME(std::string_view name) {
  const std::string_view t = trimmed(name);
  if (t.empty() || kNameFirst.find(t[0]) == std::string_view::npos) return false;
  return t.find_first_not_of(kNameRest, 1) == std::string_view::npos;
}

int INDEX1(std::string_view name, int n, std::span<const std::string_view> nlist) {
  const int count = count_of(n, nlist.size());
  for (int i = 0; i < count; ++i) {
    if (padded_equal(name, nlist[static_cast<std::size_t>(i)])) return i + 1;
  }
  return 0;
}

int INDEXINT1(int ikey, int n, std::span<const int> nlist) {
  const int count = count_of(n, nlist.size());
  for (int i = 0; i < count; ++i) {
    if (nlist[static_cast<std::size_t>(i)] == ikey) return i + 1;
  }
  return 0;
}

int LBLANK(std::string_view str) {
  const std::size_t p = str.find_first_not_of(" \t");
  return static_cast<int>(p == std::string_view::npos ? str.size() : p);
}

void UPCASE(std::span<char> buffer) {
  for (char& c : buffer) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

bool STRLIST(std::string_view ename, std::string_view edesc, int nmax, int& ncnt,
             std::span<char> list, std::size_t elem_len) {
  Path512 value;
  int status = 0;
  ENVSTR(ename, edesc, " ", value.span(), status);
  if (status != 0) {
    XQMSG2(std::string("Could not get environment variable \"").append(ename).append("\""));
    return false;
  }
  // LIST holds no more fields than its storage does.
  if (elem_len > 0 && static_cast<std::size_t>(std::max(nmax, 0)) > list.size() / elem_len) {
    nmax = static_cast<int>(list.size() / elem_len);
  }
  const std::string_view buf = value.padded();
  FixedString<5> prefix(buf);
  UPCASE(prefix.span());
  std::size_t pos = prefix.padded() == "LIST:" ? prefix.size() : 0;
  bool ok = true;
  for (int i = 1; i <= nmax; ++i) {
    pos += static_cast<std::size_t>(LBLANK(buf.substr(pos)));
    if (pos >= kListBufferSize) {
      ncnt = i - 1;
      return ok && ncnt >= 1;
    }
    const std::size_t comma = buf.find(',', pos);
    const std::size_t end = comma == std::string_view::npos ? kListBufferSize : comma;
    const std::string_view item = trimmed(buf.substr(pos, end - pos));
    // A bad item is not stored, but still takes its place in the count.
    if (item.empty() || item.size() > elem_len) {
      ok = false;
    } else {
      assign_padded(list.subspan(static_cast<std::size_t>(i - 1) * elem_len, elem_len), item);
    }
    pos = comma == std::string_view::npos ? kListBufferSize : comma + 1;
    if (pos >= kListBufferSize) {
      ncnt = i;
      return ok;
    }
  }
  // NMAX names taken and the last one followed by a comma: nothing but blanks may follow.
  ncnt = std::max(nmax, 0);
  const std::string_view rest = buf.substr(pos);
  if (static_cast<std::size_t>(LBLANK(rest)) != rest.size()) return false;
  return ok && ncnt >= 1;
}

}  // namespace kavro
