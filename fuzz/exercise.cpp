#include "exercise.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kavro/kavro.h"

namespace kavro_fuzz {

namespace {
// Enough for every variable of a small file at once; a larger read is refused as too big.
constexpr std::size_t kBufferBytes = std::size_t{1} << 22;
constexpr int kMaxVars = 8;
constexpr int kMaxSteps = 3;
}  // namespace

void quiet() noexcept {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  setenv("LOGFILE", "/dev/null", 1);
  unsetenv("SCENFILE");
  unsetenv("KAVRO_CHECK_HEADERS");
}

std::string scratch(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/kavro-fuzz-" + std::to_string(getpid()) +
         "-" + name;
}

bool write_bytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

int exercise_file(const std::string& path) {
  static std::vector<unsigned char> buffer(kBufferBytes);
  // INIT3 after SHUT3 resets the tables: the state is allocated once, not per input.
  setenv("INFILE1", path.c_str(), 1);
  kavro::INIT3();
  int reads = 0;
  if (kavro::OPEN3("INFILE1", kavro::FSREAD3, "fuzz") && kavro::DESC3("INFILE1")) {
    const kavro::Bdesc3 b = kavro::BDESC3;
    const int nvars = b.NVARS3D < kMaxVars ? b.NVARS3D : kMaxVars;
    const int nlays = b.NLAYS3D;
    int jdate = b.SDATE3D;
    int jtime = b.STIME3D;
    for (int step = 0; step < kMaxSteps; ++step) {
      for (int v = 0; v <= nvars; ++v) {
        // Variable 0 stands for ALL.
        const std::string name =
            v == 0 ? std::string("ALL") : std::string(kavro::CDESC3.VNAME3D[std::size_t(v - 1)].padded());
        for (int layer : {kavro::ALLAYS3, 1, nlays}) {
          reads += kavro::READ3("INFILE1", name, layer, jdate, jtime, buffer.data(),
                                buffer.size())
                       ? 1
                       : 0;
        }
      }
      kavro::NEXTIME(jdate, jtime, b.TSTEP3D);
    }
    (void)kavro::CLOSE3("INFILE1");
  }
  kavro::SHUT3();
  return reads;
}

}  // namespace kavro_fuzz
