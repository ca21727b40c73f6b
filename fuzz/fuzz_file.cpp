// Raw file bytes through the header check, the open, the description and every read, and for
// a file refused the tool's survey of what it lacks and its line with the cause.
#include <cstddef>
#include <cstdint>

#include "exercise.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kavro_fuzz::quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = kavro_fuzz::scratch("file.nc");
  if (!kavro_fuzz::write_bytes(path, data, size)) return 0;
  (void)kavro_fuzz::exercise_file(path);
  return 0;
}
