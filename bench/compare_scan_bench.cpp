// Throughput of the cell scan on identical layers (the common case: nothing to report), per
// value type, in the machine's byte order and as a big-endian file stores the values, with
// the AVX2 scan and with the code every x86-64 processor runs. Bytes per second count both
// layers.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "run/compare.h"

namespace {

using brindlewick::CellScratch;
using brindlewick::GridFrame;
using brindlewick::Locations;
using brindlewick::ReportWriter;

constexpr int kCols = 250;
constexpr int kRows = 200;
constexpr std::size_t kCells = std::size_t{kCols} * kRows;

void scan(benchmark::State& state, int vtype, std::size_t value_bytes, kavro::ValueOrder order,
          bool generic) {
  std::vector<unsigned char> a(kCells * value_bytes), b;
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<unsigned char>(i * 7 + 1);
  b = a;
  std::vector<float> real(kCells, 1.0F);
  std::vector<std::int32_t> ints(kCells, 1);
  const Locations loc{real.data(), real.data(), ints.data(), ints.data(), real.data(), real.data()};
  std::vector<std::size_t> found(kCells), sorted(kCells), starts(kCols);
  const GridFrame grid{kCols, kRows, 1, 0.0, 0.0, 1.0, 1.0};
  std::FILE* out = std::fopen("/dev/null", "w");
  auto writer = std::make_unique<ReportWriter>(out);
  brindlewick::test_hooks::use_generic_scan(generic);
  for (auto _ : state) {
    benchmark::DoNotOptimize(brindlewick::compare_step(
        vtype, a.data(), b.data(), grid, loc,
        CellScratch{found.data(), sorted.data(), starts.data()}, *writer, nullptr, order));
  }
  brindlewick::test_hooks::use_generic_scan(false);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(2 * a.size()));
  writer->flush();
  std::fclose(out);
}

constexpr auto kNative = kavro::ValueOrder::native;
constexpr auto kReversed = kavro::ValueOrder::reversed;

BENCHMARK_CAPTURE(scan, real_stored_avx2, kavro::XQREAL, 4, kReversed, false);
BENCHMARK_CAPTURE(scan, real_stored_generic, kavro::XQREAL, 4, kReversed, true);
BENCHMARK_CAPTURE(scan, real_native_avx2, kavro::XQREAL, 4, kNative, false);
BENCHMARK_CAPTURE(scan, double_stored_avx2, kavro::XQDBLE, 8, kReversed, false);
BENCHMARK_CAPTURE(scan, double_stored_generic, kavro::XQDBLE, 8, kReversed, true);
BENCHMARK_CAPTURE(scan, int_stored_avx2, kavro::XQINT, 4, kReversed, false);

}  // namespace
