// The optional outputs of a run, driven by the settings: every cell that the comparison rule
// reports passes through here, which applies the tolerances and the report cap, feeds the
// summary and the maps, and writes the CSV and the labelled reports. The log lines go through
// the library (XQMSG2), so the caller flushes its reports first when the log shares standard
// output.
#ifndef BRINDLEWICK_OUTPUTS_H
#define BRINDLEWICK_OUTPUTS_H

#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "outputs/diff_map.h"
#include "outputs/summary.h"
#include "run/compare.h"
#include "run/settings.h"

namespace brindlewick {

class Outputs final : public DifferenceSink {
 public:
  // Labelled reports go to REPORTS.
  Outputs(const Settings& settings, const GridFrame& grid, const Locations& loc,
          ReportWriter& reports) noexcept;
  ~Outputs();
  Outputs(const Outputs&) = delete;
  Outputs& operator=(const Outputs&) = delete;

  // Before the first variable: records the tolerances in the log and creates the CSV.
  bool start(Mesg& mesg) noexcept;
  void begin_variable(std::string_view vname, std::string_view units, int vtype) noexcept;
  void begin_step(int jdate, int jtime) noexcept;
  bool differing_cell(std::size_t cell, int layer, std::uint64_t a,
                      std::uint64_t b) noexcept override;
  // After the step: hands the CSV rows collected to the file.
  bool end_step(Mesg& mesg) noexcept;
  // After the variable's last step: the cap's log line and the variable's map.
  bool end_variable(Mesg& mesg) noexcept;
  // After the last variable: closes the CSV and writes the summary.
  bool finish(Mesg& mesg) noexcept;
  // The cells reported differing so far.
  std::uint64_t differing_cells() const noexcept { return differing_; }
  // The statistics of every variable begun so far.
  std::span<const VariableStats> stats() const noexcept { return stats_; }
  // What the run found, in one line: "N cells differ in M variables" or "no differences".
  std::string verdict() const;

 private:
  bool write_csv(Mesg& mesg) noexcept;

  const Settings& settings_;
  Tolerance tolerance_;  // the variable's, from the settings
  GridFrame grid_;
  Locations loc_;
  std::vector<VariableStats> stats_;
  std::unique_ptr<DifferenceMap> map_;
  std::FILE* csv_ = nullptr;
  std::string csv_rows_;
  ReportWriter& reports_out_;
  std::string labelled_line_;
  std::int64_t reports_ = 0;
  std::uint64_t differing_ = 0;
  int jdate_ = 0;
  int jtime_ = 0;
};

}  // namespace brindlewick

#endif  // BRINDLEWICK_OUTPUTS_H
