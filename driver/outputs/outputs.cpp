#include "outputs/outputs.h"

#include <cmath>
#include <cstdio>

#include "kavro/kavro.h"
#include "outputs/csv_format.h"
#include "run/tolerances.h"
#include "run/verdict.h"

namespace brindlewick {
namespace {

// CSV rows are handed to the file in pieces of about this size.
constexpr std::size_t kCsvChunk = std::size_t{1} << 20;

void set_mesg(Mesg& mesg, const char* what, const std::string& path) noexcept {
  char text[Mesg::size() + 1];
  std::snprintf(text, sizeof text, "%s \"%s\"", what, path.c_str());
  mesg.assign(text);
}

void log_lines(const std::vector<std::string>& lines) noexcept {
  for (const std::string& line : lines) kavro::XQMSG2(line);
}

std::string count_text(std::uint64_t n) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(n));
  return text;
}

}  // namespace

Outputs::Outputs(const Settings& settings, const GridFrame& grid, const Locations& loc,
                 ReportWriter& reports) noexcept
    : settings_(settings), grid_(grid), loc_(loc), reports_out_(reports) {}

Outputs::~Outputs() {
  if (csv_ != nullptr) std::fclose(csv_);
}

bool Outputs::start(Mesg& mesg) noexcept {
  if (settings_.tolerance.set) kavro::XQMSG2(tolerance_line(settings_.tolerance));
  if (settings_.tolerances.loaded) {
    kavro::XQMSG2("Tolerances per variable from \"" + settings_.tolerances_path + "\"");
  }
  if (settings_.csv_path.empty()) return true;
  // "x": a file that appeared since the settings were read is refused, not overwritten.
  csv_ = std::fopen(settings_.csv_path.c_str(), "wx");
  if (csv_ == nullptr) {
    set_mesg(mesg, "Could not create CSV file", settings_.csv_path);
    return false;
  }
  csv_rows_.reserve(kCsvChunk + 1024);
  csv_rows_ = kCsvHeader;
  return write_csv(mesg);
}

void Outputs::begin_variable(std::string_view vname, std::string_view units, int vtype) noexcept {
  VariableStats s;
  s.name = kavro::trimmed(vname);
  s.units = kavro::trimmed(units);
  s.vtype = vtype;
  tolerance_ = settings_.tolerance_for(s.name);
  s.tolerance_set = tolerance_.set;
  s.tolerance_abs = tolerance_.absolute;
  s.tolerance_rel = tolerance_.relative;
  stats_.push_back(std::move(s));
  if (!settings_.maps_dir.empty()) map_ = std::make_unique<DifferenceMap>(grid_.ncols, grid_.nrows);
}

void Outputs::begin_step(int jdate, int jtime) noexcept {
  jdate_ = jdate;
  jtime_ = jtime;
  const auto extent = [](int n) { return static_cast<std::uint64_t>(n < 0 ? 0 : n); };
  stats_.back().begin_step(extent(grid_.ncols) * extent(grid_.nrows) * extent(grid_.nlays));
}

bool Outputs::differing_cell(std::size_t cell, int layer, std::uint64_t a,
                             std::uint64_t b) noexcept {
  VariableStats& s = stats_.back();
  const double na = cell_number(s.vtype, a);
  const double nb = cell_number(s.vtype, b);
  const bool nan_pair = settings_.nan_equal && std::isnan(na) && std::isnan(nb);
  const bool reported = !nan_pair && (!tolerance_.set || beyond_tolerance(na, nb, tolerance_));
  if (tolerance_.set) {
    const double margin = tolerance_margin(na, nb, tolerance_);
    if (margin > s.margin) s.margin = margin;
  }
  const auto ncols = static_cast<std::size_t>(grid_.ncols);
  const int col = static_cast<int>(cell % ncols + 1);
  const int row = static_cast<int>(cell / ncols + 1);
  s.add_cell(na, nb, reported,
             {jdate_, jtime_, layer, col, row, loc_.LATIT[cell], loc_.LONGI[cell]});
  if (!reported) return false;
  ++differing_;
  if (map_) map_->add(cell, nb - na, layer, jdate_, jtime_);
  const CsvCell fields{s.name,
                       jdate_,
                       jtime_,
                       layer,
                       col,
                       row,
                       s.vtype,
                       a,
                       b,
                       loc_.LATIT[cell],
                       loc_.LONGI[cell],
                       loc_.XLOCA[cell],
                       loc_.YLOCA[cell]};
  if (csv_ != nullptr) {
    append_csv_row(csv_rows_, fields);
    // A failed write shows at the end of the step.
    if (csv_rows_.size() >= kCsvChunk) {
      Mesg ignored;
      static_cast<void>(write_csv(ignored));
    }
  }
  if (settings_.max_reports >= 0 && reports_ >= settings_.max_reports) {
    ++s.unreported;
    return false;
  }
  ++reports_;
  if (!settings_.labelled) return true;
  // The labelled line takes the place of the two-line report.
  labelled_line_.clear();
  append_labelled_line(labelled_line_, fields);
  reports_out_.write(labelled_line_);
  return false;
}

bool Outputs::write_csv(Mesg& mesg) noexcept {
  if (csv_ == nullptr) return true;
  const bool written = std::fwrite(csv_rows_.data(), 1, csv_rows_.size(), csv_) == csv_rows_.size();
  csv_rows_.clear();
  if (written && std::ferror(csv_) == 0) return true;
  set_mesg(mesg, "Could not write CSV file", settings_.csv_path);
  return false;
}

bool Outputs::end_step(Mesg& mesg) noexcept {
  stats_.back().end_step(jdate_, jtime_);
  return csv_rows_.empty() || write_csv(mesg);
}

bool Outputs::end_variable(Mesg& mesg) noexcept {
  const VariableStats& s = stats_.back();
  if (s.unreported > 0) kavro::XQMSG2(unreported_line(s, settings_.max_reports));
  if (!map_ || map_->differing_cells() == 0) return true;
  const std::string title = s.name + " (" + (s.units.empty() ? "no units" : s.units) + ")";
  const std::string subtitle = count_text(map_->differing_cells()) + " of " +
                               count_text(static_cast<std::uint64_t>(grid_.ncols) *
                                          static_cast<std::uint64_t>(grid_.nrows)) +
                               " cells differ";
  const std::string path = settings_.maps_dir + "/" + map_file_name(s.name);
  const MapImage image = render_map(*map_, title, subtitle, {loc_.LATIT, loc_.LONGI});
  const std::string description = subtitle +
                                  "; colour: the cell's difference INFILE2 - INFILE1 of "
                                  "largest magnitude over all steps and layers";
  if (!write_png(path, image, title, description)) {
    set_mesg(mesg, "Could not write difference map", path);
    return false;
  }
  map_.reset();
  return true;
}

bool Outputs::finish(Mesg& mesg) noexcept {
  if (settings_.labelled) {
    // The totals close the labelled reports, before anything the log adds.
    std::string totals;
    for (const VariableStats& s : stats_) {
      totals += "Total for " + s.name + ": " + count_text(s.differing) +
                (s.differing == 1 ? " differing cell\n" : " differing cells\n");
    }
    totals += "Total: " + verdict() + "\n";
    reports_out_.write(totals);
    if (!reports_out_.flush()) {
      mesg.assign(kWriteFailure);
      return false;
    }
  }
  if (csv_ != nullptr) {
    const bool written = write_csv(mesg);
    const bool closed = std::fclose(csv_) == 0;
    csv_ = nullptr;
    if (!written) return false;
    if (!closed) {
      set_mesg(mesg, "Could not write CSV file", settings_.csv_path);
      return false;
    }
  }
  if (settings_.summary) {
    for (const VariableStats& s : stats_) log_lines(summary_block(s));
    log_lines(summary_table(stats_));
  }
  return true;
}

std::string Outputs::verdict() const { return cells_text(stats_); }

}  // namespace brindlewick
