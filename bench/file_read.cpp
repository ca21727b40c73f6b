// bench_file_read PATH VAR ROUNDS: reads every step of VAR (every layer) ROUNDS times through
// kavro::File::read and prints the CPU time (user + system seconds) of the reads alone, the
// values read and a checksum: the reference for the Python module's reads
// (bench/python_read_bench.py).
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kavro/file.h"

namespace {

double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_file_read PATH VAR ROUNDS\n");
    return 2;
  }
  try {
    const kavro::File f = kavro::File::open_path(argv[1]);
    const std::vector<kavro::Step> steps = f.steps();
    std::vector<float> values(f.value_count(argv[2], kavro::ALLAYS3));
    const int rounds = std::atoi(argv[3]);
    double sum = 0;
    const double start = cpu_seconds();
    for (int r = 0; r < rounds; ++r) {
      for (const kavro::Step& s : steps) {
        f.read<float>(argv[2], kavro::ALLAYS3, s, values);
        sum += static_cast<double>(values[values.size() / 2]);
      }
    }
    const double cpu = cpu_seconds() - start;
    std::printf("cpu %.6f values %zu checksum %.9g\n", cpu,
                values.size() * steps.size() * static_cast<std::size_t>(rounds), sum);
  } catch (const kavro::Error& e) {
    std::fprintf(stderr, "bench_file_read: %s\n", e.what());
    return 1;
  }
  return 0;
}
