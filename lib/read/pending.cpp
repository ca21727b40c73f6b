// Bodies of the readers whose modules are not yet part of the library: each refuses with a
// warning naming what is missing, so a file of that kind fails cleanly instead of silently.
#include "read/pending.h"

#include "kavro/kavro.h"

namespace kavro {

int RDBFLAG(int, int, int, std::span<int>) {
  XQWARN("RDBFLAG", 0, 0, "Native binary (BINIO3) files are not supported by this library");
  return 0;
}

int RDBVARS(int, int, int, int, void*) {
  XQWARN("RDBVARS", 0, 0, "Native binary (BINIO3) files are not supported by this library");
  return 0;
}

bool RDBUF3(int, int, int, int jdate, int jtime, void*) {
  XQWARN("READ3/RDBUF3", jdate, jtime,
         "Memory-resident (BUFFERED) files are not supported by this library");
  return false;
}

bool RDDICT3(int, std::string_view) {
  XQWARN("RDDICT3", 0, 0, "Dictionary files are not supported by this library");
  return false;
}

}  // namespace kavro
