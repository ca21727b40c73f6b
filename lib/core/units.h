// The library's text files addressed by integer unit numbers, as a record-oriented text I/O
// layer does: unit 6 is the C stream stdout itself (so the log on standard output and the
// comparison reports written with fwrite keep the order in which they were produced), 5 is
// stdin, 0 is stderr, and units 10..99 are files the library opens itself.
#ifndef KAVRO_CORE_UNITS_H
#define KAVRO_CORE_UNITS_H

#include <span>
#include <string_view>

namespace kavro::detail {

inline constexpr int kStderrUnit = 0;
inline constexpr int kStdinUnit = 5;
inline constexpr int kStdoutUnit = 6;
inline constexpr int kFirstFileUnit = 10;
inline constexpr int kLastFileUnit = 99;

// How a file unit is opened.
enum class UnitOpen {
  kNew,       // write; the file must not exist yet
  kExisting,  // write; the file must exist (written at its end)
  kRead,      // read; the file must exist
};

// Opens PATH on UNIT (10..99, not open). Returns the I/O status: 0, or a positive error
// number (errno) when the open fails or the unit is not a free file unit.
int open_unit(int unit, std::string_view path, UnitOpen how);

// Whether a unit is open: 0, 5 and 6 always are; 10..99 when the library opened them.
bool unit_open(int unit) noexcept;

// Closes a file unit. Returns 0, or a positive error number when the stream could not be
// written out or closed (the unit is closed all the same). A unit that is not open, or one
// of the standard streams, gives 0 and is left as it is.
int close_unit(int unit) noexcept;

// Writes TEXT followed by a newline (write_line) or alone (write_text); no flush. False when
// the unit is not open for writing or the stream reports an error.
bool write_line(int unit, std::string_view text) noexcept;
bool write_text(int unit, std::string_view text) noexcept;

// Flushes the unit's stream; false when it is not open or the flush fails.
bool flush_unit(int unit) noexcept;

// Reads one line into FIELD, cut or blank-filled to its length (the rest of a longer line
// is skipped). Returns 0, a negative status at end of input, or a positive error number.
int read_line(int unit, std::span<char> field) noexcept;

// Closes every file unit that is open (test reset; no messages).
void reset_units() noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_CORE_UNITS_H
