// Names: the rule for legal names, table search, leading blanks, upper case.
#include <string>

#include "kavro/util.h"

namespace kavro {
namespace {

constexpr std::string_view kNameFirst = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz$_#@-";
constexpr std::string_view kNameRest =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz$_#@-0123456789";

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

}  // namespace kavro
