// Placeholder bodies so the library links while the environment and string utilities are
// being written. Their owner deletes this file when the real routines land.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kavro/kavro.h"

namespace kavro {
void NAMEVAL(std::string_view lname, std::span<char> eqname) {
  const std::string name(first_word(lname));
  const char* v = std::getenv(name.c_str());
  assign_padded(eqname, v ? std::string_view(v) : lname);
}
bool ENVYN(std::string_view, std::string_view, bool d, int& s) { s = -2; return d; }
int ENVINT(std::string_view, std::string_view, int d, int& s) { s = -2; return d; }
float ENVREAL(std::string_view, std::string_view, float d, int& s) { s = -2; return d; }
double ENVDBLE(std::string_view, std::string_view, double d, int& s) { s = -2; return d; }
void ENVSTR(std::string_view, std::string_view, std::string_view d, std::span<char> e, int& s) {
  assign_padded(e, d);
  s = -2;
}
bool SETENVVAR(std::string_view n, std::string_view v) {
  return setenv(std::string(trimmed(n)).c_str(), std::string(trimmed(v)).c_str(), 1) == 0;
}
int RMFILE(std::string_view p) { return std::remove(std::string(first_word(p)).c_str()) == 0 ? 0 : -1; }
bool CKNAME(std::string_view n) { return !trimmed(n).empty(); }
int INDEX1(std::string_view name, int n, std::span<const std::string_view> list) {
  for (int i = 0; i < n && i < static_cast<int>(list.size()); ++i)
    if (padded_equal(name, list[static_cast<std::size_t>(i)])) return i + 1;
  return 0;
}
int INDEXINT1(int k, int n, std::span<const int> list) {
  for (int i = 0; i < n && i < static_cast<int>(list.size()); ++i)
    if (list[static_cast<std::size_t>(i)] == k) return i + 1;
  return 0;
}
int LBLANK(std::string_view s) {
  int n = 0;
  while (static_cast<std::size_t>(n) < s.size() && (s[static_cast<std::size_t>(n)] == ' ' || s[static_cast<std::size_t>(n)] == '\t')) ++n;
  return n;
}
void UPCASE(std::span<char> b) {
  for (char& c : b) if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}
bool STRLIST(std::string_view, std::string_view, int, int& n, std::span<char>, std::size_t) { n = 0; return false; }
}  // namespace kavro

extern "C" {
int envync(const char*, const char*, int d, int* s) { *s = -2; return d; }
int envintc(const char*, const char*, int d, int* s) { *s = -2; return d; }
float envrealc(const char*, const char*, float d, int* s) { *s = -2; return d; }
double envdblec(const char*, const char*, double d, int* s) { *s = -2; return d; }
void envstrc(const char*, const char*, const char* d, char* b, int* s, int len) {
  if (len > 0) { std::strncpy(b, d, static_cast<std::size_t>(len) - 1); b[len - 1] = 0; }
  *s = -2;
}
void name2cstr(const char*, char* c, int, int cs) { if (cs > 0) c[0] = 0; }
void fstr2cstr(const char*, char* c, int, int cs) { if (cs > 0) c[0] = 0; }
void cstr2fstr(const char*, char* f, int fl) { std::memset(f, ' ', static_cast<std::size_t>(fl)); }
}
