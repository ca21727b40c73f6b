// Throughput of the difference report: the library's own formatter against one snprintf per
// report of the same ten items.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "outputs/report_format.h"

namespace {

struct ReportItems {
  int col, row;
  float lat, lon, x, y;
  int c, r, gcol, grow;
};

constexpr std::size_t kBatch = 4096;

// Cells of a continental grid: latitudes, longitudes and projected metres, all in fixed form.
std::vector<ReportItems> grid_reports() {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> index(1, 5000);
  std::uniform_real_distribution<float> lat(-90.0F, 90.0F), lon(-180.0F, 180.0F),
      metres(-5.0e6F, 5.0e6F);
  std::vector<ReportItems> v(kBatch);
  for (auto& it : v) {
    it = {index(rng),  index(rng), lat(rng),   lon(rng),   metres(rng),
          metres(rng), index(rng), index(rng), index(rng), index(rng)};
  }
  return v;
}

// Magnitudes across the whole float range: mostly exponent form, including the widest
// arithmetic (denormals and values beyond 10^8).
std::vector<ReportItems> wide_reports() {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> exponent(-45.0F, 38.0F), mantissa(1.0F, 10.0F);
  auto value = [&] {
    return mantissa(rng) * std::pow(10.0F, static_cast<float>(static_cast<int>(exponent(rng))));
  };
  std::vector<ReportItems> v(kBatch);
  for (auto& it : v) {
    it = {static_cast<int>(rng()), -1, value(), value(), value(), value(), 1, 2, 3, 4};
  }
  return v;
}

// Writes the batch over and over into one caller-owned buffer, as the tool fills its output
// buffer; `write` appends one report and returns the new end.
template <typename Write>
void run_reports(benchmark::State& state, const std::vector<ReportItems>& items, Write write) {
  std::vector<char> buf(kBatch * (brindlewick::kReportSize + 1));
  std::size_t i = 0;
  char* out = buf.data();
  for (auto _ : state) {
    out = write(out, items[i]);
    if (++i == kBatch) {
      benchmark::DoNotOptimize(buf.data());
      benchmark::ClobberMemory();
      i = 0;
      out = buf.data();
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

char* append_items(char* out, const ReportItems& it) {
  return brindlewick::append_report(out, it.col, it.row, it.lat, it.lon, it.x, it.y, it.c, it.r,
                                    it.gcol, it.grow);
}

// The same report shape written with one snprintf (every REAL in exponent form: the cheapest
// single format; the fixed-or-exponent rule would cost more).
char* snprintf_items(char* out, const ReportItems& it) {
  return out + std::snprintf(out, brindlewick::kReportSize + 1,
                             "%12d%12d%15.7E%15.7E%15.7E\n%15.7E%12d%12d%12d%12d\n", it.col, it.row,
                             static_cast<double>(it.lat), static_cast<double>(it.lon),
                             static_cast<double>(it.x), static_cast<double>(it.y), it.c, it.r,
                             it.gcol, it.grow);
}

void BM_AppendReportGrid(benchmark::State& state) {
  run_reports(state, grid_reports(), append_items);
}
void BM_SnprintfReportGrid(benchmark::State& state) {
  run_reports(state, grid_reports(), snprintf_items);
}
void BM_AppendReportWide(benchmark::State& state) {
  run_reports(state, wide_reports(), append_items);
}
void BM_SnprintfReportWide(benchmark::State& state) {
  run_reports(state, wide_reports(), snprintf_items);
}

BENCHMARK(BM_AppendReportGrid);
BENCHMARK(BM_SnprintfReportGrid);
BENCHMARK(BM_AppendReportWide);
BENCHMARK(BM_SnprintfReportWide);

}  // namespace
