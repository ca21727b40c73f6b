// The mistakes of a hand-written header, from plain values: what is one and what is not, and
// the fix each names.
#include "netcdf/header_mistakes.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace kavro_test {
namespace {

using kavro::detail::Mistake;

struct MistakeCase {
  const char* what;
  std::function<Mistake()> check;
  std::string cause;  // empty: no mistake
};

constexpr std::array<std::string_view, 4> kGrid = {"TSTEP", "LAY", "ROW", "COL"};
constexpr std::array<std::string_view, 3> kNoLayer = {"TSTEP", "ROW", "COL"};

TEST(HeaderMistakesTest, NamesEachMistakeWithItsFix) {
  using namespace kavro::detail;
  const MistakeCase cases[] = {
      {"a YYYYDDD date", [] { return sdate_mistake(2024366); }, ""},
      {"no date", [] { return sdate_mistake(0); }, ""},
      {"YYYYMMDD", [] { return sdate_mistake(20240701); },
       "SDATE 20240701 is not a YYYYDDD date (2024-07-01 is 2024183)"},
      {"YYYYMMDD in a leap year's March", [] { return sdate_mistake(20240301); },
       "SDATE 20240301 is not a YYYYDDD date (2024-03-01 is 2024061)"},
      {"a day past the year, no date in it", [] { return sdate_mistake(2024400); },
       "SDATE 2024400 is not a YYYYDDD date"},
      {"eight digits that are no date", [] { return sdate_mistake(20230229); },
       "SDATE 20230229 is not a YYYYDDD date"},
      {"an hourly TSTEP", [] { return tstep_mistake(10000, 2024033, 0, 2024033, 10000); }, ""},
      {"TSTEP in seconds", [] { return tstep_mistake(3600, 2024033, 0, 2024033, 10000); },
       "TSTEP 3600 is in seconds, TFLAG steps by 010000: write TSTEP 10000"},
      {"a day in seconds", [] { return tstep_mistake(86400, 2024033, 0, 2024034, 0); },
       "TSTEP 86400 is in seconds, TFLAG steps by 240000: write TSTEP 240000"},
      {"a second record not written", [] { return tstep_mistake(3600, 2024033, 0, 0, 0); }, ""},
      {"flags of another step", [] { return tstep_mistake(3600, 2024033, 0, 2024033, 20000); }, ""},
      {"names padded", [] { return var_list_mistake(2, "O3              NO2             "); }, ""},
      {"last name short", [] { return var_list_mistake(2, "O3              NO2"); }, ""},
      {"a C writer's NUL", [] { return var_list_mistake(1, std::string_view("O3\0", 3)); }, ""},
      {"NVARS over the names", [] { return var_list_mistake(3, "O3              NO2"); },
       "NVARS 3 does not match the 2 names of VAR-LIST (O3, NO2): write NVARS 2"},
      {"NVARS under the names", [] { return var_list_mistake(1, "O3              NO2"); },
       "NVARS 1 does not match the 2 names of VAR-LIST (O3, NO2): write NVARS 2"},
      {"names not padded", [] { return var_list_mistake(3, "O3 NO2 CO"); },
       "NVARS 3 does not match the 1 name of VAR-LIST (O3 NO2 CO): pad each name to 16 "
       "characters"},
      {"many names",
       [] { return var_list_mistake(9, std::string(5 * 16, 'A').replace(16, 1, "B")); },
       "NVARS 9 does not match the 5 names of VAR-LIST (AAAAAAAAAAAAAAAA, BAAAAAAAAAAAAAAA, "
       "AAAAAAAAAAAAAAAA, AAAAAAAAAAAAAAAA, ...): write NVARS 5"},
      {"the grid's shape", [] { return shape_mistake("O3", kGrid, kGrid); }, ""},
      {"no layer", [] { return shape_mistake("O3              ", kNoLayer, kGrid); },
       "variable O3 has dimensions (TSTEP, ROW, COL), needs (TSTEP, LAY, ROW, COL)"},
      {"the same type", [] { return type_mistake("P_ALP", "double", "double"); }, ""},
      {"float for double", [] { return type_mistake("P_ALP", "float", "double"); },
       "P_ALP is float, must be double"},
  };
  for (const MistakeCase& c : cases) {
    EXPECT_EQ(c.check().view(), c.cause) << c.what;
  }
}

}  // namespace
}  // namespace kavro_test
