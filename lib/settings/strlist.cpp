// STRLIST: a list of names from one environment variable, "name1, name2, ..." with an
// optional "LIST:" in front.
#include <algorithm>
#include <string>

#include "kavro/core.h"
#include "kavro/settings.h"
#include "kavro/util.h"

namespace kavro {

namespace {
// The variable is read into a buffer of this many characters.
constexpr std::size_t kListBufferSize = 512;
// A name may not start at position 512 (counting from 1) or later: 511 counting from 0.
constexpr std::size_t kScanEnd = kListBufferSize - 1;
}  // namespace

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
    if (pos >= kScanEnd) {
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
    if (pos >= kScanEnd) {
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
