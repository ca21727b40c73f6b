// The difference report: one per differing cell, written as list-directed output with a record
// length of 80. Items 1, 2 are INTEGER, 3-6 REAL, 7-10 INTEGER; every field begins with its own
// blank and nothing separates fields. The 80-character record puts items 1-5 on the first line
// (69 characters) and items 6-10 on the second (63); each line ends with '\n'.
//
// INTEGER: 12 characters, right-justified.
// REAL: 15 characters. A value whose magnitude, rounded to 7 significant digits, lies in
//   [0.1, 10 000 000) is written in fixed notation with 7 significant digits, right-justified in
//   11, then 4 blanks ("  0.5000000    ", "   1234567.    "). Any other is written with 8
//   significant digits as d.dddddddE+XX right-justified in 15 ("  6.2500000E-02"). Digits are
//   the float's exact value correctly rounded, ties to even (what printf's %.*e/%.*f give).
//   Zero is "  0.0000000E+00"; negative zero keeps its sign: " -0.0000000E+00". NaN (either
//   sign) is "NaN", infinities "Infinity" and "-Infinity", each right-justified in 15.
//
// The writers append to a caller-owned buffer and return the new end; they never allocate and
// never call printf, so millions of reports cost little. The caller guarantees room:
// kReportSize bytes per report, kRealWidth per REAL, kIntWidth per INTEGER. Nothing is
// NUL-terminated. Typical use: reports appended to a large buffer that is written out with one
// fwrite when fewer than kReportSize bytes remain, and at the end.
#ifndef BRINDLEWICK_REPORT_FORMAT_H
#define BRINDLEWICK_REPORT_FORMAT_H

#include <cstddef>

namespace brindlewick {

inline constexpr std::size_t kIntWidth = 12;
inline constexpr std::size_t kRealWidth = 15;
inline constexpr std::size_t kRecordLength = 80;
inline constexpr std::size_t kLine1Size = 2 * kIntWidth + 3 * kRealWidth;  // items 1-5
inline constexpr std::size_t kLine2Size = kRealWidth + 4 * kIntWidth;      // items 6-10
// Both lines with their newlines: 134 bytes.
inline constexpr std::size_t kReportSize = kLine1Size + 1 + kLine2Size + 1;

static_assert(kLine1Size <= kRecordLength && kLine1Size + kRealWidth > kRecordLength,
              "the sixth item starts the second line");
static_assert(kLine2Size <= kRecordLength, "items 6-10 share the second line");

// Writes one INTEGER field (kIntWidth bytes) at out; returns out + kIntWidth.
char* append_int(char* out, int v) noexcept;

// Writes one REAL field (kRealWidth bytes) at out; returns out + kRealWidth.
char* append_real(char* out, float v) noexcept;

// Writes one whole report (kReportSize bytes, both lines with their '\n') at out and returns
// the end: column and row of the cell, its latitude and longitude, projected x and y, and the
// four grid indices c, r, gcol, grow, in that order.
char* append_report(char* out, int col, int row, float lat, float lon, float x, float y, int c,
                    int r, int gcol, int grow) noexcept;

}  // namespace brindlewick

#endif  // BRINDLEWICK_REPORT_FORMAT_H
