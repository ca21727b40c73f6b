// Raw bytes as a native binary file ("BIN:"): the header checks, the open, the description and
// every read.
#include <cstddef>
#include <cstdint>

#include "exercise.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kavro_fuzz::quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = kavro_fuzz::scratch("file.bin");
  if (!kavro_fuzz::write_bytes(path, data, size)) return 0;
  (void)kavro_fuzz::exercise_binary(path);
  return 0;
}
