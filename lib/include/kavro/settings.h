// Settings from the environment: yes/no, numbers, strings and lists, each read with its
// status and its message; setting a variable, removing a file; the library's own settings.
#ifndef KAVRO_SETTINGS_H
#define KAVRO_SETTINGS_H

#include <cstddef>
#include <span>
#include <string_view>

#include "kavro/fixed_string.h"

namespace kavro {

// ---- Environment variables and logical names ----------------------------------------------
bool ENVYN(std::string_view lname, std::string_view desc, bool defaultval, int& stat);
int ENVINT(std::string_view lname, std::string_view desc, int defaultval, int& stat);
float ENVREAL(std::string_view lname, std::string_view desc, float defaultval, int& stat);
double ENVDBLE(std::string_view lname, std::string_view desc, double defaultval, int& stat);
void ENVSTR(std::string_view lname, std::string_view desc, std::string_view defaultval,
            std::span<char> eqname, int& stat);
bool SETENVVAR(std::string_view lname, std::string_view value);
int RMFILE(std::string_view path);

// LIST is an array of fields of elem_len characters each, held contiguously in `list`.
bool STRLIST(std::string_view ename, std::string_view edesc, int nmax, int& ncnt,
             std::span<char> list, std::size_t elem_len);

// STRLIST into a table of fixed fields.
template <std::size_t N>
bool STRLIST(std::string_view ename, std::string_view edesc, int nmax, int& ncnt,
             std::span<FixedString<N>> list) {
  static_assert(sizeof(FixedString<N>) == N, "fields must lie contiguously");
  return STRLIST(ename, edesc, nmax, ncnt,
                 std::span<char>(reinterpret_cast<char*>(list.data()), list.size() * N), N);
}

// ---- The library's own settings -------------------------------------------------------------
// One setting of the library as its settings table lists it, for a tool's help and documents.
struct LibrarySetting {
  std::string_view name;           // the environment variable
  std::string_view values;         // what it takes: "Y or N", or a number's unit ("metres")
  std::string_view default_value;  // the value an unset variable stands for: "Y", "N", a number
  std::string_view summary;        // what it does
};

// Every setting of the library, in the table's order.
std::span<const LibrarySetting> library_settings() noexcept;

// The value of the library setting NAME, read as its row says (a bad value reported under
// CALLER). A name that is not in the table gives false.
bool library_setting_value(std::string_view name, std::string_view caller);

}  // namespace kavro

#endif  // KAVRO_SETTINGS_H
