// Raw bytes straight into the native binary header checks, held in memory: no file, no
// stream, so the checks in front of every native binary open see inputs at memory speed.
#include <cstddef>
#include <cstdint>
#include <span>

#include "binary/binary_state.h"
#include "exercise.h"
#include "kavro/kavro.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kavro_fuzz::quiet();
  kavro::INIT3();  // the module's byte-order mark
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)kavro::detail::check_binary_header(std::span<const unsigned char>(data, size), "fuzz.bin");
  return 0;
}
