// Writes the HTML and JUnit reports of a made-up folder run, its difference maps (drawn by the
// tool's own map code) and the run's facts as JSON, for the browser test, the JUnit schema test
// and the page benchmark:
//   write_folder_reports DIR            the test's small run: DIR/page.html, DIR/junit.xml,
//                                       DIR/expected.json
//   write_folder_reports DIR PAIRS VARS a run of PAIRS pairs of VARS differing variables each
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/folder_builders.h"
#include "folder/folder_result.h"
#include "outputs/diff_map.h"
#include "outputs/html_report.h"
#include "outputs/junit_report.h"
#include "outputs/number_text.h"

namespace {

using brindlewick::FolderResult;
using brindlewick::PairResult;
using brindlewick::PairVerdict;
using brindlewick::VariableFigures;

constexpr int kCols = 100, kRows = 80;

// A map of a smooth field of differences with a few NaN cells, as a model run's error looks.
bool write_map(const std::string& path, const std::string& name, int seed) {
  brindlewick::DifferenceMap map(kCols, kRows);
  std::vector<float> lat(kCols * kRows), lon(kCols * kRows);
  for (int row = 0; row < kRows; ++row) {
    for (int col = 0; col < kCols; ++col) {
      const std::size_t cell = std::size_t(row) * kCols + std::size_t(col);
      lat[cell] = float(30.0 + 0.1 * row);
      lon[cell] = float(-110.0 + 0.12 * col);
      const double d = std::sin(0.07 * col + seed) * std::cos(0.05 * row - seed) * (1 + seed % 5);
      if (std::fabs(d) > 0.2) map.add(cell, d, 1 + seed % 3, 2024033, 10000 * (seed % 4));
      if ((col * 7 + row * 3 + seed) % 211 == 0) map.add(cell, std::nan(""), 1, 2024033, 0);
    }
  }
  const auto image =
      brindlewick::render_map(map, name + " (ppmV)", "differing cells", {lat.data(), lon.data()});
  return brindlewick::write_png(path, image, name, "");
}

VariableFigures variable(const std::string& name, std::uint64_t differing, double max_abs,
                         int steps) {
  VariableFigures v;
  v.name = name;
  v.compared = 96000;
  v.differing = differing;
  if (differing > 0) {
    v.max_abs = max_abs;
    v.max_place = {2024033, 10000, 2, 10, 3, 41.5, -100.25};
    v.rms = max_abs / 8;
    v.tolerance_abs = 0.5;
    v.margin = max_abs / 0.5;
    for (int s = 0; s < steps; ++s) {
      v.steps.push_back({2024033, 10000 * s, differing / 2, max_abs * (s + 1) / steps,
                         max_abs / 8 * (s + 1) / steps});
    }
  }
  return v;
}

using brindlewick_test::folder_pair;

FolderResult small_run() {
  FolderResult r;
  r.dir1 = "run1";
  r.dir2 = "run2";
  r.pairs = {
      folder_pair(
          "a.nc", PairVerdict::kDiffer, {"cells"},
          {variable("O3", 12, 2.75, 3), variable("TEMP", 0, 0, 0), variable("NO2", 1, 0.125, 1)}),
      folder_pair("sub/b&<c>.nc", PairVerdict::kIdentical, {},
                  {variable("O3", 0, 0, 0), variable("TEMP", 0, 0, 0)}),
      folder_pair("d.nc", PairVerdict::kFailed, {}, {}, "Could not open \"d.nc\""),
      folder_pair("e.nc", PairVerdict::kOnlyInDir1, {}, {}),
      folder_pair("f.nc", PairVerdict::kOnlyInDir2, {}, {}, "only in run2"),
      folder_pair("g.nc", PairVerdict::kDiffer, {"header", "cells"}, {variable("X", 3, 1e-07, 2)},
                  "SDATE 2024033 against 2024034"),
  };
  return r;
}

FolderResult large_run(int pairs, int vars) {
  FolderResult r;
  r.dir1 = "run1";
  r.dir2 = "run2";
  for (int p = 0; p < pairs; ++p) {
    std::vector<VariableFigures> vs;
    for (int v = 0; v < vars; ++v) {
      vs.push_back(variable("VAR" + std::to_string(v), 1000 + std::uint64_t(v), 0.5 + p + v, 25));
    }
    r.pairs.push_back(
        folder_pair("day" + std::to_string(p) + ".nc", PairVerdict::kDiffer, {"cells"}, vs));
  }
  return r;
}

// The run's facts as JSON, for the checker to work out the rows on its own.
void put_string(std::string& out, const std::string& s) {
  out += '"';
  for (char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char u[8];
      std::snprintf(u, sizeof u, "\\u%04x", c);
      out += u;
    } else {
      out += c;
    }
  }
  out += '"';
}

std::string facts_json(const FolderResult& r) {
  static const char* const kVerdicts[] = {"identical", "differ", "failed", "only_in_dir1",
                                          "only_in_dir2"};
  std::string out = "{\"dir1\": ";
  put_string(out, r.dir1);
  out += ", \"dir2\": ";
  put_string(out, r.dir2);
  out += ", \"pairs\": [";
  for (const PairResult& p : r.pairs) {
    out += &p == &r.pairs.front() ? "\n{\"path\": " : ",\n{\"path\": ";
    put_string(out, p.path);
    out += ", \"verdict\": \"";
    out += kVerdicts[static_cast<int>(p.verdict)];
    out += "\", \"reason\": ";
    put_string(out, p.reason);
    out += ", \"categories\": [";
    for (const std::string& c : p.categories) {
      if (&c != &p.categories.front()) out += ", ";
      put_string(out, c);
    }
    out += "], \"variables\": [";
    for (const VariableFigures& v : p.variables) {
      if (&v != &p.variables.front()) out += ", ";
      out += "{\"name\": ";
      put_string(out, v.name);
      out += ", \"compared\": " + std::to_string(v.compared) +
             ", \"differing\": " + std::to_string(v.differing) + ", \"max_abs\": ";
      brindlewick::append_shortest(out, v.max_abs);
      out += ", \"rms\": ";
      brindlewick::append_shortest(out, v.rms);
      out += ", \"margin\": ";
      brindlewick::append_shortest(out, v.margin);
      char place[160];
      std::snprintf(place, sizeof place, ", \"place\": [%d, %d, %d, %d, %d, %.17g, %.17g]",
                    v.max_place.jdate, v.max_place.jtime, v.max_place.layer, v.max_place.column,
                    v.max_place.row, v.max_place.latitude, v.max_place.longitude);
      out += place;
      out += ", \"has_map\": ";
      out += v.map_png.empty() ? "false" : "true";
      out += "}";
    }
    out += "]}";
  }
  out += "\n]}\n";
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: write_folder_reports DIR [PAIRS VARIABLES]\n");
    return 2;
  }
  const std::string dir = argv[1];
  FolderResult run = argc == 2 ? small_run() : large_run(std::atoi(argv[2]), std::atoi(argv[3]));
  int seed = 0;
  for (PairResult& p : run.pairs) {
    for (VariableFigures& v : p.variables) {
      // One differing variable of the small run has no map, as when none was asked for.
      if (v.differing == 0 || v.name == "X") continue;
      v.map_png = dir + "/map" + std::to_string(seed) + ".png";
      if (!write_map(v.map_png, v.name, seed++)) {
        std::fprintf(stderr, "write_folder_reports: could not write %s\n", v.map_png.c_str());
        return 1;
      }
    }
  }
  std::string error;
  if (!brindlewick::write_html(run, dir + "/page.html", error) ||
      !brindlewick::write_junit(run, dir + "/junit.xml", error)) {
    std::fprintf(stderr, "write_folder_reports: %s\n", error.c_str());
    return 1;
  }
  std::FILE* json = std::fopen((dir + "/expected.json").c_str(), "w");
  const std::string text = facts_json(run);
  if (json == nullptr || std::fwrite(text.data(), 1, text.size(), json) != text.size() ||
      std::fclose(json) != 0) {
    std::fprintf(stderr, "write_folder_reports: could not write %s/expected.json\n", dir.c_str());
    return 1;
  }
  return 0;
}
