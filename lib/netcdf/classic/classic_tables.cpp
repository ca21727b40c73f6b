// The classic header's tables (netcdf/classic/classic_header.h): their storage, taken through the
// system-call layer like every allocation whose failure has a message, and their look-ups.
#include <new>
#include <type_traits>

#include "core/syscalls.h"
#include "netcdf/classic/classic_header.h"

namespace kavro::detail::classic {

int type_bytes(int type) noexcept {
  switch (type) {
    case 1:  // byte
    case 2:  // char
    case 7:  // unsigned byte
      return 1;
    case 3:  // short
    case 8:  // unsigned short
      return 2;
    case 4:  // int
    case 5:  // float
    case 9:  // unsigned int
      return 4;
    case 6:   // double
    case 10:  // 64-bit int
    case 11:  // unsigned 64-bit int
      return 8;
    default:
      return 0;
  }
}

bool ShortName::is(std::string_view name) const noexcept {
  return name.size() == length && name.size() <= Name16::size() &&
         text.padded().substr(0, name.size()) == name;
}

const Variable* Header::find(std::string_view name) const noexcept {
  for (int i = 0; i < nvars_; ++i) {
    if (vars_[static_cast<std::size_t>(i)].name.is(name))
      return &vars_[static_cast<std::size_t>(i)];
  }
  return nullptr;
}

static_assert(std::is_trivially_destructible_v<Variable> &&
              std::is_trivially_destructible_v<Dimension>);

void Header::Release::operator()(void* p) const noexcept {
  // Variables and dimensions are trivially destructible: the storage is released as it was
  // allocated.
  sys::release(p);
}

bool Header::reserve_dims(int n) noexcept {
  ndims = 0;
  dims = {};
  if (n == 0) return true;
  void* p = sys::allocate(static_cast<std::size_t>(n) * sizeof(Dimension));
  if (p == nullptr) return false;
  auto* table = static_cast<Dimension*>(p);
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) new (table + i) Dimension();
  dims_.reset(table);
  dims = {table, static_cast<std::size_t>(n)};
  ndims = n;
  return true;
}

bool Header::reserve(int n) noexcept {
  nvars_ = 0;
  if (n <= capacity_) return true;
  void* p = sys::allocate(static_cast<std::size_t>(n) * sizeof(Variable));
  if (p == nullptr) return false;
  auto* table = static_cast<Variable*>(p);
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) new (table + i) Variable();
  vars_.reset(table);
  capacity_ = n;
  return true;
}

}  // namespace kavro::detail::classic
