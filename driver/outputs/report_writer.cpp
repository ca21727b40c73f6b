#include "outputs/report_writer.h"

#include <algorithm>
#include <cstring>

#include "kavro/kavro.h"

namespace brindlewick {

std::int32_t grid_index(float loc, double orig, double cell) noexcept {
  if (cell == 0.0) return kavro::IMISSING3;
  const double q = (static_cast<double>(loc) - orig) / cell;
  // Truncation toward zero is defined only for quotients whose integer part fits.
  if (!(q > -2147483649.0 && q < 2147483648.0)) return kavro::IMISSING3;
  return static_cast<std::int32_t>(q);
}

char* ReportWriter::reserve() noexcept {
  if (kBufferBytes - used_ < kReportSize) write_out();
  return buffer_ + used_;
}

void ReportWriter::write(std::string_view text) noexcept {
  if (text.size() > kBufferBytes) {
    write_out();
    if (!kavro::write_stream(out_, text.data(), text.size())) failed_ = true;
    unflushed_ = true;
    return;
  }
  while (!text.empty()) {
    if (used_ == kBufferBytes) write_out();
    const std::size_t n = std::min(text.size(), kBufferBytes - used_);
    std::memcpy(buffer_ + used_, text.data(), n);
    used_ += n;
    text.remove_prefix(n);
  }
}

bool ReportWriter::write_out() noexcept {
  if (used_ > 0) {
    if (!kavro::write_stream(out_, buffer_, used_)) failed_ = true;
    unflushed_ = true;
  }
  used_ = 0;
  return !failed_;
}

bool ReportWriter::flush() noexcept {
  write_out();
  // Only a stream that received reports is flushed: a step without differences costs nothing.
  if (unflushed_ && !kavro::flush_stream(out_)) failed_ = true;
  unflushed_ = false;
  return !failed_;
}

}  // namespace brindlewick
