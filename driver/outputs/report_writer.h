// The report writer: report lines collected in a large buffer and written out in big chunks,
// and the grid index a report prints.
#ifndef BRINDLEWICK_REPORT_WRITER_H
#define BRINDLEWICK_REPORT_WRITER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "outputs/report_format.h"

namespace brindlewick {

// Grid column (or row) of a location: (loc - orig) / cell in double precision, truncated
// toward zero. A zero cell size, or a quotient that is NaN or outside the 32-bit range, has
// no grid index and prints as IMISSING3 (-9999).
std::int32_t grid_index(float loc, double orig, double cell) noexcept;

// Report lines collected in a large buffer and written to `out` in big chunks. Reports
// share standard output with the log when LOGFILE is unset, so the owner flushes before
// every library call that may write to the log.
class ReportWriter {
 public:
  explicit ReportWriter(std::FILE* out) noexcept : out_(out) {}
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  // Room for one more report; writes the buffer out first when it is nearly full.
  char* reserve() noexcept;
  void commit(char* end) noexcept { used_ = static_cast<std::size_t>(end - buffer_); }
  // Adds text of any length (the labelled reports and their totals, blocks of kept reports);
  // a block larger than the buffer goes to the stream as it is, after what was collected.
  void write(std::string_view text) noexcept;
  // Hands everything collected to the stream and flushes it. False once a write has failed.
  bool flush() noexcept;

 private:
  static constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
  bool write_out() noexcept;

  std::FILE* out_;
  std::size_t used_ = 0;
  bool unflushed_ = false;
  bool failed_ = false;
  char buffer_[kBufferBytes];
};

}  // namespace brindlewick

#endif  // BRINDLEWICK_REPORT_WRITER_H
