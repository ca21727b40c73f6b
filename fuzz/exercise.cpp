#include "exercise.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kavro/file_gaps.h"
#include "kavro/kavro.h"
#include "options/file_names.h"
#include "run/compare_checks.h"

namespace kavro_fuzz {

namespace {
// Enough for every variable of a small file at once; a larger read is refused as too big.
constexpr std::size_t kBufferBytes = std::size_t{1} << 14;
constexpr int kMaxVars = 8;
constexpr int kMaxSteps = 3;

// One read's outcome: whether it succeeded and a hash of the whole buffer.
struct Outcome {
  bool ok;
  std::uint64_t hash;
  bool operator==(const Outcome&) const = default;
};

std::uint64_t fnv1a(const unsigned char* p, std::size_t n) {
  std::uint64_t h = 1469598103934665603ULL;
  for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ULL;
  return h;
}

// The read that may leave the file's byte order, with the values then put in the machine's:
// the same outcome as the plain read.
Outcome read_in_stored_order(const std::string& name, int layer, int jdate, int jtime, int vtype) {
  static std::vector<unsigned char> buffer(kBufferBytes);
  std::fill(buffer.begin(), buffer.end(), 0xA5);
  kavro::ValueOrder order{};
  const bool ok =
      kavro::READ3("INFILE1", name, layer, jdate, jtime, buffer.data(), buffer.size(), order);
  if (order == kavro::ValueOrder::reversed) {
    // netCDF type codes: 1 and 2 one byte, 3 two, 6 eight, the others four.
    const std::size_t size = vtype == 6 ? 8 : (vtype == 3 ? 2 : (vtype <= 2 ? 1 : 4));
    for (std::size_t i = 0; i + size <= buffer.size(); i += size) {
      std::reverse(buffer.begin() + std::ptrdiff_t(i), buffer.begin() + std::ptrdiff_t(i + size));
    }
  }
  return {ok, fnv1a(buffer.data(), buffer.size())};
}

[[noreturn]] void broken(const char* what, const std::string& value) {
  std::fprintf(stderr, "%s: %s\n", what, value.c_str());
  std::abort();
}

// What the tool says of INFILE1 (VALUE) when it does not open or describe: the survey of what
// it lacks, then the line with the cause. The survey goes through the same way into the netCDF
// library as the open; the line must give a cause.
void tell_as_the_tool(const std::string& value, std::string_view mesg) {
  if (!value.starts_with("BIN:")) {
    const std::vector<std::string> gaps = kavro::file_gaps(value);
    if (!gaps.empty() && kavro::file_gaps_line(value, gaps).find(" lacks ") == std::string::npos) {
      broken("a survey line that lists nothing", value);
    }
  }
  const std::string line = brindlewick::file_stop_line(
      "INFILE1", brindlewick::name_state("INFILE1"), kavro::last_file_failure(), mesg);
  if (!line.starts_with("brindlewick: ") || !line.ends_with("\n") ||
      line.size() <= std::string_view("brindlewick: \n").size()) {
    broken("a stop line without a cause", value);
  }
}

// Opens PATH as INFILE1, describes it, reads from it; the outcome of every read. A file that
// does not open or describe is told as the tool tells it.
std::vector<Outcome> read_all(const std::string& value) {
  static std::vector<unsigned char> buffer(kBufferBytes);
  std::vector<Outcome> out;
  // INIT3 after SHUT3 resets the tables: the state is allocated once, not per input.
  setenv("INFILE1", value.c_str(), 1);
  kavro::INIT3();
  kavro::clear_file_failure();
  bool opened = kavro::OPEN3("INFILE1", kavro::FSREAD3, "fuzz");
  if (!opened) tell_as_the_tool(value, brindlewick::open_failure_message("INFILE1").trimmed());
  kavro::clear_file_failure();
  if (opened && !kavro::DESC3("INFILE1")) {
    tell_as_the_tool(value, brindlewick::kDescFailure);
    opened = false;
  }
  if (opened) {
    const kavro::Bdesc3 b = kavro::BDESC3;
    const int nvars = b.NVARS3D < kMaxVars ? b.NVARS3D : kMaxVars;
    int jdate = b.SDATE3D;
    int jtime = b.STIME3D;
    for (int step = 0; step < kMaxSteps; ++step) {
      for (int v = 0; v <= nvars; ++v) {
        // Variable 0 stands for ALL.
        const std::string name =
            v == 0 ? std::string("ALL")
                   : std::string(kavro::CDESC3.VNAME3D[std::size_t(v - 1)].padded());
        for (int layer : {kavro::ALLAYS3, 1, b.NLAYS3D}) {
          std::fill(buffer.begin(), buffer.end(), 0xA5);
          const bool ok =
              kavro::READ3("INFILE1", name, layer, jdate, jtime, buffer.data(), buffer.size());
          out.push_back({ok, fnv1a(buffer.data(), buffer.size())});
          if (v > 0) {
            out.push_back(
                read_in_stored_order(name, layer, jdate, jtime, b.VTYPE3D[std::size_t(v - 1)]));
          }
        }
      }
      kavro::NEXTIME(jdate, jtime, b.TSTEP3D);
    }
    (void)kavro::CLOSE3("INFILE1");
  }
  kavro::SHUT3();
  return out;
}
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
  // The direct data path and the netCDF library must agree on every read: the same results,
  // the same bytes.
  unsetenv("KAVRO_DIRECT_READ");
  const std::vector<Outcome> direct = read_all(path);
  setenv("KAVRO_DIRECT_READ", "N", 1);
  const std::vector<Outcome> netcdf = read_all(path);
  unsetenv("KAVRO_DIRECT_READ");
  if (direct != netcdf) {
    std::fprintf(stderr, "the direct path and the netCDF library differ on %s\n", path.c_str());
    std::abort();
  }
  int reads = 0;
  for (const Outcome& o : direct) reads += o.ok ? 1 : 0;
  return reads;
}

int exercise_binary(const std::string& path) {
  int reads = 0;
  for (const Outcome& o : read_all("BIN:" + path)) reads += o.ok ? 1 : 0;
  return reads;
}

}  // namespace kavro_fuzz
