// The library's text files addressed by integer unit numbers, as a record-oriented text I/O
// layer does: unit 6 is the C stream stdout itself (so the log on standard output and the
// comparison reports written with fwrite keep the order in which they were produced), 5 is
// stdin, 0 is stderr, and units 10..99 are files the library opens itself.
#ifndef KAVRO_CORE_UNITS_H
#define KAVRO_CORE_UNITS_H

#include <cstddef>
#include <cstdio>
#include <span>
#include <string_view>

namespace kavro::detail {

inline constexpr int kStderrUnit = 0;
inline constexpr int kStdinUnit = 5;
inline constexpr int kStdoutUnit = 6;
inline constexpr int kFirstFileUnit = 10;
inline constexpr int kLastFileUnit = 99;
// The most bytes read_line examines for one line: a file without line ends (a device, a
// binary file) cannot keep a reader going for ever.
inline constexpr std::size_t kMaxLineBytes = 65536;

// How a file unit is opened.
enum class UnitOpen {
  kNew,       // write; the file must not exist yet
  kExisting,  // write; the file must exist (written at its end)
  kRead,      // read; the file must exist and not be a FIFO or device (opened without blocking)
};

// Opens PATH on UNIT (10..99, not open). Returns the I/O status: 0, or a positive error
// number (errno) when the open fails or the unit is not a free file unit; EINVAL for a file
// to read that is neither a regular file nor a directory (a FIFO, a device).
int open_unit(int unit, std::string_view path, UnitOpen how);

// Puts the stream F, open for writing, on UNIT (10..99, not open): a program's own log sink.
// Returns 0, or EBADF when the unit is not a free file unit (F is then left alone).
int attach_unit(int unit, std::FILE* f) noexcept;

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
// is skipped). Returns 0, a negative status at end of input, or a positive error number
// (EFBIG for a line longer than kMaxLineBytes).
int read_line(int unit, std::span<char> field) noexcept;

// The first error number of a failed write, flush or close on UNIT since it was opened (for
// the standard streams: since the process started); 0 when none failed.
int unit_error(int unit) noexcept;

// Reopens any of the standard descriptors 0, 1 and 2 that is closed on /dev/null, so that no
// file the library opens later takes its number and receives what is meant for it.
// A closed descriptor 1 is noted, and counts as a failed write on the standard output unit
// (EBADF): a log kept there cannot be read by anyone.
void guard_standard_descriptors() noexcept;
// Whether standard descriptor FD (0, 1 or 2) was closed when guard_standard_descriptors first
// found it so.
bool standard_descriptor_was_closed(int fd) noexcept;

// Closes every file unit that is open (test reset; no messages).
void reset_units() noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_CORE_UNITS_H
