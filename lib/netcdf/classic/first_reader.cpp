#include "netcdf/classic/first_reader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "core/syscalls.h"

namespace kavro::detail {

FirstReader first_reader(const char* path, classic::Problem& why) {
  const int fd = sys::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    why << "cannot be opened: " << std::strerror(errno);
    return FirstReader::kFailed;
  }
  struct stat st {};
  std::array<unsigned char, 4> magic{};
  FirstReader first = FirstReader::kHeaderCheck;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    const long long got = sys::pread_full(fd, magic.data(), magic.size(), 0);
    if (got < 0) {
      why << "cannot be read: " << std::strerror(errno);
      first = FirstReader::kFailed;
    } else {
      const bool classic = got == 4 && magic[0] == 'C' && magic[1] == 'D' && magic[2] == 'F' &&
                           (magic[3] == 1 || magic[3] == 2 || magic[3] == 5);
      first = classic ? FirstReader::kHeaderCheck : FirstReader::kNetcdf;
    }
  }
  (void)sys::close(fd);  // opened read-only: nothing to lose
  return first;
}

}  // namespace kavro::detail
