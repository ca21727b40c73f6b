#include "outputs/summary.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "kavro/kavro.h"
#include "outputs/number_text.h"

namespace brindlewick {
namespace {

// Wide enough for the longest label and the space after it, so the values line up.
constexpr std::size_t kLabelWidth = 32;

std::string labelled(std::string_view label, std::string_view value) {
  std::string s = "  ";
  s += label;
  s.resize(std::max(s.size() + 1, kLabelWidth), ' ');
  s += value;
  return s;
}

std::string count_text(std::uint64_t n) {
  std::string s;
  append_integer(s, static_cast<std::int64_t>(n));
  return s;
}

void keep_larger(Extreme& e, double measure, double a, double b, const CellPlace& at) noexcept {
  if (e.found && !(measure > e.measure)) return;
  e = {true, measure, a, b, at};
}

// The extreme's three lines: the measure, where, and both values.
void extreme_lines(std::vector<std::string>& out, std::string_view label, const Extreme& e,
                   int vtype) {
  if (!e.found) {
    out.push_back(labelled(label, "none"));
    return;
  }
  out.push_back(labelled(label, value_text(e.measure, difference_type(vtype))));
  std::string where = "    at " + date_time_text(e.at.jdate, e.at.jtime) + " layer ";
  append_integer(where, e.at.layer);
  where += " column ";
  append_integer(where, e.at.col);
  where += " row ";
  append_integer(where, e.at.row);
  where += ", latitude ";
  append_shortest(where, e.at.lat);
  where += " longitude ";
  append_shortest(where, e.at.lon);
  out.push_back(where);
  out.push_back("    INFILE1 " + value_text(e.a, vtype) + ", INFILE2 " + value_text(e.b, vtype));
}

void pad_right(std::string& s, std::size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
}

void pad_left(std::string& s, std::size_t width) {
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
}

// ROWS as lines into OUT, GAP between columns as wide as their widest entry: the first column
// left-aligned, the others right-aligned.
template <std::size_t N>
void append_aligned(std::vector<std::array<std::string, N>>& rows, std::string_view gap,
                    std::vector<std::string>& out) {
  std::array<std::size_t, N> width{};
  for (const auto& r : rows) {
    for (std::size_t c = 0; c < N; ++c) width[c] = std::max(width[c], r[c].size());
  }
  for (auto& r : rows) {
    pad_right(r[0], width[0]);
    std::string line = r[0];
    for (std::size_t c = 1; c < N; ++c) {
      pad_left(r[c], width[c]);
      line.append(gap).append(r[c]);
    }
    out.push_back(line);
  }
}

}  // namespace

void VariableStats::begin_step(std::uint64_t cells) noexcept {
  ++steps;
  compared += cells;
  step_differs_ = false;
  step_cells_ = cells;
  step_nan_any_ = 0;
  step_ = {};
  step_sum_squares_ = 0.0;
}

void VariableStats::add_cell(double a, double b, bool reported, const CellPlace& at) noexcept {
  const bool nan_a = std::isnan(a);
  const bool nan_b = std::isnan(b);
  if (reported) {
    ++differing;
    ++step_.differing;
    step_differs_ = true;
  }
  if (nan_a || nan_b) {
    ++nan_any;
    ++step_nan_any_;
    if (nan_a != nan_b) ++nan_number;
    return;
  }
  const double d = std::fabs(b - a);
  sum_squares += d * d;
  step_sum_squares_ += d * d;
  step_.largest_abs = std::max(step_.largest_abs, d);
  keep_larger(largest_abs, d, a, b, at);
  const double rel = d / std::max(std::fabs(a), std::fabs(b));
  // An infinity against another value has no relative difference.
  if (!std::isnan(rel)) keep_larger(largest_rel, rel, a, b, at);
}

void VariableStats::end_step(int jdate, int jtime) noexcept {
  step_.jdate = jdate;
  step_.jtime = jtime;
  const std::uint64_t n = step_cells_ - std::min(step_cells_, step_nan_any_);
  step_.rms = n == 0 ? 0.0 : std::sqrt(step_sum_squares_ / static_cast<double>(n));
  series.push_back(step_);
  if (!step_differs_) return;
  if (steps_differing++ == 0) {
    first_jdate = jdate;
    first_jtime = jtime;
  }
}

double VariableStats::rms() const noexcept {
  const std::uint64_t n = compared - std::min(compared, nan_any);
  return n == 0 ? 0.0 : std::sqrt(sum_squares / static_cast<double>(n));
}

int difference_type(int vtype) noexcept {
  return vtype == kavro::XQDBLE ? kavro::XQDBLE : kavro::XQREAL;
}

std::string date_time_text(int jdate, int jtime) {
  char text[32];
  std::snprintf(text, sizeof text, "%d:%06d", jdate, jtime);
  return text;
}

std::vector<std::string> summary_block(const VariableStats& s) {
  std::vector<std::string> out;
  out.emplace_back();
  out.push_back("Summary of \"" + s.name + "\" (" + (s.units.empty() ? "no units" : s.units) + ")");
  std::string steps = count_text(s.compared) + " in ";
  append_integer(steps, s.steps);
  steps += s.steps == 1 ? " step" : " steps";
  out.push_back(labelled("cells compared:", steps));
  out.push_back(labelled("cells differing:", count_text(s.differing)));
  out.push_back(labelled("NaN against a number:", count_text(s.nan_number)));
  std::string differing;
  append_integer(differing, s.steps_differing);
  differing += " of ";
  append_integer(differing, s.steps);
  if (s.steps_differing > 0) differing += ", first " + date_time_text(s.first_jdate, s.first_jtime);
  out.push_back(labelled("steps with differences:", differing));
  extreme_lines(out, "largest |difference|:", s.largest_abs, s.vtype);
  extreme_lines(out, "largest relative difference:", s.largest_rel, s.vtype);
  out.push_back(labelled("RMS difference:", value_text(s.rms(), difference_type(s.vtype))));
  if (s.tolerance_set) {
    std::string tol = "absolute ";
    append_shortest(tol, s.tolerance_abs);
    tol += ", relative ";
    append_shortest(tol, s.tolerance_rel);
    out.push_back(labelled("tolerance:", tol));
    // 0.4: the largest difference is 40% of what the tolerance allows.
    out.push_back(labelled("margin:", value_text(s.margin, difference_type(s.vtype)) +
                                          " (largest difference / allowed)"));
  }
  return out;
}

std::vector<std::string> summary_table(std::span<const VariableStats> all) {
  using Row = std::array<std::string, 4>;
  std::vector<Row> rows = {{"Variable", "differing cells", "largest |difference|", "RMS"}};
  for (const VariableStats& s : all) {
    const int real_type = difference_type(s.vtype);
    rows.push_back({s.name, count_text(s.differing),
                    s.largest_abs.found ? value_text(s.largest_abs.measure, real_type) : "none",
                    value_text(s.rms(), real_type)});
  }
  std::vector<std::string> out = {"", "Summary of all variables"};
  append_aligned(rows, "   ", out);
  return out;
}

std::vector<std::string> terminal_table(std::span<const VariableStats> all) {
  using Row = std::array<std::string, 10>;
  std::vector<Row> rows = {{"variable", "compared", "differing", "largest |diff|", "at", "layer",
                            "col,row", "lat,lon", "RMS", "first differing"}};
  for (const VariableStats& s : all) {
    const int real_type = difference_type(s.vtype);
    const Extreme& e = s.largest_abs;
    Row r;
    r[0] = s.name;
    r[1] = count_text(s.compared);
    r[2] = count_text(s.differing);
    if (e.found) {
      r[3] = value_text(e.measure, real_type);
      r[4] = date_time_text(e.at.jdate, e.at.jtime);
      append_integer(r[5], e.at.layer);
      append_integer(r[6], e.at.col);
      r[6] += ',';
      append_integer(r[6], e.at.row);
      append_shortest(r[7], e.at.lat);
      r[7] += ',';
      append_shortest(r[7], e.at.lon);
    } else {
      r[3] = "none";
      r[4] = r[5] = r[6] = r[7] = "-";
    }
    r[8] = value_text(s.rms(), real_type);
    r[9] = s.steps_differing > 0 ? date_time_text(s.first_jdate, s.first_jtime) : "-";
    rows.push_back(r);
  }
  std::vector<std::string> out;
  append_aligned(rows, "  ", out);
  return out;
}

std::string unreported_line(const VariableStats& s, std::int64_t cap) {
  std::string line = "Variable \"" + s.name + "\": " + count_text(s.unreported) +
                     " differing cells not reported (BRINDLEWICK_MAX_REPORTS ";
  append_integer(line, cap);
  return line + ")";
}

}  // namespace brindlewick
