// Values per layer by file type: the one rule the netCDF, native binary and memory-resident
// kinds size their layers by.
#include "util/layer_size.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <ostream>

#include "kavro/params.h"

namespace kavro_test {
namespace {

using kavro::detail::layer_size;
using kavro::detail::perimeter;

struct LayerCase {
  const char* what;
  int ftype;
  std::int64_t ncols, nrows, nthik;
  std::optional<std::int64_t> values;
};

std::ostream& operator<<(std::ostream& os, const LayerCase& c) { return os << c.what; }

class LayerSizeTest : public ::testing::TestWithParam<LayerCase> {};

// Every type code in turn on one 10 x 20 grid of thickness 1, then the edges: a signed
// thickness, counts beyond 32 bits, and products beyond 64 bits, which saturate on their own
// side rather than wrap.
TEST_P(LayerSizeTest, ValuesPerLayer) {
  const LayerCase& c = GetParam();
  EXPECT_EQ(layer_size(c.ftype, c.ncols, c.nrows, c.nthik), c.values);
}

constexpr std::int64_t kMax = INT64_MAX;
constexpr std::int64_t kMin = INT64_MIN;

INSTANTIATE_TEST_SUITE_P(
    Types, LayerSizeTest,
    ::testing::Values(
        LayerCase{"event: rows", kavro::KFEVNT3, 10, 20, 1, 20},
        LayerCase{"directed graph: none", kavro::DGRAPH3, 10, 20, 1, std::nullopt},
        LayerCase{"custom: columns", kavro::CUSTOM3, 10, 20, 1, 10},
        LayerCase{"dictionary: none", kavro::DCTNRY3, 10, 20, 1, std::nullopt},
        LayerCase{"gridded: cells", kavro::GRDDED3, 10, 20, 1, 200},
        LayerCase{"boundary: perimeter", kavro::BNDARY3, 10, 20, 1, 64},
        LayerCase{"sites: rows", kavro::IDDATA3, 10, 20, 1, 20},
        LayerCase{"profile: sites x levels", kavro::PROFIL3, 10, 20, 1, 200},
        LayerCase{"nest: sites x levels", kavro::GRNEST3, 10, 20, 1, 200},
        LayerCase{"sparse matrix: coefficients", kavro::SMATRX3, 10, 20, 1, 10},
        LayerCase{"type 7: cells", kavro::kTypeSeven, 10, 20, 1, 200},
        LayerCase{"butterfly: cells", kavro::PTRFLY3, 10, 20, 1, 200},
        LayerCase{"illegal -4", -4, 10, 20, 1, std::nullopt},
        LayerCase{"illegal 9", 9, 10, 20, 1, std::nullopt},
        LayerCase{"illegal INT_MIN", INT_MIN, 10, 20, 1, std::nullopt},
        LayerCase{"illegal INT_MAX", INT_MAX, 10, 20, 1, std::nullopt},
        // The boundary takes the thickness unsigned in the leading factor, signed inside.
        LayerCase{"boundary, negative thickness", kavro::BNDARY3, 10, 20, -1, 56},
        LayerCase{"boundary, thickness 0", kavro::BNDARY3, 10, 20, 0, 0},
        LayerCase{"boundary, thickness INT_MIN", kavro::BNDARY3, 10, 20, INT32_MIN, kMin},
        LayerCase{"boundary, thickness INT_MAX", kavro::BNDARY3, INT32_MAX, INT32_MAX, INT32_MAX,
                  kMax},
        // The thickness sizes only the boundary.
        LayerCase{"gridded ignores thickness", kavro::GRDDED3, 10, 20, -7, 200},
        LayerCase{"gridded beyond 32 bits", kavro::GRDDED3, 100000, 100000, 0, 10000000000LL},
        LayerCase{"gridded saturates high", kavro::GRDDED3, kMax, 2, 0, kMax},
        LayerCase{"gridded saturates low", kavro::GRDDED3, kMax, -2, 0, kMin},
        LayerCase{"profile saturates", kavro::PROFIL3, kMin, kMin, 0, kMax},
        // Counts are not checked here: a negative count passes through for the caller to refuse.
        LayerCase{"custom, negative columns", kavro::CUSTOM3, -3, 20, 1, -3},
        LayerCase{"sites, negative rows", kavro::IDDATA3, 10, -4, 1, -4}));

// A thickness at the ends of the 32-bit range is computed without overflow: exact where 64
// bits hold it (a negative size, which the opener refuses), saturated where they do not.
TEST(PerimeterTest, AtTheEndsOfTheRange) {
  EXPECT_EQ(perimeter(10, 20, 1), 64);
  EXPECT_EQ(perimeter(2147483647, 2147483647, -2147483648LL), -8589934592LL);
  EXPECT_EQ(perimeter(2147483647, 2147483647, 2147483647), INT64_MAX);
  EXPECT_EQ(perimeter(kMax, kMax, 1), INT64_MAX);
  EXPECT_EQ(perimeter(kMin, 0, 1), INT64_MIN);
}

}  // namespace
}  // namespace kavro_test
