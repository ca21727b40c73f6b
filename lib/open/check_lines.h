// What the header checks of an opened file (CKFILE3) and the description checks of a file to
// be created (CKDESC3) share: the layout of their message lines. A line is composed in 256
// characters, so no report loses the names it quotes.
#ifndef KAVRO_OPEN_CHECK_LINES_H
#define KAVRO_OPEN_CHECK_LINES_H

#include <string_view>

#include "core/msgbuf.h"

namespace kavro::detail {

using CheckLine = MsgBuf<256>;

// PREP ("for " or "in "), "file " and the logical name LNAME in double quotes.
CheckLine& file_reference(CheckLine& line, std::string_view prep, std::string_view lname);

// TEXT, VALUE right-justified in 10 characters, two blanks, and the reference.
CheckLine int_check_line(std::string_view text, long long value, std::string_view prep,
                         std::string_view lname);

// The warnings of a grid type given as missing (IMISSING3): horizontal and vertical.
CheckLine missing_horizontal_line(int gdtyp, std::string_view lname);
CheckLine missing_vertical_line(int vgtyp, std::string_view lname);

}  // namespace kavro::detail

#endif  // KAVRO_OPEN_CHECK_LINES_H
