#include "support/classic_end.h"

#include <gtest/gtest.h>

#include "netcdf/classic/classic_header.h"

namespace kavro_test {

std::uint64_t classic_data_end(const std::string& path) {
  kavro::detail::classic::Header h;
  kavro::detail::classic::Problem why;
  if (!kavro::detail::classic::parse_classic_header(path.c_str(), h, why)) {
    ADD_FAILURE() << path << ": " << why.view();
    return 0;
  }
  std::uint64_t end = 0;
  for (int i = 0; i < h.nvars(); ++i) {
    const auto& v = h.var(i);
    const std::uint64_t e = v.begin + (v.record ? (h.numrecs - 1) * h.recsize : 0) + v.bytes;
    end = e > end ? e : end;
  }
  return end;
}

}  // namespace kavro_test
