// A caller's own global constructor fills the description record before main: the record
// must already be there (no start-up order), and the library must keep what it was given.
#include <cstdio>
#include <cstring>

#include "kavro/kavro.h"

namespace {

struct FillsTheRecord {
  FillsTheRecord() {
    kavro::BDESC3.NCOLS3D = 25;
    kavro::BDESC3.FTYPE3D = kavro::GRDDED3;
    kavro::CDESC3.VNAME3D[0] = "O3";
    kavro::CATTS3.ATTNAM3[0][0] = "SCALE";
    kavro::BATTS3.NATTS3[0] = 1;
  }
};
const FillsTheRecord filled;

}  // namespace

int main() {
  int failures = 0;
  auto check = [&](bool ok, const char* what) {
    if (!ok) {
      std::printf("FAILED: %s\n", what);
      ++failures;
    }
  };
  check(kavro::BDESC3.NCOLS3D == 25, "NCOLS3D set before main");
  check(kavro::BDESC3.FTYPE3D == kavro::GRDDED3, "FTYPE3D set before main");
  check(kavro::CDESC3.VNAME3D[0].padded() == "O3              ", "VNAME3D blank-padded");
  check(kavro::CDESC3.VNAME3D[1].padded() == "                ", "an unset name is blank");
  check(kavro::CATTS3.ATTNAM3[0][0].trimmed() == "SCALE", "ATTNAM3 set before main");
  check(kavro::BATTS3.NATTS3[0] == 1, "NATTS3 set before main");
  std::printf("%d passed, %d failed\n", 6 - failures, failures);
  return failures == 0 ? 0 : 1;
}
