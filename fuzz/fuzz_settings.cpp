// The environment readers, the list parser and the logical-name look-up on any value: the
// yes/no, number and string readers, STRLIST into fields of several widths, NAMEVAL into
// fields of 16, 80 and 512 characters and whether the value fits them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "exercise.h"
#include "kavro/kavro.h"
#include "util/nameval.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kavro_fuzz::quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kavro_fuzz::Bytes in(data, size);
  const int width = 1 + in.byte() % 40;
  std::string value = in.rest();
  // The environment holds C strings: the value ends at its first NUL.
  value = value.substr(0, value.find('\0'));
  setenv("KAVRO_FUZZ_VALUE", value.c_str(), 1);
  int stat = 0;
  (void)kavro::ENVYN("KAVRO_FUZZ_VALUE", "fuzz", true, stat);
  (void)kavro::ENVINT("KAVRO_FUZZ_VALUE", "fuzz", 7, stat);
  (void)kavro::ENVREAL("KAVRO_FUZZ_VALUE", "fuzz", 7.0F, stat);
  (void)kavro::ENVDBLE("KAVRO_FUZZ_VALUE", "fuzz", 7.0, stat);
  kavro::Path512 path;
  kavro::ENVSTR("KAVRO_FUZZ_VALUE", "fuzz", "default", path.span(), stat);
  std::string fields(std::size_t(width) * 20, ' ');
  int count = 0;
  (void)kavro::STRLIST("KAVRO_FUZZ_VALUE", "fuzz", 20, count, std::span<char>(fields),
                       std::size_t(width));
  kavro::Name16 name;
  kavro::Line80 line;
  kavro::NAMEVAL("KAVRO_FUZZ_VALUE", name.span());
  kavro::NAMEVAL("KAVRO_FUZZ_VALUE", line.span());
  kavro::NAMEVAL("KAVRO_FUZZ_VALUE", path.span());
  (void)kavro::detail::value_fits("KAVRO_FUZZ_VALUE", 512);
  // The value as a logical name of its own.
  kavro::NAMEVAL(value, path.span());
  return 0;
}
