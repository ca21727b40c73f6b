// The checks of a native binary header, made before anything is sized or read from it: a
// description about to be written and a header read from disk are both untrusted. Each
// refusal logs its message and returns false.
#ifndef KAVRO_BINARY_BINARY_CHECKS_H
#define KAVRO_BINARY_BINARY_CHECKS_H

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "binary/binary_format.h"
#include "binary/binary_state.h"
#include "kavro/params.h"

namespace kavro::detail {

// The checks of a description (created) or header (opened) that need no file: counts and
// sizes in range, a storable type, a layout that fits in 64 bits (taken into ST). VTYPE is
// checked by set_fstate, which names the variable. CALLER names the routine in the messages.
bool check_fields(std::string_view caller, const Fields& f, std::string_view path,
                  std::span<const int> vtype, BinState& st);

// The checks of a header read from disk that need no more of the file: the host's byte order
// (MARK), then the fields (ST takes the layout, F and VTYPES the fields and the variable types).
bool check_read_fields(const Header& h, int mark, std::string_view path, BinState& st, Fields& f,
                       std::array<int, MXVARS3>& vtypes);

// The checks of a header read from disk that the fields alone cannot make: every number text
// terminated in its field, the file (LENGTH bytes) long enough for its header and its MXREC
// records by ST's layout.
bool check_file(const Header& h, const Fields& f, const BinState& st, std::int64_t length,
                std::string_view path);

// Logs the refusal of a file type the format cannot hold.
void report_unsupported_type(int ftype);

}  // namespace kavro::detail

#endif  // KAVRO_BINARY_BINARY_CHECKS_H
