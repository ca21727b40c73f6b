// The report formatter against snprintf: every INTEGER field is "%12d", every REAL field the
// fixed or exponent form the report's rule chooses, written by snprintf here. Any difference
// is a finding.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "exercise.h"
#include "outputs/report_format.h"

namespace {

// The REAL field by the rule of the report, through snprintf.
std::string reference_real(float v) {
  char buf[64];
  if (std::isnan(v)) {
    std::snprintf(buf, sizeof buf, "%15s", "NaN");
  } else if (std::isinf(v)) {
    std::snprintf(buf, sizeof buf, "%15s", v > 0 ? "Infinity" : "-Infinity");
  } else {
    // (Zero, of either sign, lies outside [0.1, 10 000 000): the exponent form.)
    // The magnitude rounded to 7 significant digits decides the form.
    char e[32];
    std::snprintf(e, sizeof e, "%.6e", double(v));
    const double rounded = std::fabs(std::strtod(e, nullptr));
    if (rounded >= 0.1 && rounded < 1e7) {
      const int exponent = static_cast<int>(std::floor(std::log10(rounded)));
      std::snprintf(buf, sizeof buf, "%#11.*f    ", 6 - exponent, double(v));
    } else {
      std::snprintf(buf, sizeof buf, "%15.7E", double(v));
    }
  }
  return buf;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kavro_fuzz::quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kavro_fuzz::Bytes in(data, size);
  const std::int32_t i = in.int32();
  const std::uint32_t bits = static_cast<std::uint32_t>(in.int32());
  float f = 0;
  std::memcpy(&f, &bits, sizeof f);
  char out[brindlewick::kRealWidth + brindlewick::kIntWidth];
  const std::string real(out, brindlewick::append_real(out, f));
  const std::string integer(out, brindlewick::append_int(out, i));
  char want_int[32];
  std::snprintf(want_int, sizeof want_int, "%12d", i);
  if (real != reference_real(f) || integer != want_int) {
    std::fprintf(stderr, "report field differs for %d / %a: [%s] [%s]\n", i, double(f),
                 real.c_str(), integer.c_str());
    std::abort();
  }
  return 0;
}
