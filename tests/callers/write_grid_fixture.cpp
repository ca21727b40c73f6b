// write_grid_fixture PATH: the file the C and Fortran callers' tests and the examples read.
// GRDDED3, 4 columns x 3 rows x 2 layers, two hourly steps from 2024033:000000, variables O3
// (REAL, ppmV), CLASS (INTEGER, 1) and TEMP (DOUBLE, K), each value
// var*1000 + rec*100 + lay*10 + row + col*0.25, exact in every type.
#include <cstdio>
#include <string>

#include "gridwriter/fixture_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_grid_fixture PATH\n");
    return 2;
  }
  kavro_test::FixtureSpec fx;
  fx.vars = {kavro_test::described_var("O3", kavro_test::kReal, "ppmV", "ozone"),
             kavro_test::described_var("CLASS", kavro_test::kInt, "1", "class"),
             kavro_test::described_var("TEMP", kavro_test::kDouble, "K", "temperature")};
  fx.value = [](int var, int rec, int lay, int row, int col) {
    return var * 1000.0 + rec * 100.0 + lay * 10.0 + row + col * 0.25;
  };
  std::remove(argv[1]);
  return kavro_test::write_fixture(argv[1], fx) ? 0 : 1;
}
