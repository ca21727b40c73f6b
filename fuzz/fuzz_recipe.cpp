// Files built from a recipe: a file of the layout whose type, shape, time step, variables and
// header attributes come from the input, biased to the ends of their ranges, then a few bytes
// of the written file changed, then the same path as the raw bytes.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "exercise.h"
#include "gridwriter/fixture_writer.h"

namespace {

using kavro_fuzz::Bytes;

constexpr int kTypes[] = {1, 2, 3, 4, 5, 6, 7, 8, -1, -3, 0, -2, 9};
constexpr int kSmall[] = {0, 1, 2, 3, 5};
constexpr int kSteps[] = {0, 10000, -10000, 3600, INT_MIN, INT_MAX, 1, -1};
constexpr int kValueTypes[] = {4, 5, 6, 4, 5, 6, 1, 2, 3};
constexpr int kBoundary[] = {0,       1,           -1,          2,      100,   101,
                             2047,    2048,        2049,        65535,  65536, INT_MAX,
                             INT_MIN, INT_MAX - 1, INT_MIN + 1, 1 << 30};
const char* const kAttributes[] = {"FTYPE", "NVARS", "TSTEP", "SDATE", "STIME", "NTHIK",
                                   "NCOLS", "NROWS", "NLAYS", "GDTYP", "VGTYP", "CDATE"};
const char* const kDroppable[] = {"VAR-LIST", "VGLVLS",   "GDNAM",   "TSTEP",
                                  "NTHIK",    "FILEDESC", "EXEC_ID", "UPNAM"};

kavro_test::FixtureSpec recipe(Bytes& in) {
  kavro_test::FixtureSpec s;
  s.ftype = in.pick(kTypes);
  s.ncols = in.pick(kSmall);
  s.nrows = in.pick(kSmall);
  s.nlays = in.pick(kSmall);
  s.nthik = in.pick(kSmall) - 2;
  s.tstep = in.pick(kSteps);
  s.records = in.byte() % 4;
  s.offset64 = (in.byte() & 1) != 0;
  s.cdf5 = !s.offset64 && (in.byte() & 1) != 0;
  const int nvars = in.byte() % 5;
  for (int v = 1; v <= nvars; ++v) {
    char name[8];
    std::snprintf(name, sizeof name, "V%d", v);
    s.vars.push_back(kavro_test::described_var(name, in.pick(kValueTypes), "u", ""));
  }
  for (int n = in.byte() % 4; n > 0; --n) {
    s.override_int(kAttributes[in.byte() % std::size(kAttributes)], in.pick(kBoundary));
  }
  if ((in.byte() & 3) == 0) s.drop(kDroppable[in.byte() % std::size(kDroppable)]);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kavro_fuzz::quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = kavro_fuzz::scratch("recipe.nc");
  Bytes in(data, size);
  const kavro_test::FixtureSpec s = recipe(in);
  if (!kavro_test::write_fixture(path, s)) return 0;
  // Up to four bytes changed at positions the input gives (a two-byte position each).
  const int changes = in.byte() % 5;
  if (changes > 0) {
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (f == nullptr) return 0;
    for (int i = 0; i < changes; ++i) {
      const long pos = long(in.byte()) << 8 | in.byte();
      const int value = in.byte();
      if (std::fseek(f, pos, SEEK_SET) == 0) std::fputc(value, f);
    }
    std::fclose(f);
  }
  (void)kavro_fuzz::exercise_file(path);
  return 0;
}
